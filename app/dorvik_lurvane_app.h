#pragma once

#include <QApplication>
#include <functional>
#include <string>

class CDorvik_LurvaneDlg;

// The application object: one per program, created by main.
class CDorvik_LurvaneApp : public QApplication {
    Q_OBJECT
  public:
    CDorvik_LurvaneApp(int& argc, char** argv);

    // Runs the main window, with its files in homeFolder, as a modal dialog until it is
    // closed; returns the program's exit code (0). prepare, when given, runs on the window
    // after its set-up and before it shows.
    int InitInstance(const std::string& homeFolder,
                     const std::function<void(CDorvik_LurvaneDlg&)>& prepare = {});
};
