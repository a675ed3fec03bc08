#include "app/dorvik_lurvane_app.h"

#include "app/dorvik_lurvane_dlg.h"
#include "app/ui_language.h"
#include "tessaly_version.h"

CDorvik_LurvaneApp::CDorvik_LurvaneApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Tessaly"));
    setApplicationVersion(QString::fromLatin1(kTessalyVersion));
    InstallUiLanguage(*this);  // the language main loaded (none in tests that load none)
    // Lets the desktop match the window with its launcher entry and icon.
    setDesktopFileName(QStringLiteral("io.tessaly.Tessaly"));
}

int CDorvik_LurvaneApp::InitInstance(const std::string& homeFolder,
                                     const std::function<void(CDorvik_LurvaneDlg&)>& prepare) {
    CDorvik_LurvaneDlg dlg(homeFolder);
    if (prepare)
        prepare(dlg);
    dlg.exec();
    return 0;
}
