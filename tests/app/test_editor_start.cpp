// The editor start of the running program, with a stand-in xdg-open first on
// the PATH: what it answers decides whether the window reports a failure.
#include "app/RealPlatform.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class EditorStartTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QByteArray savedPath_;

    // Puts an xdg-open running `body` (a /bin/sh script) first on the PATH.
    void StandIn(const QByteArray &body)
    {
        QFile script(dir_.filePath("bin/xdg-open"));
        QVERIFY(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
        script.write("#!/bin/sh\n" + body + "\n");
        script.close();
        QVERIFY(script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        QVERIFY(QDir(dir_.path()).mkpath("bin"));
        savedPath_ = qgetenv("PATH");
        qputenv("PATH", dir_.filePath("bin").toLocal8Bit() + ":" + savedPath_);
    }

    void cleanupTestCase() { qputenv("PATH", savedPath_); }

    void answerDecides()
    {
        RealPlatform platform;
        const QString received = dir_.filePath("received");
        // The path goes as one argument, untouched by any shell.
        const QString path = dir_.filePath("my place; $(touch injected) 'x'.txt");

        StandIn("printf '%s' \"$1\" > '" + received.toLocal8Bit() + "'\nexit 0");
        QVERIFY(platform.OpenInEditor(path));
        QFile got(received);
        QVERIFY(got.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromLocal8Bit(got.readAll()), path);
        QVERIFY(!QFile::exists(dir_.filePath("injected")));
        QVERIFY(!QFile::exists("injected"));

        // "no method available for opening": the desktop has no editor.
        StandIn("exit 3");
        QVERIFY(!platform.OpenInEditor(path));
        StandIn("kill -9 $$");
        QVERIFY(!platform.OpenInEditor(path));
    }

    void editorRunningInsideCounts()
    {
        // On a desktop that xdg-open does not know, it runs the editor itself
        // and waits for it: still running means the editor is up, and the
        // window goes on without waiting for the editor to close.
        RealPlatform platform;
        StandIn("sleep 4");
        QElapsedTimer clock;
        clock.start();
        QVERIFY(platform.OpenInEditor(dir_.filePath("settings.txt")));
        QVERIFY(clock.elapsed() < 3500);
        // Once the stand-in ends, the program lets go of it (the leak check
        // of the sanitizer build would see it otherwise).
        QTest::qWait(4500);
    }
};

QTEST_MAIN(EditorStartTest)
#include "test_editor_start.moc"
