#include "sim/command_line.h"

#include <QCommandLineParser>

namespace {

bool ReadPort(const QString& text, quint16* port) {
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value > 65535)
        return false;
    *port = quint16(value);
    return true;
}

}  // namespace

SimCommandLine ParseSimCommandLine(const QStringList& arguments) {
    SimCommandLine out;
    SimulatorOptions& o = out.options;

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "A network video device on 127.0.0.1 for trying and testing Tessaly without a camera.\n"
        "The short port answers POST /<Interface>[/<channel>][/Up] as described in\n"
        "docs/device-protocol.md. Once listening, the program prints the line\n"
        "\"short-port <n>\" on standard output and runs until it is interrupted.");
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({"h", "help"}, "Show this explanation and stop.");
    const QCommandLineOption shortPort(
        "short-port", "TCP port of the short connection; 0 (the default) takes a free one.", "port",
        "0");
    const QCommandLineOption user("user", "User name the device accepts (default admin).", "name",
                                  o.user);
    const QCommandLineOption password(
        "password", "Password the device accepts until a ModifyPassword (default 739184).", "text",
        o.password);
    const QCommandLineOption auth(
        "auth", "Authorisation on the short port: basic, digest (MD5, qop auth) or any (default).",
        "scheme", "any");
    parser.addOption(help);
    parser.addOption(shortPort);
    parser.addOption(user);
    parser.addOption(password);
    parser.addOption(auth);
    out.helpText = parser.helpText();

    if (!parser.parse(arguments)) {
        out.error = parser.errorText();
        return out;
    }
    if (parser.isSet(help)) {
        out.help = true;
        return out;
    }
    if (!parser.positionalArguments().isEmpty()) {
        out.error = "unexpected argument: " + parser.positionalArguments().first();
        return out;
    }
    if (!ReadPort(parser.value(shortPort), &o.shortPort)) {
        out.error = "--short-port needs a number from 0 to 65535";
        return out;
    }
    o.user = parser.value(user);
    o.password = parser.value(password);
    if (!ParseSimAuthMode(parser.value(auth), &o.auth)) {
        out.error = "--auth must be basic, digest or any";
        return out;
    }
    return out;
}
