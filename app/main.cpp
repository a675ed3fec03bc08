#include <QCheckBox>
#include <QCoreApplication>
#include <QMessageBox>
#include <QStringList>
#include <cstdio>
#include <memory>

#include "app/app_command_line.h"
#include "app/demo_device.h"
#include "app/dorvik_lurvane_app.h"
#include "app/dorvik_lurvane_dlg.h"
#include "app/ui_language.h"
#include "request/http_post.h"

namespace {
QStringList Arguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}
}  // namespace

int main(int argc, char** argv) {
    // Read before the toolkit starts, so that --help and --version work without a display.
    const QStringList arguments = Arguments(argc, argv);
    LoadUiLanguage(UiLanguageOfArguments(arguments));
    const AppCommandLine line = ParseAppCommandLine(arguments);
    if (line.error) {
        std::fputs(qPrintable(line.text), stderr);
        return 2;
    }
    if (line.help || line.version) {
        std::fputs(qPrintable(line.text), stdout);
        return 0;
    }

    const HomeInputs where = HomeInputsFromEnvironment(line.home.toStdString());
    const HomeChoice home = ChooseHomeFolder(where);
    const HttpLibrary http;
    int result = 0;
    {
        CDorvik_LurvaneApp app(argc, argv);
        if (const HomePrepared prepared = PrepareHomeFolder(home);
            prepared.status != HomeStatus::Ok) {
            std::fprintf(stderr, "tessaly: %s\n", prepared.error.c_str());
            // Started from a launcher, nobody reads stderr.
            QMessageBox::critical(
                nullptr, QStringLiteral("Tessaly"),
                QCoreApplication::translate("Home", "Tessaly cannot prepare its home folder.") +
                    QStringLiteral("\n\n") + QString::fromStdString(prepared.error));
            return 1;
        }
        std::unique_ptr<DemoDevice> demo;
        if (line.demo) {
            SimulatorOptions options = DemoDevice::DemoOptions();
            options.tls = line.tls;
            demo = std::make_unique<DemoDevice>(options);
            QString error;
            if (!demo->Start(&error)) {
                std::fprintf(stderr, "tessaly: the simulated device cannot start: %s\n",
                             qPrintable(error));
                result = 1;
            }
        }
        if (result == 0) {
            result = app.InitInstance(home.folder, [&](CDorvik_LurvaneDlg& window) {
                window.setWindowTitle(WindowCaption(window.windowTitle(), home, where.userHome));
                if (line.tls)
                    window.findChild<QCheckBox*>(QStringLiteral("tls"))->setChecked(true);
                if (demo)
                    demo->FillWindow(window);
                if (!line.openLog.isEmpty())
                    window.OpenLogInBrowser(line.openLog);
            });
        }
    }
    return result;
}
