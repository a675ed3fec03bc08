#include "sim/simulator_options.h"

bool ParseSimAuthMode(const QString& text, SimAuthMode* mode) {
    const QString t = text.toLower();
    if (t == QLatin1String("basic")) {
        *mode = SimAuthMode::Basic;
    } else if (t == QLatin1String("digest")) {
        *mode = SimAuthMode::Digest;
    } else if (t == QLatin1String("any")) {
        *mode = SimAuthMode::Any;
    } else {
        return false;
    }
    return true;
}

bool ParseSimWriteMode(const QString& text, SimWriteMode* mode) {
    const QString t = text.toLower();
    if (t == QLatin1String("whole")) {
        *mode = SimWriteMode::Whole;
    } else if (t == QLatin1String("pieces")) {
        *mode = SimWriteMode::Pieces;
    } else if (t == QLatin1String("pairs")) {
        *mode = SimWriteMode::Pairs;
    } else {
        return false;
    }
    return true;
}
