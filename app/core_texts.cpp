#include "app/core_texts.h"

#include <QCoreApplication>

namespace {
// Every such text, for lupdate: session/device_session.h, ConnectResultMessage,
// SendResultMessage and ConnectFailureText. The test of the translation checks that each text
// those give has a translation, so a text added there and not here is found.
[[maybe_unused]] constexpr const char* kCoreTexts[] = {
    QT_TRANSLATE_NOOP("CoreText", "Please select the interface!"),
    QT_TRANSLATE_NOOP("CoreText", "Send fail, Please Check the IP/Username/Password/ShortPort !"),
    QT_TRANSLATE_NOOP("CoreText",
                      "The request has no request line: its first line must read \"POST "
                      "/path HTTP/1.1\". Nothing was sent."),
    QT_TRANSLATE_NOOP("CoreText", "Please input username"),
    QT_TRANSLATE_NOOP("CoreText", "Please input password"),
    QT_TRANSLATE_NOOP("CoreText", "Please input device's IP"),
    QT_TRANSLATE_NOOP("CoreText", "Connect fail, Please Check the IP/Username/Password/LongPort !"),
    QT_TRANSLATE_NOOP("CoreText", "Send fail"),
    QT_TRANSLATE_NOOP("CoreText", "no user name"),
    QT_TRANSLATE_NOOP("CoreText", "no password"),
    QT_TRANSLATE_NOOP("CoreText", "no device IP"),
    QT_TRANSLATE_NOOP("CoreText", "no socket could be made"),
    QT_TRANSLATE_NOOP("CoreText", "refused, unreachable or timed out"),
    QT_TRANSLATE_NOOP("CoreText", "given up"),
};
}  // namespace

QString CoreText(const char* text) {
    return QCoreApplication::translate("CoreText", text);
}
