// The command-line tests run the device simulator in-process, which needs a Qt application.
#include <gtest/gtest.h>

#include <QGuiApplication>

#include "request/http_post.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    const HttpLibrary http;
    return RUN_ALL_TESTS();
}
