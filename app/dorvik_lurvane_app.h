#pragma once

#include <QApplication>

// The application object: one per program, created by main.
class CDorvik_LurvaneApp : public QApplication {
    Q_OBJECT
  public:
    CDorvik_LurvaneApp(int& argc, char** argv);

    // Runs the main window as a modal dialog until it is closed; returns the program's exit
    // code (0).
    int InitInstance();
};
