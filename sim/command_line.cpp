#include "sim/command_line.h"

#include <QCommandLineParser>

namespace {

bool ReadInt(const QString& text, int low, int high, int* value) {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < low || v > high)
        return false;
    *value = v;
    return true;
}

// A byte count: digits, optionally followed by K or M (1024 and 1024 * 1024), any case.
bool ReadBytes(const QString& text, int* value) {
    QString digits = text.trimmed().toUpper();
    qint64 unit = 1;
    if (digits.endsWith('K'))
        unit = 1024;
    if (digits.endsWith('M'))
        unit = 1024 * 1024;
    if (unit != 1)
        digits.chop(1);
    bool ok = false;
    const qint64 v = digits.toLongLong(&ok);
    if (!ok || v < 0 || v * unit > 256 * 1024 * 1024)
        return false;
    *value = int(v * unit);
    return true;
}

bool ReadSize(const QString& text, int* width, int* height) {
    const QStringList parts = text.toLower().split('x');
    return parts.size() == 2 && ReadInt(parts[0], 16, 8192, width) &&
           ReadInt(parts[1], 16, 8192, height);
}

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
        "A network video device on loopback (127.0.0.1, or ::1 with --listen) for trying and\n"
        "testing Tessaly without a camera.\n"
        "The short port answers POST /<Interface>[/<channel>][/Up]; the long port\n"
        "answers SetSubscribe and its follow-ups and then pushes events, all as described\n"
        "in docs/device-protocol.md. Once listening, the program prints the lines\n"
        "\"short-port <n>\" and \"long-port <n>\" on standard output and runs until it is\n"
        "interrupted.");
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({"h", "help"}, "Show this explanation and stop.");
    const QCommandLineOption version("version", "Show the version and stop.");
    const QCommandLineOption shortPort(
        "short-port", "TCP port of the short connection; 0 (the default) takes a free one.", "port",
        "0");
    const QCommandLineOption listen(
        "listen",
        "Loopback addresses both ports listen on, comma separated or repeated: 127.0.0.1 "
        "(the default), ::1, or both (--listen 127.0.0.1,::1); the ports are the same on each.",
        "addresses");
    const QCommandLineOption tls(
        "tls",
        "Serve both ports over TLS, with a key and self-signed certificate made at start (or "
        "read with --cert and --key); the key's fingerprint is printed as \"fingerprint "
        "sha256//...\", the form tessaly-cli --pin takes.");
    const QCommandLineOption cert("cert", "With --tls: the certificate (PEM) to serve.", "file");
    const QCommandLineOption key("key", "With --tls: the private key (PEM) of --cert.", "file");
    const QCommandLineOption user("user", "User name the device accepts (default admin).", "name",
                                  o.user);
    const QCommandLineOption password(
        "password", "Password the device accepts until a ModifyPassword (default 739184).", "text",
        o.password);
    const QCommandLineOption auth(
        "auth", "Authorisation on the short port: basic, digest (MD5, qop auth) or any (default).",
        "scheme", "any");
    const QCommandLineOption longAuth(
        "long-auth",
        "Authorisation on the long port: basic (the default; what the tool's long requests "
        "carry), digest (a 401 with Digest challenges, which the tool answers) or any.",
        "scheme", "basic");
    const QCommandLineOption digestAlgorithms(
        "digest-algorithms",
        "The long port's Digest challenges, one per algorithm in this order, comma separated: "
        "sha-256, md5 (default sha-256,md5).",
        "list", "sha-256,md5");
    const QCommandLineOption nonceUses(
        "nonce-uses",
        "A Digest nonce turns stale after this many requests (default 0: after 300 s).", "n", "0");
    const QCommandLineOption longPort(
        "long-port", "TCP port of the long connection; 0 (the default) takes a free one.", "port",
        "0");
    const QCommandLineOption rate(
        "rate",
        "Events pushed per second after a subscription (default 2); 0 pushes as fast "
        "as the client reads.",
        "per-second", QString::number(o.eventRate));
    const QCommandLineOption count(
        "count", "Events pushed per subscription before the device stops (default 10).", "n",
        QString::number(o.eventCount));
    const QCommandLineOption kinds(
        "kinds",
        "Smart types pushed in turn, comma separated (default VFD_MATCH,PEA); "
        "VFD_MATCH is a face match, any other (VFD, PEA, VEHICLE, ...) carries a source "
        "picture and target pictures. A subscription that lists smart types gets only those.",
        "list", o.kinds.join(','));
    const QCommandLineOption targets(
        "targets",
        "Target pictures (listInfo items) of an event that is not a face match "
        "(default 2).",
        "n", QString::number(o.targetCount));
    const QCommandLineOption pictureSize(
        "picture-size",
        "Size of a source picture in pixels (default 640x360); face and target "
        "pictures are squares of half its height.",
        "WxH", "640x360");
    const QCommandLineOption pictureBytes(
        "picture-bytes",
        "Pad every picture to at least this many bytes, e.g. 400K (default 0: "
        "no padding). The padding lies in JPEG comments, so pictures stay valid.",
        "bytes", "0");
    const QCommandLineOption base64Breaks(
        "base64-breaks",
        "Break the Base64 texts into MIME lines: CR LF after every 76 characters "
        "and after the last line.");
    const QCommandLineOption write(
        "write",
        "How pushed messages are cut into socket writes: whole (default, one write "
        "each), pieces (writes of --piece-bytes) or pairs (two messages in one write).",
        "mode", "whole");
    const QCommandLineOption pieceBytes("piece-bytes",
                                        "Write size with --write pieces (default 1000).", "bytes",
                                        QString::number(o.pieceBytes));
    const QCommandLineOption pieceInterval(
        "piece-interval",
        "Pause between two writes with --write pieces, in milliseconds "
        "(default 0).",
        "ms", "0");
    const QCommandLineOption record(
        "record",
        "Write every byte sent on the long port, in order, to DIR/long-sent.bin, "
        "every picture sent to DIR/pictures/<seq>_<kind>.jpg and every request the "
        "short port received to DIR/short-received.bin.",
        "DIR");
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(shortPort);
    parser.addOption(listen);
    parser.addOption(tls);
    parser.addOption(cert);
    parser.addOption(key);
    parser.addOption(user);
    parser.addOption(password);
    parser.addOption(auth);
    parser.addOption(longAuth);
    parser.addOption(digestAlgorithms);
    parser.addOption(nonceUses);
    for (const auto* option :
         {&longPort, &rate, &count, &kinds, &targets, &pictureSize, &pictureBytes, &base64Breaks,
          &write, &pieceBytes, &pieceInterval, &record}) {
        parser.addOption(*option);
    }
    out.helpText = parser.helpText();

    if (!parser.parse(arguments)) {
        out.error = parser.errorText();
        return out;
    }
    if (parser.isSet(help)) {
        out.help = true;
        return out;
    }
    if (parser.isSet(version)) {
        out.version = true;
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
    if (parser.isSet(listen)) {
        o.listen.clear();
        for (const QString& value : parser.values(listen)) {
            for (const QString& text : value.split(',', Qt::SkipEmptyParts)) {
                const QHostAddress address(text.trimmed());
                if (address.isNull() || !address.isLoopback()) {
                    out.error = "--listen takes loopback addresses only (127.0.0.1, ::1), not " +
                                text.trimmed();
                    return out;
                }
                o.listen << address;
            }
        }
        if (o.listen.isEmpty()) {
            out.error = "--listen needs an address";
            return out;
        }
    }
    o.tls = parser.isSet(tls);
    o.certificateFile = parser.value(cert);
    o.keyFile = parser.value(key);
    if ((parser.isSet(cert) || parser.isSet(key)) &&
        (!o.tls || o.certificateFile.isEmpty() || o.keyFile.isEmpty())) {
        out.error = "--cert and --key go together, with --tls";
        return out;
    }
    o.user = parser.value(user);
    o.password = parser.value(password);
    if (!ParseSimAuthMode(parser.value(auth), &o.auth)) {
        out.error = "--auth must be basic, digest or any";
        return out;
    }
    if (!ParseSimAuthMode(parser.value(longAuth), &o.longAuth)) {
        out.error = "--long-auth must be basic, digest or any";
        return out;
    }
    o.digestAlgorithms.clear();
    for (const QString& name : parser.value(digestAlgorithms).split(',', Qt::SkipEmptyParts)) {
        const QString upper = name.trimmed().toUpper();
        if (upper != "MD5" && upper != "SHA-256") {
            out.error = "--digest-algorithms takes sha-256 and md5";
            return out;
        }
        o.digestAlgorithms << upper;
    }
    if (o.digestAlgorithms.isEmpty()) {
        out.error = "--digest-algorithms needs an algorithm";
        return out;
    }
    if (!ReadInt(parser.value(nonceUses), 0, 1000000, &o.nonceUses)) {
        out.error = "--nonce-uses needs a number from 0 up";
        return out;
    }
    if (!ReadPort(parser.value(longPort), &o.longPort)) {
        out.error = "--long-port needs a number from 0 to 65535";
        return out;
    }
    bool ok = false;
    o.eventRate = parser.value(rate).toDouble(&ok);
    if (!ok || o.eventRate < 0 || o.eventRate > 10000) {
        out.error = "--rate needs a number of events per second from 0 to 10000";
        return out;
    }
    if (!ReadInt(parser.value(count), 0, 100000000, &o.eventCount)) {
        out.error = "--count needs a number from 0 up";
        return out;
    }
    o.kinds.clear();
    for (const QString& kind : parser.value(kinds).split(',', Qt::SkipEmptyParts)) {
        const QString k = kind.trimmed();
        if (k.isEmpty() || k.contains('/') || k.contains('\\') || k.contains('<') ||
            k.contains('&')) {
            out.error = "--kinds needs smart type names separated by commas";
            return out;
        }
        o.kinds << k;
    }
    if (o.kinds.isEmpty()) {
        out.error = "--kinds needs at least one smart type";
        return out;
    }
    if (!ReadInt(parser.value(targets), 0, 64, &o.targetCount)) {
        out.error = "--targets needs a number from 0 to 64";
        return out;
    }
    if (!ReadSize(parser.value(pictureSize), &o.pictureWidth, &o.pictureHeight)) {
        out.error = "--picture-size needs WIDTHxHEIGHT, each from 16 to 8192";
        return out;
    }
    if (!ReadBytes(parser.value(pictureBytes), &o.pictureBytes)) {
        out.error = "--picture-bytes needs a byte count up to 256M (suffix K or M allowed)";
        return out;
    }
    o.base64LineBreaks = parser.isSet(base64Breaks);
    if (!ParseSimWriteMode(parser.value(write), &o.writeMode)) {
        out.error = "--write must be whole, pieces or pairs";
        return out;
    }
    if (!ReadBytes(parser.value(pieceBytes), &o.pieceBytes) || o.pieceBytes < 1) {
        out.error = "--piece-bytes needs a byte count of at least 1";
        return out;
    }
    if (!ReadInt(parser.value(pieceInterval), 0, 60000, &o.pieceIntervalMs)) {
        out.error = "--piece-interval needs milliseconds from 0 to 60000";
        return out;
    }
    o.recordFolder = parser.value(record);
    return out;
}
