#pragma once

#include <QString>
#include <QStringList>

#include "catalogue/home_folder.h"

// What the command line of the tool asks for.
struct AppCommandLine {
    bool demo = false;     // --demo: start the simulated device and aim the window at it
    QString home;          // --home DIR: an existing folder; "" when absent
    bool tls = false;      // --tls: tick "TLS"; with --demo the simulated device serves TLS
    QString openLog;       // --open-log FILE: open the event browser on a captured log
    bool help = false;     // --help: print text and stop
    bool version = false;  // --version: print text and stop
    QString text;          // what --help or --version print, or the error and the help text
    bool error = false;    // the command line is wrong: print text and stop with status 2
};

// Reads the arguments (the program name first). Unknown options, stray arguments, a --home
// that is no folder and a --lang other than en or zh_CN are errors; the texts are in the
// language loaded before (LoadUiLanguage with UiLanguageOfArguments). Needs no application
// object, so --help works without a display.
AppCommandLine ParseAppCommandLine(const QStringList& arguments);

// The window's caption: `base` alone when the files live beside the program, else `base`,
// " — " and the folder in use, the user's home shortened to "~".
QString WindowCaption(const QString& base, const HomeChoice& home, const std::string& userHome);
