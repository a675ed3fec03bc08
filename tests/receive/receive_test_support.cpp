#include "receive_test_support.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>

TempFolder::TempFolder() {
    char pattern[] = "/tmp/tessaly-receive-XXXXXX";
    const char* made = mkdtemp(pattern);
    path_ = made != nullptr ? made : "";
}

TempFolder::~TempFolder() {
    if (!path_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
}

void RecordingObserver::OnResponseText(std::string text) {
    std::lock_guard<std::mutex> hold(lock_);
    texts_.push_back(std::move(text));
    changed_.notify_all();
}

void RecordingObserver::OnMessage(const MessageReport& report) {
    std::lock_guard<std::mutex> hold(lock_);
    reports_.push_back(report);
    changed_.notify_all();
}

void RecordingObserver::OnRead(std::size_t asked, long result) {
    std::lock_guard<std::mutex> hold(lock_);
    reads_.emplace_back(asked, result);
    changed_.notify_all();
}

template <typename Ready>
bool RecordingObserver::WaitFor(Ready ready) {
    std::unique_lock<std::mutex> hold(lock_);
    return changed_.wait_for(hold, std::chrono::seconds(10), ready);
}

bool RecordingObserver::WaitForReads(std::size_t count) {
    return WaitFor([&] { return reads_.size() >= count; });
}

bool RecordingObserver::WaitForReports(std::size_t count) {
    return WaitFor([&] { return reports_.size() >= count; });
}

std::vector<std::string> RecordingObserver::Texts() {
    std::lock_guard<std::mutex> hold(lock_);
    return texts_;
}

std::vector<MessageReport> RecordingObserver::Reports() {
    std::lock_guard<std::mutex> hold(lock_);
    return reports_;
}

std::vector<std::pair<std::size_t, long>> RecordingObserver::Reads() {
    std::lock_guard<std::mutex> hold(lock_);
    return reads_;
}

std::string ToBase64(const std::string& bytes) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[v >> 18 & 63];
        out += kAlphabet[v >> 12 & 63];
        out += kAlphabet[v >> 6 & 63];
        out += kAlphabet[v & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (rest == 2) {
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        }
        out += kAlphabet[v >> 18 & 63];
        out += kAlphabet[v >> 12 & 63];
        out += rest == 2 ? kAlphabet[v >> 6 & 63] : '=';
        out += '=';
    }
    return out;
}

std::string ReadFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return "";
    }
    std::string content;
    char chunk[65536];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof(chunk), file)) > 0) {
        content.append(chunk, n);
    }
    std::fclose(file);
    return content;
}

bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

std::vector<std::string> ListFolder(const std::string& path) {
    std::vector<std::string> names;
    DIR* dir = opendir(path.c_str());
    if (dir == nullptr) {
        return names;
    }
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string EventMessage(const std::string& body) {
    return "POST /SendAlarmStatus HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " +
           std::to_string(body.size()) +
           "\r\nContent-Type: application/xml; charset=UTF-8\r\nConnection: keep-alive\r\n\r\n" +
           body;
}

std::string ResponseMessage(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: application/xml; charset=UTF-8\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: keep-alive\r\n\r\n" + body;
}

namespace {

std::string MatchPicture(const char* element, const std::string& base64) {
    if (base64.empty()) {
        return "";
    }
    return std::string("<") + element + "><faceId type=\"uint32\">17</faceId><ImageData>" +
           "<width type=\"uint32\">160</width><Base64Data type=\"string\">" + base64 +
           "</Base64Data></ImageData></" + element + ">";
}

}  // namespace

std::string FaceMatchBody(const std::string& snap, const std::string& album,
                          const std::string& source) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<config version=\"1.0\">"
           "<smartType type=\"string\">VFD_MATCH</smartType>"
           "<currentTime type=\"tint64\">1764988800000000</currentTime>" +
           MatchPicture("snapData", snap) + MatchPicture("albumData", album) +
           MatchPicture("sourceData", source) + "</config>";
}

std::string TargetsBody(const std::string& smartType, const std::string& source,
                        const std::vector<std::string>& targets, const std::string& count) {
    std::string body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<config version=\"1.0\">";
    body += "<smartType type=\"string\">" + smartType + "</smartType>";
    if (!source.empty()) {
        body +=
            "<sourceDataInfo><dataType type=\"uint32\">0</dataType>"
            "<sourceBase64Data type=\"string\">" +
            source + "</sourceBase64Data></sourceDataInfo>";
    }
    body += "<listInfo type=\"list\" count=\"" + count + "\">";
    for (std::size_t i = 0; i < targets.size(); ++i) {
        body += "<item><targetId type=\"uint32\">" + std::to_string(i + 1) +
                "</targetId><targetImageData><dataType type=\"uint32\">0</dataType>"
                "<targetBase64Data type=\"string\">" +
                targets[i] + "</targetBase64Data></targetImageData></item>";
    }
    return body + "</listInfo></config>";
}

bool SplitPictureName(const std::string& name, std::string& kind, int& number) {
    static const std::regex kPattern(
        R"(^\d{4}-\d{2}-\d{2}-\d{2}-\d{2}-\d{2}_(snap|album|src|target)_id(-?\d+)\.jpg$)");
    std::smatch match;
    if (!std::regex_match(name, match, kPattern)) {
        return false;
    }
    kind = match[1];
    number = std::atoi(match[2].str().c_str());
    return true;
}

LoopbackListener::LoopbackListener() {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(fd_, 4) != 0 || getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size)) {
        return;
    }
    port_ = ntohs(address.sin_port);
}

LoopbackListener::~LoopbackListener() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

int LoopbackListener::Accept(int milliseconds) {
    pollfd waiting{fd_, POLLIN, 0};
    if (poll(&waiting, 1, milliseconds) != 1) {
        return -1;
    }
    return accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
}

std::string ReadBytes(int fd, std::size_t size) {
    std::string bytes;
    char chunk[4096];
    while (bytes.size() < size) {
        pollfd waiting{fd, POLLIN, 0};
        if (poll(&waiting, 1, 5000) != 1) {
            break;
        }
        const ssize_t n = recv(fd, chunk, std::min(sizeof(chunk), size - bytes.size()), 0);
        if (n <= 0) {
            break;
        }
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
    return bytes;
}
