#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

// The language of the window's texts: English as written in the code, or Simplified Chinese
// from the translation built into the program. Device texts are never translated.
enum class UiLanguage { English, Chinese };

// Reads a --lang value: "en" (also "C", "POSIX" and "en_US" or another English locale) or
// "zh_CN" (also "zh", "zh-CN", "zh_SG", "zh_Hans"). False for anything else.
bool ParseUiLanguage(const QString& text, UiLanguage& language);

// The system's choice (QLocale::system(): LC_ALL, LC_MESSAGES, LANG): Chinese for a Simplified
// Chinese locale, English for any other.
UiLanguage SystemUiLanguage();

// The language the arguments ask for with "--lang X" or "--lang=X" (the last one wins), else
// the system's. A bad value counts as English here; ParseAppCommandLine reports it.
UiLanguage UiLanguageOfArguments(const QStringList& arguments);

// Makes `language` the process-wide one: loads the program's catalogue (and Qt's own, when
// the system has it) for Chinese, drops any for English. Works before the application
// object exists, so that --help is translated too; the application object installs the
// catalogue through InstallUiLanguage. Window thread (or main before the application) only.
// False when the catalogue of a non-English language cannot be loaded (the texts stay
// English).
bool LoadUiLanguage(UiLanguage language);

// The language last loaded; English before any.
UiLanguage LoadedUiLanguage();

// Installs the loaded catalogues into `app`; nothing for English. Call once after the
// application object is made.
void InstallUiLanguage(QCoreApplication& app);

// `source` in the loaded language, with or without an application object; any thread.
// Texts marked with it are found by lupdate (an alias of QCoreApplication::translate).
QString UiText(const char* context, const char* source);
