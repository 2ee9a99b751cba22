#pragma once
#include "model/file/prefs.h"
#include "render/text/fonts.h"

#include <QApplication>
#include <QTemporaryDir>

// What a widget benchmark runs in, as the program: a QApplication (offscreen unless a platform
// is named) with the bundled fonts, and a throw-away settings file, never the user's.
class LWWidgetsApp {
public:
    LWWidgetsApp(int &argc, char **argv) : app_((offscreenUnlessNamed(), argc), argv)
    {
        LWFonts::registerBundled();
        LWPrefs::setStore(LWPrefs::makeStore(dir_.filePath(QStringLiteral("bench.ini"))));
    }

private:
    static void offscreenUnlessNamed()
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app_;
    QTemporaryDir dir_;
};
