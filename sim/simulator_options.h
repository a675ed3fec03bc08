#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

// How the simulated device checks the credentials of a short-port request.
enum class SimAuthMode {
    Basic,   // HTTP Basic only
    Digest,  // HTTP Digest only (MD5, qop "auth")
    Any,     // either; both challenges are offered
};

// How a pushed message is cut into socket writes on the long port.
enum class SimWriteMode {
    Whole,   // one write per message
    Pieces,  // writes of pieceBytes bytes each (the last one shorter)
    Pairs,   // two consecutive messages in one write (an odd last one alone)
};

// Everything the simulated device can be told; the defaults make a usable device.
struct SimulatorOptions {
    quint16 shortPort = 0;  // 0: any free port (see DeviceSimulator::shortPort)
    quint16 longPort = 0;   // 0: any free port (see DeviceSimulator::longPort)
    // Loopback addresses both ports listen on, each port with the same number on every one
    // (127.0.0.1 and ::1).
    QList<QHostAddress> listen = {QHostAddress(QHostAddress::LocalHost)};
    QString user = QStringLiteral("admin");
    QString password = QStringLiteral("739184");
    SimAuthMode auth = SimAuthMode::Any;
    // The long port's authorisation: Basic (what the tool's long requests carry), Digest
    // (a 401 with Digest challenges, which the tool answers) or either.
    SimAuthMode longAuth = SimAuthMode::Basic;
    // The long port's Digest challenges, one per algorithm, in this order ("SHA-256", "MD5").
    QStringList digestAlgorithms = {QStringLiteral("SHA-256"), QStringLiteral("MD5")};
    // > 0: a Digest nonce is stale after this many requests (a new challenge follows).
    int nonceUses = 0;

    // Pushed events of one subscription.
    double eventRate = 2.0;  // events per second; 0 or less: as fast as the client takes them
    int eventCount = 10;     // events per subscription; then the device stops pushing
    QStringList kinds = {QStringLiteral("VFD_MATCH"), QStringLiteral("PEA")};  // taken in turn
    int targetCount = 2;            // listInfo items of an event that is not a face match
    int pictureWidth = 640;         // source frame; face pictures are pictureHeight / 2 square
    int pictureHeight = 360;        // (at least 16 pixels each way)
    int pictureBytes = 0;           // > 0: every picture padded to at least this many bytes
    bool base64LineBreaks = false;  // CR LF after every 76 Base64 characters
    SimWriteMode writeMode = SimWriteMode::Whole;
    int pieceBytes = 1000;    // write size for SimWriteMode::Pieces (at least 1)
    int pieceIntervalMs = 0;  // Pieces: pause between two writes (0: none)

    QString recordFolder;  // not empty: long-sent.bin and pictures/ are written there

    // TLS on both ports: a key and self-signed certificate made at start, or read from
    // certificateFile and keyFile (PEM) when both are given.
    bool tls = false;
    QString certificateFile;
    QString keyFile;
};

// Parses "basic", "digest" or "any" (any case); false for anything else.
bool ParseSimAuthMode(const QString& text, SimAuthMode* mode);

// Parses "whole", "pieces" or "pairs" (any case); false for anything else.
bool ParseSimWriteMode(const QString& text, SimWriteMode* mode);
