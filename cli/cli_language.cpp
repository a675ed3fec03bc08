#include "cli/cli_language.h"

#include <cstdlib>
#include <cstring>

namespace {

struct Message {
    const char* english;  // %1, %2, %3 stand for names, files and reasons filled in
    const char* chinese;
};

// tessaly-cli's messages. A more particular message stands before a more general one that
// would match it too.
constexpr Message kMessages[] = {
    // The home folder.
    {"no home folder for Tessaly: neither XDG_DATA_HOME nor HOME is set",
     "Tessaly 没有主文件夹：XDG_DATA_HOME 和 HOME 都未设置"},
    {"cannot create the folder \"%1\": %2", "无法创建文件夹“%1”：%2"},
    {"cannot create the folder \"%1\"", "无法创建文件夹“%1”"},
    {"cannot copy \"%1\" to \"%2\": %3", "无法将“%1”复制到“%2”：%3"},
    {"cannot write \"%1\"", "无法写入“%1”"},
    // The command line.
    {"unknown option %1", "未知选项 %1"},
    {"%1 takes no value", "%1 不带值"},
    {"%1 needs a port number from 1 to 65535, not \"%2\"",
     "%1 需要 1 到 65535 之间的端口号，而不是“%2”"},
    {"%1 needs a value", "%1 需要一个值"},
    {"no command given (catalogue, preview, send, listen, index or devices)",
     "未给出命令（catalogue、preview、send、listen、index 或 devices）"},
    {"no command given", "未给出命令"},
    {"unknown command %1", "未知命令 %1"},
    {"%1 does not belong to this command", "%1 不适用于此命令"},
    {"--ip needs an address", "--ip 需要一个地址"},
    {"--password and --password-file exclude each other",
     "--password 与 --password-file 不能同时使用"},
    {"--device needs a name", "--device 需要一个名称"},
    {"--pin needs sha256// and the Base64 of a key's SHA-256, not \"%1\"",
     "--pin 需要 sha256// 加上密钥 SHA-256 摘要的 Base64 编码，而不是“%1”"},
    {"--mode must be short or long, not \"%1\"", "--mode 只能是 short 或 long，而不是“%1”"},
    {"--body-file given twice", "--body-file 给出了两次"},
    {"--then needs a request file", "--then 需要一个请求文件"},
    {"--seconds needs a whole number of seconds from 1 up, not \"%1\"",
     "--seconds 需要不小于 1 的整数秒数，而不是“%1”"},
    {"--lang takes en or zh_CN, not \"%1\"", "--lang 只接受 en 或 zh_CN，而不是“%1”"},
    {"listen needs a request FILE", "listen 需要一个请求文件 FILE"},
    {"index needs a log FILE", "index 需要一个日志文件 FILE"},
    {"this command needs an INTERFACE", "此命令需要一个接口名 INTERFACE"},
    {"unexpected argument %1", "多余的参数 %1"},
    {"--pin and --insecure go with --tls", "--pin 和 --insecure 只能与 --tls 一起使用"},
    {"--pin and --insecure exclude each other", "--pin 与 --insecure 不能同时使用"},
    {"the home folder \"%1\" is not a folder", "主文件夹“%1”不是文件夹"},
    {"(tessaly-cli --help explains the usage)", "（tessaly-cli --help 说明用法）"},
    {"--insecure: the device's certificate is not checked; anyone in between can read and "
     "change the traffic",
     "--insecure：不检查设备的证书；通信路径上的任何人都能读取和篡改通信内容"},
    // Passwords and remembered devices.
    {"no password for the device \"%1\" (%2); give --password-file FILE or --password -",
     "没有设备“%1”的密码（%2）；请用 --password-file FILE 或 --password - 给出密码"},
    {"the keychain holds none for %1", "钥匙串中没有 %1 的密码"},
    {"no keychain: %1", "没有可用的钥匙串：%1"},
    {"Password for %1: ", "%1 的密码："},
    {"--password - found no line on standard input", "--password - 未能从标准输入读到一行"},
    {"cannot read a password from \"%1\"", "无法从“%1”读取密码"},
    {"no remembered device \"%1\" in %2 (tessaly-cli devices lists them)",
     "%2 中没有记住的设备“%1”（tessaly-cli devices 可列出已记住的设备）"},
    {"this tessaly-cli was built without the device list (Qt)",
     "此 tessaly-cli 构建时未包含设备列表（Qt）"},
    // The commands.
    {"cannot read the request file \"%1\" (missing, unreadable or empty)",
     "无法读取请求文件“%1”（文件不存在、不可读或为空）"},
    {"no answer to \"%1\" in time", "“%1”在限定时间内没有得到应答"},
    {"no answer to \"%1\": the device closed the connection", "“%1”没有得到应答：设备关闭了连接"},
    {"cannot create a socket (%1)", "无法创建套接字（%1）"},
    {"Please input username (%1)", "请输入用户名（%1）"},
    {"Please input password (%1)", "请输入密码（%1）"},
    {"Please input device's IP (%1)", "请输入设备的 IP（%1）"},
    {"Connect fail, Please Check the IP/Username/Password/LongPort ! (%1)",
     "连接失败，请检查 IP/用户名/密码/长连接端口！（%1）"},
    {"Send fail (\"%1\")", "发送失败（“%1”）"},
    {"the device answered \"%1\" with status %2", "设备对“%1”的应答状态为 %2"},
    {"the device closed the connection", "设备关闭了连接"},
    {"cannot read the log \"%1\" past byte %2: %3", "无法读取日志“%1”第 %2 字节之后的内容：%3"},
    {"cannot read the log \"%1\": %2", "无法读取日志“%1”：%2"},
    {"no interface \"%1\" in the short-mode catalogue (see: tessaly-cli catalogue --mode short)",
     "短连接目录中没有接口“%1”（参见：tessaly-cli catalogue --mode short）"},
    {"cannot read the body file \"%1\"", "无法读取正文文件“%1”"},
    {"Send fail, Please Check the IP/Username/Password/ShortPort ! (%1)",
     "发送失败，请检查 IP/用户名/密码/短连接端口！（%1）"},
    {"Send fail, Please Check the IP/Username/Password/ShortPort !",
     "发送失败，请检查 IP/用户名/密码/短连接端口！"},
    {"the device answered %1", "设备的应答：%1"},
};

// Paragraphs of CliUsage and their translations; a paragraph the usage no longer holds is
// found by the test.
constexpr Message kUsage[] = {
    {"Usage: tessaly-cli [options] COMMAND [arguments]\n",
     "用法：tessaly-cli [选项] COMMAND [参数]\n"},
    {"Scripted device checks with the core of the Tessaly window; no display needed.\n",
     "用 Tessaly 窗口的核心以脚本方式检查设备；无需显示器。\n"},
    {"Commands:\n", "命令：\n"},
    {"  catalogue [--mode short|long]   the modules and, under each, its interfaces\n"
     "                                  (short) or request files (long, the default)\n",
     "  catalogue [--mode short|long]   列出各模块及其下的接口（short）\n"
     "                                  或请求文件（long，默认）\n"},
    {"  preview INTERFACE               the short-mode request shown after a click\n",
     "  preview INTERFACE               显示短连接模式下点击接口后出现的请求\n"},
    {"                                  a short send; prints the answer body. INTERFACE\n"
     "                                  is a catalogue name or the writing partner of\n"
     "                                  one (e.g. SetImageConfig); F replaces the body.\n"
     "                                  -v, --verbose: the answer's status line (status,\n"
     "                                  time, bytes, authentication) to stderr\n"
     "                                  --fail: an HTTP status of 400 or above prints\n"
     "                                  no body and exits with 3 (as curl --fail)\n"
     "                                  --json: one JSON object with status (a number),\n"
     "                                  reason, timeMs, bytes, auth, body and error\n"
     "                                  instead of the body\n"
     "                                  --curl: prints a curl command line that posts\n"
     "                                  the same request, and sends nothing\n",
     "                                  短连接发送；输出应答正文。INTERFACE 是目录中的\n"
     "                                  接口名或其对应的写入接口（如 SetImageConfig）；\n"
     "                                  F 替换请求正文。\n"
     "                                  -v, --verbose：应答的状态行（状态、耗时、字节数、\n"
     "                                  认证方式）输出到 stderr\n"
     "                                  --fail：HTTP 状态为 400 及以上时不输出正文，\n"
     "                                  以 3 退出（同 curl --fail）\n"
     "                                  --json：以一个 JSON 对象代替正文，含 status（数字）、\n"
     "                                  reason、timeMs、bytes、auth、body 和 error\n"
     "                                  --curl：输出发送同一请求的 curl 命令行，不发送\n"},
    {"                                  subscribes on the long port with the request\n"
     "                                  file FILE, waits for its answer, sends each\n"
     "                                  follow-up, then receives until N seconds have\n"
     "                                  passed or Ctrl-C; one line per message\n"
     "                                  (--json: one JSON object per message). A FILE\n"
     "                                  not found from the current folder is looked\n"
     "                                  for in the home folder (protocol_long/...)\n",
     "                                  用请求文件 FILE 在长连接端口上订阅，等待其应答，\n"
     "                                  依次发送后续请求，然后接收，直到 N 秒过去或按下\n"
     "                                  Ctrl-C；每条消息一行（--json：每条消息一个 JSON 对象）。\n"
     "                                  在当前文件夹中找不到的 FILE 会到主文件夹中查找\n"
     "                                  （protocol_long/...）\n"},
    {"  --home DIR          folder of protocol_short, protocol_long, ApiLog.txt and pic,\n"
     "                      used as it is. Default: the program's folder when it is\n"
     "                      writable and holds protocol_short and protocol_long (a\n"
     "                      build or an unpacked archive), else $XDG_DATA_HOME/tessaly\n"
     "                      (~/.local/share/tessaly), made on first use and filled with\n"
     "                      copies of the installed request folders; request files you\n"
     "                      edit or delete there stay so\n",
     "  --home DIR          存放 protocol_short、protocol_long、ApiLog.txt 和 pic 的文件夹，\n"
     "                      按原样使用。默认：程序所在的文件夹可写且含有 protocol_short 和\n"
     "                      protocol_long 时（构建目录或解压的归档）用该文件夹，否则用\n"
     "                      $XDG_DATA_HOME/tessaly（~/.local/share/tessaly），首次使用时\n"
     "                      创建并复制已安装的请求文件夹；你在其中修改或删除的请求文件\n"
     "                      会保持原样\n"},
    {"  index FILE [--json]             lists the messages of a traffic log (ApiLog.txt):\n"
     "                                  offset, length, kind, status, smart type and\n"
     "                                  picture count, one line or JSON object each\n",
     "  index FILE [--json]             列出通信日志（ApiLog.txt）中的消息：偏移、长度、\n"
     "                                  类型、状态、智能类型和图片数，每条一行或一个\n"
     "                                  JSON 对象\n"},
    {"  devices                         the devices the window remembers, most recently\n"
     "                                  used first\n",
     "  devices                         列出窗口记住的设备，最近使用的在前\n"},
    {"Options:\n", "选项：\n"},
    {"device address (default ", "设备地址 (默认 "},
    {"user name (default ", "用户名 (默认 "},
    {"password (default ", "密码 (默认 "},
    {"  --password -        the password is the first line of standard input\n",
     "  --password -        密码取自标准输入的第一行\n"},
    {"  --password-file F   the password is the first line of the file F\n",
     "  --password-file F   密码取自文件 F 的第一行\n"},
    {"  --device NAME       address, ports and user of a device that the window\n"
     "                      remembers (a name given there, user@address, or the\n"
     "                      address), its password from the desktop keychain, else\n"
     "                      asked for on the terminal; --ip, --user and the ports win\n",
     "  --device NAME       使用窗口记住的设备（在窗口中起的名称、user@address 或地址）\n"
     "                      的地址、端口和用户，密码取自桌面钥匙串，否则在终端上询问；\n"
     "                      --ip、--user 和端口选项优先\n"},
    {"port of the long connection (default ", "长连接端口 (默认 "},
    {"port of the short connection (default ", "短连接端口 (默认 "},
    {"  --tls               both connections over TLS (https and TLS on the long port).\n"
     "                      The device's certificate must be vouched for by the system's\n"
     "                      authorities, or its key trusted: in the window, or with --pin\n",
     "  --tls               两种连接都使用 TLS（短连接用 https，长连接端口上用 TLS）。\n"
     "                      设备的证书须由系统信任的证书颁发机构担保，或其密钥已被信任：\n"
     "                      在窗口中信任，或用 --pin 指定\n"},
    {"  --pin sha256//KEY   trust the device whose public key has this SHA-256 (Base64, as\n"
     "                      curl's --pinnedpubkey takes it; tessaly-devsim --tls prints\n"
     "                      it); any other key is refused\n",
     "  --pin sha256//KEY   信任公钥 SHA-256 摘要为此值的设备（Base64，格式同 curl 的\n"
     "                      --pinnedpubkey；tessaly-devsim --tls 会输出它）；拒绝其他密钥\n"},
    {"  --insecure          with --tls, accept any certificate (warns; only for a device\n"
     "                      you cannot check otherwise)\n",
     "  --insecure          与 --tls 一起使用时接受任何证书（会给出警告；仅用于无法以其他\n"
     "                      方式核实的设备）\n"},
    {"  --lang LANGUAGE     the language of the messages and this help: en or zh_CN\n"
     "                      (default: the locale of LC_ALL, LC_MESSAGES or LANG); the\n"
     "                      output that scripts read is never translated\n",
     "  --lang LANGUAGE     消息和本帮助的语言：en 或 zh_CN（默认取 LC_ALL、LC_MESSAGES\n"
     "                      或 LANG 的区域设置）；供脚本读取的输出从不翻译\n"},
    {"Passwords: every user of the machine can read a command line (ps, /proc), so\n"
     "--password TEXT shows the password to all of them, and the shell's history keeps\n"
     "it. --password -, --password-file (readable by you alone), the keychain of\n"
     "--device and the prompt keep it out of both.\n",
     "密码：本机的每个用户都能看到命令行（ps、/proc），因此 --password TEXT 会把密码\n"
     "暴露给所有人，shell 的历史记录也会保存它。--password -、--password-file（仅你\n"
     "可读）、--device 的钥匙串和终端提示都不会留下密码。\n"},
    {"Exit status: 0 done, 1 a transfer, connection or file failed (listen: also an\n"
     "answer that is not 2xx), 2 wrong usage, 3 send --fail with an HTTP status of\n"
     "400 or above.\n",
     "退出状态：0 完成；1 传输、连接或文件操作失败（listen：应答不是 2xx 也算）；\n"
     "2 用法错误；3 send --fail 时 HTTP 状态为 400 及以上。\n"},
};

constexpr char kProgramPrefix[] = "tessaly-cli: ";
constexpr char kWarningPrefix[] = "warning: ";
constexpr char kChineseWarning[] = "警告：";

// Splits a message pattern into its literal pieces and the numbers of the places between.
void SplitPattern(const std::string& pattern, std::vector<std::string>& pieces,
                  std::vector<int>& places) {
    pieces.assign(1, std::string());
    places.clear();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' &&
            pattern[i + 1] <= '9') {
            places.push_back(pattern[i + 1] - '0');
            pieces.emplace_back();
            ++i;
        } else {
            pieces.back() += pattern[i];
        }
    }
}

// True when `text` is `pattern` with something (not empty) at each place; `values` gets it
// by place number. A piece between two places is matched at its first occurrence, the last
// piece at the end of the text.
bool Match(const std::string& text, const std::string& pattern, std::vector<std::string>& values) {
    std::vector<std::string> pieces;
    std::vector<int> places;
    SplitPattern(pattern, pieces, places);
    if (text.compare(0, pieces.front().size(), pieces.front()) != 0)
        return false;
    values.assign(10, std::string());
    std::size_t at = pieces.front().size();
    for (std::size_t k = 0; k < places.size(); ++k) {
        const std::string& next = pieces[k + 1];
        std::size_t end = 0;
        if (k + 1 == places.size()) {
            if (text.size() < at + next.size() ||
                text.compare(text.size() - next.size(), next.size(), next) != 0)
                return false;
            end = text.size() - next.size();
        } else {
            end = text.find(next, at + 1);
            if (end == std::string::npos)
                return false;
        }
        if (end <= at)
            return false;
        values[places[k]] = text.substr(at, end - at);
        at = end + next.size();
    }
    return places.empty() ? text == pieces.front() : true;
}

std::string Fill(const std::string& pattern, const std::vector<std::string>& values) {
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' &&
            pattern[i + 1] <= '9') {
            out += values[pattern[i + 1] - '0'];
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

std::string Translate(const std::string& text, int depth) {
    std::vector<std::string> values;
    for (const Message& message : kMessages) {
        if (!Match(text, message.english, values))
            continue;
        // A reason filled in may be a message of its own ("no keychain: ...").
        if (depth < 2) {
            for (std::string& value : values) {
                if (!value.empty())
                    value = Translate(value, depth + 1);
            }
        }
        return Fill(message.chinese, values);
    }
    return text;
}

// "zh_CN.UTF-8@euro" -> "zh_CN"; "-" becomes "_".
std::string LocaleName(const std::string& text) {
    std::string name = text.substr(0, text.find_first_of(".@"));
    for (char& c : name) {
        if (c == '-')
            c = '_';
    }
    return name;
}

}  // namespace

bool ParseCliLanguage(const std::string& text, CliLanguage& language) {
    const std::string name = LocaleName(text);
    if (name == "C" || name == "POSIX" || name == "en" || name.compare(0, 3, "en_") == 0) {
        language = CliLanguage::English;
        return true;
    }
    if (name == "zh" || name == "zh_CN" || name == "zh_SG" || name.compare(0, 7, "zh_Hans") == 0) {
        language = CliLanguage::Chinese;
        return true;
    }
    return false;
}

CliLanguage ChooseCliLanguage(const std::vector<std::string>& args, const std::string& locale) {
    const std::string* asked = nullptr;
    std::string joined;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--")
            break;
        if (args[i] == "--lang" && i + 1 < args.size()) {
            asked = &args[++i];
        } else if (args[i].compare(0, 7, "--lang=") == 0) {
            joined = args[i].substr(7);
            asked = &joined;
        }
    }
    CliLanguage language = CliLanguage::English;
    if (asked != nullptr) {
        ParseCliLanguage(*asked, language);
        return language;
    }
    // A locale of another language (de_DE, zh_TW) gets English: it is the only other one.
    if (!ParseCliLanguage(locale, language))
        language = CliLanguage::English;
    return language;
}

std::string LocaleOfEnvironment() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0')
            return value;
    }
    return std::string();
}

std::string LocalizeMessage(const std::string& text, CliLanguage language) {
    if (language == CliLanguage::English || text.empty())
        return text;
    std::string prefix;
    std::string rest = text;
    if (rest.compare(0, std::strlen(kProgramPrefix), kProgramPrefix) == 0) {
        prefix = kProgramPrefix;
        rest.erase(0, std::strlen(kProgramPrefix));
        if (rest.compare(0, std::strlen(kWarningPrefix), kWarningPrefix) == 0) {
            prefix += kChineseWarning;
            rest.erase(0, std::strlen(kWarningPrefix));
        }
    }
    return prefix + Translate(rest, 0);
}

std::string LocalizeUsage(const std::string& usage, CliLanguage language) {
    if (language == CliLanguage::English)
        return usage;
    std::string out = usage;
    for (const Message& paragraph : kUsage) {
        const std::size_t at = out.find(paragraph.english);
        if (at != std::string::npos)
            out.replace(at, std::strlen(paragraph.english), paragraph.chinese);
    }
    return out;
}

std::vector<std::string> TranslatedUsageParagraphs() {
    std::vector<std::string> english;
    for (const Message& paragraph : kUsage)
        english.emplace_back(paragraph.english);
    return english;
}

LocalizingBuffer::LocalizingBuffer(std::streambuf* target, CliLanguage language)
    : target_(target), language_(language) {}

LocalizingBuffer::~LocalizingBuffer() {
    WritePending();
    target_->pubsync();
}

LocalizingBuffer::int_type LocalizingBuffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    if (traits_type::to_char_type(c) == '\n') {
        WritePending();
        target_->sputc('\n');
    } else {
        pending_ += traits_type::to_char_type(c);
    }
    return c;
}

int LocalizingBuffer::sync() {
    WritePending();
    return target_->pubsync();
}

void LocalizingBuffer::WritePending() {
    if (pending_.empty())
        return;
    const std::string line = LocalizeMessage(pending_, language_);
    target_->sputn(line.data(), static_cast<std::streamsize>(line.size()));
    pending_.clear();
}
