// The command-line tests run the device simulator in-process, which needs a Qt application;
// their configuration folder and keychain are their own.
#include <gtest/gtest.h>

#include <QGuiApplication>

#include "request/http_post.h"
#include "support/test_support.h"

bool g_privateKeychain = false;

int main(int argc, char** argv) {
    TempFolder config;  // the remembered devices of --device, for the programs started too
    g_privateKeychain = IsolateUserSettings(config.Path());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    const HttpLibrary http;
    return RUN_ALL_TESTS();
}
