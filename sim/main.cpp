// tessaly-devsim: a simulated network video device on loopback.

#include <QGuiApplication>
#include <QTextStream>
#include <cstdio>

#include "sim/command_line.h"
#include "sim/device_simulator.h"
#include "tessaly_version.h"

int main(int argc, char* argv[]) {
    // Pictures are drawn off-screen: no display is needed unless one is asked for.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName("tessaly-devsim");

    QTextStream out(stdout);
    QTextStream err(stderr);
    const SimCommandLine cmd = ParseSimCommandLine(QGuiApplication::arguments());
    if (cmd.help) {
        out << cmd.helpText;
        return 0;
    }
    if (cmd.version) {
        out << "tessaly-devsim " << kTessalyVersion << "\n";
        return 0;
    }
    if (!cmd.error.isEmpty()) {
        err << "tessaly-devsim: " << cmd.error << "\n\n" << cmd.helpText;
        return 2;
    }

    DeviceSimulator simulator(cmd.options);
    QString error;
    if (!simulator.start(&error)) {
        err << "tessaly-devsim: " << error << "\n";
        return 1;
    }
    out << "short-port " << simulator.shortPort() << "\n";
    out << "long-port " << simulator.longPort() << "\n";
    if (cmd.options.tls)
        out << "fingerprint " << simulator.fingerprint() << "\n";
    out.flush();
    return QGuiApplication::exec();
}
