#pragma once
#include <QGuiApplication>

// The offscreen application a fuzz target that paints or reads pictures needs, made once in
// LLVMFuzzerInitialize with only the program name (Qt would otherwise take out options
// libFuzzer still reads). Never destroyed: at exit Qt's thread storage is already gone.
inline void startGuiApplication(char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int qtArgc = 1;
    static char *qtArgv[] = {argv[0], nullptr};
    static QGuiApplication *app = new QGuiApplication(qtArgc, qtArgv);
    (void)app;
}
