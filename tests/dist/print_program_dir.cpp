// Prints the program folder as the running program finds it (the real
// platform's ProgramDirectory), for the install test to start through a link.
#include "app/RealPlatform.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    RealPlatform platform;
    std::printf("%s\n", qPrintable(platform.ProgramDirectory()));
    return 0;
}
