#include "app/app_command_line.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include "app/ui_language.h"
#include "tessaly_version.h"

AppCommandLine ParseAppCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        UiText("AppCommandLine",
               "Tessaly: exercise the HTTP/XML control interface of network video devices."));
    const QCommandLineOption demo(
        QStringLiteral("demo"),
        UiText("AppCommandLine",
               "Start a simulated device on free 127.0.0.1 ports and fill the IP, "
               "ports and credentials in with its own, so everything can be tried "
               "without a camera."));
    const QCommandLineOption home(
        QStringLiteral("home"),
        UiText("AppCommandLine",
               "Folder of protocol_short, protocol_long, ApiLog.txt and pic, used as it "
               "is. Default: the program's folder when it is writable and holds "
               "protocol_short and protocol_long (a build or an unpacked archive), else "
               "$XDG_DATA_HOME/tessaly (~/.local/share/tessaly), made on first start and "
               "filled with copies of the installed request folders; request files you "
               "edit or delete there stay so. The title bar names the folder when it is "
               "not the program's own."),
        QStringLiteral("DIR"));
    const QCommandLineOption tls(
        QStringLiteral("tls"),
        UiText("AppCommandLine",
               "Tick TLS: both connections use TLS. With --demo the simulated device "
               "serves TLS too, and its key is trusted for this run only."));
    const QCommandLineOption openLog(
        QStringLiteral("open-log"),
        UiText("AppCommandLine",
               "Open the event browser on a captured traffic log (ApiLog.txt): its "
               "messages are listed and its pictures decoded from the log itself."),
        QStringLiteral("FILE"));
    const QCommandLineOption lang(
        QStringLiteral("lang"),
        UiText("AppCommandLine",
               "The language of the window: en or zh_CN (Simplified Chinese). Without it the "
               "system's locale (LC_ALL, LC_MESSAGES, LANG) chooses; device texts are never "
               "translated."),
        QStringLiteral("LANGUAGE"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  UiText("AppCommandLine", "Show this help and stop."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     UiText("AppCommandLine", "Show the version and stop."));
    parser.addOption(demo);
    parser.addOption(home);
    parser.addOption(tls);
    parser.addOption(openLog);
    parser.addOption(lang);
    parser.addOption(help);
    parser.addOption(version);

    AppCommandLine line;
    const QString program = arguments.isEmpty() ? QStringLiteral("tessaly") : arguments.first();
    const QString usage = parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                    program.section(QLatin1Char('/'), -1));
    if (!parser.parse(arguments)) {
        line.error = true;
        line.text = parser.errorText() + QStringLiteral("\n\n") + usage;
        return line;
    }
    if (!parser.positionalArguments().isEmpty()) {
        line.error = true;
        line.text = UiText("AppCommandLine", "Unexpected argument '%1'.\n\n")
                        .arg(parser.positionalArguments().first()) +
                    usage;
        return line;
    }
    UiLanguage language = UiLanguage::English;  // chosen before the parse: only checked here
    if (parser.isSet(lang) && !ParseUiLanguage(parser.value(lang), language)) {
        line.error = true;
        line.text = UiText("AppCommandLine", "Unknown language '%1': --lang takes en or zh_CN.\n\n")
                        .arg(parser.value(lang)) +
                    usage;
        return line;
    }
    line.demo = parser.isSet(demo);
    line.home = parser.value(home);
    if (parser.isSet(home) && !parser.isSet(help) && !parser.isSet(version) &&
        !QFileInfo(line.home).isDir()) {
        line.error = true;
        line.text =
            UiText("AppCommandLine", "The home folder '%1' is not a folder.\n\n").arg(line.home) +
            usage;
        return line;
    }
    line.tls = parser.isSet(tls);
    line.openLog = parser.value(openLog);
    if (parser.isSet(help)) {
        line.help = true;
        line.text = usage;
    } else if (parser.isSet(version)) {
        line.version = true;
        line.text = QStringLiteral("Tessaly %1\n").arg(QLatin1String(kTessalyVersion));
    }
    return line;
}

QString WindowCaption(const QString& base, const HomeChoice& home, const std::string& userHome) {
    if (home.kind == HomeKind::Program)
        return base;
    return base + QStringLiteral(" \u2014 ") +
           QString::fromStdString(ShortFolderName(home.folder, userHome));
}
