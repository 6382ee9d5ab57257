#include "Form1.h"
#include "RealPlatform.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("selvorra"));
    QApplication::setWindowIcon(SunIcon());
    // Lets the desktop match the window to its launcher entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.selvorra.selvorra"));

    RealPlatform platform;
    Form1 window(platform);
    // The window loads itself once the event loop runs, as a window does
    // when the toolkit creates it.
    QTimer::singleShot(0, &window, &Form1::Form_Load);
    return app.exec();
}
