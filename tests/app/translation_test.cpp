// The window in Chinese and in English: the catalogue is whole, the captions change with the
// language and still fit, the texts of the core are translated where the window shows them.
#include <QtTest>
#include <QtWidgets>
#include <memory>

#include "app/app_command_line.h"
#include "app/control_ids.h"
#include "app/core_texts.h"
#include "app/dorvik_lurvane_dlg.h"
#include "app/ui_language.h"
#include "request/long_connection.h"
#include "session/device_session.h"
#include "session/long_status.h"

namespace {
QString Caption(const QWidget& window, int id) {
    const auto* button = window.findChild<QAbstractButton*>(ControlName(id));
    return button != nullptr ? button->text() : QStringLiteral("(no control %1)").arg(id);
}

// The %1..%99 and %n of a text, sorted, so that a translation that drops or adds one shows.
QStringList Placeholders(const QString& text) {
    static const QRegularExpression kPlaceholder(QStringLiteral("%(\\d{1,2}|n)"));
    QStringList found;
    for (const QRegularExpressionMatch& match : kPlaceholder.globalMatch(text))
        found << match.captured();
    found.sort();
    return found;
}
}  // namespace

class TranslationTest : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() { LoadUiLanguage(UiLanguage::English); }

    void everyTextOfTheCatalogueIsTranslatedWithItsPlaceholders() {
        QFile file(QStringLiteral(TESSALY_SOURCE_DIR "/translations/tessaly_zh_CN.ts"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QXmlStreamReader ts(&file);
        QString context, source;
        int messages = 0;
        while (!ts.atEnd()) {
            if (ts.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (ts.name() == QLatin1String("name")) {
                context = ts.readElementText();
            } else if (ts.name() == QLatin1String("source")) {
                source = ts.readElementText();
            } else if (ts.name() == QLatin1String("translation")) {
                const QString type = ts.attributes().value(QLatin1String("type")).toString();
                const QString translation = ts.readElementText();
                const QString where = context + QStringLiteral(": ") + source;
                QVERIFY2(type.isEmpty(), qPrintable(type + QStringLiteral(" ") + where));
                QVERIFY2(!translation.isEmpty(), qPrintable(where));
                QCOMPARE(Placeholders(translation), Placeholders(source));
                ++messages;
            }
        }
        QVERIFY2(!ts.hasError(), qPrintable(ts.errorString()));
        QVERIFY(messages > 100);
    }

    void theCoreTextsTheWindowShowsAreTranslated() {
        std::vector<const char*> texts = {kSelectInterfaceText, kShortSendFailText,
                                          kNoRequestLineText,
                                          SendResultMessage(SendResult::Failed)};
        for (ConnectResult result :
             {ConnectResult::NoUser, ConnectResult::NoPassword, ConnectResult::NoIp,
              ConnectResult::NoSocket, ConnectResult::ConnectFailed, ConnectResult::Cancelled}) {
            texts.push_back(ConnectResultMessage(result));
            texts.push_back(ConnectFailureText(result));
        }
        QVERIFY(LoadUiLanguage(UiLanguage::Chinese));
        for (const char* text : texts) {
            if (*text != '\0')
                QVERIFY2(CoreText(text) != QString::fromUtf8(text), text);
        }
        LoadUiLanguage(UiLanguage::English);
        QCOMPARE(CoreText(kShortSendFailText), QString::fromUtf8(kShortSendFailText));
    }

    void theLanguageComesFromLangOrTheLocale() {
        const struct {
            const char* value;
            bool known;
            UiLanguage language;
        } rows[] = {
            {"en", true, UiLanguage::English},       {"C", true, UiLanguage::English},
            {"en_GB", true, UiLanguage::English},    {"zh_CN", true, UiLanguage::Chinese},
            {"zh-CN", true, UiLanguage::Chinese},    {"zh", true, UiLanguage::Chinese},
            {"zh_TW", false, UiLanguage::English},   {"de", false, UiLanguage::English},
            {"chinese", false, UiLanguage::English},
        };
        for (const auto& row : rows) {
            UiLanguage language = UiLanguage::English;
            QCOMPARE(ParseUiLanguage(QString::fromLatin1(row.value), language), row.known);
            if (row.known)
                QCOMPARE(language, row.language);
        }
        QCOMPARE(UiLanguageOfArguments({"tessaly", "--lang", "zh_CN", "--lang=en"}),
                 UiLanguage::English);
        QCOMPARE(UiLanguageOfArguments({"tessaly", "--demo", "--lang=zh_CN"}), UiLanguage::Chinese);
        QVERIFY(ParseAppCommandLine({"tessaly", "--lang", "fr"}).error);
        QVERIFY(!ParseAppCommandLine({"tessaly", "--lang", "zh_CN", "--demo"}).error);
    }

    void theHelpFollowsTheLanguage() {
        QVERIFY(
            ParseAppCommandLine({"tessaly", "--help"}).text.contains("Show this help and stop."));
        QVERIFY(LoadUiLanguage(UiLanguage::Chinese));
        const QString help = ParseAppCommandLine({"tessaly", "--help"}).text;
        QVERIFY2(help.contains(QStringLiteral("显示本帮助后退出")), qPrintable(help));
        QVERIFY(help.contains(QStringLiteral("--lang <LANGUAGE>")));
    }

    void captionsAreEnglishByDefaultAndChineseWithTheTranslation() {
        const int ids[] = {ControlId::kLongSend, ControlId::kShortSend, ControlId::kSelectProtocol,
                           ControlId::kChangeAccount, ControlId::kChangePort};
        const char* const english[] = {"Long connect send", "Short connect send", "Select Protocol",
                                       "Change IP/username/password", "Change Port"};
        QStringList before;
        {
            CDorvik_LurvaneDlg window;
            for (std::size_t i = 0; i < std::size(ids); ++i)
                QCOMPARE(Caption(window, ids[i]), QString::fromLatin1(english[i]));
        }
        QVERIFY(LoadUiLanguage(UiLanguage::Chinese));
        CDorvik_LurvaneDlg window;
        QCOMPARE(Caption(window, ControlId::kLongSend), QStringLiteral("长连接发送"));
        QCOMPARE(Caption(window, ControlId::kShortSend), QStringLiteral("短连接发送"));
        for (std::size_t i = 0; i < std::size(ids); ++i)
            QVERIFY2(Caption(window, ids[i]) != QString::fromLatin1(english[i]), english[i]);
        // The toggles still read their state from the translated caption.
        auto* account = window.findChild<QPushButton*>(ControlName(ControlId::kChangeAccount));
        QTest::mouseClick(account, Qt::LeftButton);
        QCOMPARE(account->text(), QStringLiteral("确认修改"));
        QTest::mouseClick(account, Qt::LeftButton);
        QCOMPARE(account->text(), QStringLiteral("修改 IP/用户名/密码"));
    }

    void chineseCaptionsFitAtTheStartSize() {
        QVERIFY(LoadUiLanguage(UiLanguage::Chinese));
        CDorvik_LurvaneDlg window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        int checked = 0;
        for (QWidget* widget : window.findChildren<QWidget*>()) {
            const auto* button = qobject_cast<QAbstractButton*>(widget);
            const auto* label = qobject_cast<QLabel*>(widget);
            const QString text = button ? button->text() : label ? label->text() : QString();
            if (text.isEmpty() || !widget->isVisible())
                continue;
            ++checked;
            QVERIFY2(widget->sizeHint().width() <= widget->width(),
                     qPrintable(QStringLiteral("%1 \"%2\": needs %3, has %4")
                                    .arg(widget->objectName(), text)
                                    .arg(widget->sizeHint().width())
                                    .arg(widget->width())));
        }
        QVERIFY(checked >= 15);
    }
};

QTEST_MAIN(TranslationTest)
#include "translation_test.moc"
