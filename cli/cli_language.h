#pragma once

#include <streambuf>
#include <string>
#include <vector>

// The language of tessaly-cli's own messages: its errors, hints, prompts and --help. What
// scripts read (send's body, listen's message lines, index lines, JSON, -v's status line)
// and exit statuses never change with it, and device texts are never translated.
enum class CliLanguage { English, Chinese };

// Reads a --lang value: "en" (also "C", "POSIX", "en_US"...) or "zh_CN" (also "zh", "zh-CN",
// "zh_SG", "zh_Hans"); a locale's ".UTF-8" and "@..." parts are ignored. False for any other.
bool ParseCliLanguage(const std::string& text, CliLanguage& language);

// The language that "--lang X" or "--lang=X" asks for (the last one before "--" wins; a bad
// value counts as English, the parse reports it), else the one of `locale`, the first set of
// LC_ALL, LC_MESSAGES and LANG (see LocaleOfEnvironment): Chinese for zh_CN and its kin,
// English for any other.
CliLanguage ChooseCliLanguage(const std::vector<std::string>& args, const std::string& locale);

// The first non-empty value of LC_ALL, LC_MESSAGES and LANG; "" when none is set.
std::string LocaleOfEnvironment();

// One message (a line without its line end, or a prompt) in `language`: the catalogue's
// translation when the text matches one of its messages (the names, files and reasons filled
// into it are kept, and translated when they are messages themselves), else the text as it
// is. "tessaly-cli: " and "tessaly-cli: warning: " in front are kept.
std::string LocalizeMessage(const std::string& text, CliLanguage language);

// The usage text (CliUsage) in `language`: each paragraph the catalogue knows is replaced,
// the others stay English.
std::string LocalizeUsage(const std::string& usage, CliLanguage language);

// The English paragraphs of the usage that the catalogue translates, for the test that keeps
// them in step with CliUsage.
std::vector<std::string> TranslatedUsageParagraphs();

// A stream buffer that writes whole lines to `target`, each through LocalizeMessage; a flush
// (a prompt) writes the partial line the same way. Single-threaded, as the streams it serves.
class LocalizingBuffer : public std::streambuf {
  public:
    LocalizingBuffer(std::streambuf* target, CliLanguage language);
    ~LocalizingBuffer() override;

  protected:
    int_type overflow(int_type c) override;
    int sync() override;

  private:
    void WritePending();

    std::streambuf* target_;
    CliLanguage language_;
    std::string pending_;
};
