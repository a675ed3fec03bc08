#pragma once

#include <QApplication>
#include <functional>

class CDorvik_LurvaneDlg;

// The application object: one per program, created by main.
class CDorvik_LurvaneApp : public QApplication {
    Q_OBJECT
  public:
    CDorvik_LurvaneApp(int& argc, char** argv);

    // Runs the main window as a modal dialog until it is closed; returns the program's exit
    // code (0). prepare, when given, runs on the window after its set-up and before it shows.
    int InitInstance(const std::function<void(CDorvik_LurvaneDlg&)>& prepare = {});
};
