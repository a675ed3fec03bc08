#pragma once

#include <QString>
#include <QStringList>

#include "sim/simulator_options.h"

// The outcome of reading tessaly-devsim's command line.
struct SimCommandLine {
    SimulatorOptions options;
    bool help = false;     // --help was given: print helpText and stop
    bool version = false;  // --version was given: print the version and stop
    QString helpText;      // the explanation of every option
    QString error;         // not empty: the command line is wrong (say so, then print helpText)
};

// Reads the arguments (the program name first, as in QCoreApplication::arguments()).
// Unknown options, stray arguments and values out of range are errors.
SimCommandLine ParseSimCommandLine(const QStringList& arguments);
