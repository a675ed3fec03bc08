#include "app/ui_language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QTranslator>
#include <memory>
#include <optional>

namespace {
// The program's catalogue is built into it (qt_add_translations); Qt's own comes from the
// system (Debian: qt6-translations-l10n) and is optional.
constexpr char kCatalogueFolder[] = ":/i18n";

struct Catalogues {
    UiLanguage language = UiLanguage::English;
    std::unique_ptr<QTranslator> program;
    std::unique_ptr<QTranslator> qt;
};

Catalogues& Loaded() {
    static Catalogues catalogues;
    return catalogues;
}

bool IsSimplifiedChinese(const QLocale& locale) {
    if (locale.language() != QLocale::Chinese)
        return false;
    // zh_TW and zh_HK use the traditional script; zh, zh_CN and zh_SG the simplified one.
    return locale.script() != QLocale::TraditionalChineseScript;
}
}  // namespace

bool ParseUiLanguage(const QString& text, UiLanguage& language) {
    QString name = text;
    name.replace(QLatin1Char('-'), QLatin1Char('_'));
    if (name == QLatin1String("C") || name == QLatin1String("POSIX")) {
        language = UiLanguage::English;
        return true;
    }
    static const QRegularExpression kLocaleName(QStringLiteral("^[a-z]{2}(_[A-Za-z]{2,4})?$"));
    if (!kLocaleName.match(name).hasMatch())
        return false;
    const QLocale locale(name);
    if (locale.language() == QLocale::English) {
        language = UiLanguage::English;
        return true;
    }
    if (IsSimplifiedChinese(locale)) {
        language = UiLanguage::Chinese;
        return true;
    }
    return false;
}

UiLanguage SystemUiLanguage() {
    return IsSimplifiedChinese(QLocale::system()) ? UiLanguage::Chinese : UiLanguage::English;
}

UiLanguage UiLanguageOfArguments(const QStringList& arguments) {
    const QString option = QStringLiteral("--lang");
    std::optional<QString> asked;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--"))
            break;
        if (argument == option && i + 1 < arguments.size())
            asked = arguments[++i];
        else if (argument.startsWith(option + QLatin1Char('=')))
            asked = argument.mid(option.size() + 1);
    }
    if (!asked)
        return SystemUiLanguage();
    UiLanguage language = UiLanguage::English;
    ParseUiLanguage(*asked, language);
    return language;
}

bool LoadUiLanguage(UiLanguage language) {
    Catalogues& loaded = Loaded();
    if (QCoreApplication* app = QCoreApplication::instance()) {
        for (QTranslator* old : {loaded.program.get(), loaded.qt.get()}) {
            if (old != nullptr)
                app->removeTranslator(old);
        }
    }
    loaded.program.reset();
    loaded.qt.reset();
    loaded.language = UiLanguage::English;
    if (language == UiLanguage::English)
        return true;

    auto program = std::make_unique<QTranslator>();
    if (!program->load(QStringLiteral("tessaly_zh_CN"), QString::fromLatin1(kCatalogueFolder)))
        return false;
    loaded.program = std::move(program);
    auto qt = std::make_unique<QTranslator>();
    if (qt->load(QStringLiteral("qtbase_zh_CN"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        loaded.qt = std::move(qt);
    loaded.language = language;
    if (QCoreApplication* app = QCoreApplication::instance())
        InstallUiLanguage(*app);
    return true;
}

UiLanguage LoadedUiLanguage() {
    return Loaded().language;
}

void InstallUiLanguage(QCoreApplication& app) {
    Catalogues& loaded = Loaded();
    if (loaded.qt)
        app.installTranslator(loaded.qt.get());
    if (loaded.program)
        app.installTranslator(loaded.program.get());
}

QString UiText(const char* context, const char* source) {
    if (QCoreApplication::instance() != nullptr)
        return QCoreApplication::translate(context, source);
    const Catalogues& loaded = Loaded();
    if (loaded.program) {
        const QString text = loaded.program->translate(context, source);
        if (!text.isEmpty())
            return text;
    }
    return QString::fromUtf8(source);
}
