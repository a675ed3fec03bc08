#include "fault_support.h"

#include <dirent.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "receive/server_address.h"
#include "receive/traffic_log.h"

FaultFolder::FaultFolder() {
    char pattern[] = "/tmp/tessaly-faults-XXXXXX";
    const char* made = mkdtemp(pattern);
    path_ = made != nullptr ? made : "";
}

FaultFolder::~FaultFolder() {
    if (!path_.empty()) {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
}

std::string FileBytes(const std::string& path) {
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(path, ignored)) {
        return std::string();
    }
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> ListEntries(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool PutFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool SendAll(int fd, const std::string& bytes) {
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

std::string PlainBase64(const std::string& bytes) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[v >> 18];
        out += kAlphabet[v >> 12 & 63];
        out += kAlphabet[v >> 6 & 63];
        out += kAlphabet[v & 63];
    }
    if (i + 1 == bytes.size()) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        out += kAlphabet[v >> 18];
        out += kAlphabet[v >> 12 & 63];
        out += "==";
    } else if (i + 2 == bytes.size()) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kAlphabet[v >> 18];
        out += kAlphabet[v >> 12 & 63];
        out += kAlphabet[v >> 6 & 63];
        out += '=';
    }
    return out;
}

std::string PushedEvent(const std::string& body) {
    return "POST /SendAlarmStatus HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nContent-Type: application/xml\r\n\r\n" + body;
}

std::string SubscribeAnswer(const std::string& address) {
    const std::string body = "<?xml version=\"1.0\"?><config><serverAddress><![CDATA[" + address +
                             "]]></serverAddress></config>";
    return "HTTP/1.1 200 OK\r\nContent-Type: application/xml\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string FaceMatchEvent(const std::string& snapBase64) {
    return "<?xml version=\"1.0\"?><config><smartType>VFD_MATCH</smartType><snapData>"
           "<ImageData><Base64Data>" +
           snapBase64 + "</Base64Data></ImageData></snapData></config>";
}

std::string TargetEvent(const std::string& source, const std::vector<std::string>& targets,
                        const std::string& count) {
    std::string body = "<?xml version=\"1.0\"?><config><smartType>PEA</smartType>";
    body += "<sourceDataInfo><sourceBase64Data>" + source + "</sourceBase64Data></sourceDataInfo>";
    body += "<listInfo count=\"" + count + "\">";
    for (const std::string& target : targets) {
        body += "<item><targetImageData><targetBase64Data type=\"string\">" + target +
                "</targetBase64Data></targetImageData></item>";
    }
    return body + "</listInfo></config>";
}

long ProcStatusValue(const std::string& key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, key.size() + 1, key + ":") == 0) {
            return std::strtol(line.c_str() + key.size() + 1, nullptr, 10);
        }
    }
    return -1;
}

int OpenDescriptorCount() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (const dirent* entry = readdir(dir)) {
            count += entry->d_name[0] != '.';
        }
        closedir(dir);
        --count;  // the listing's own descriptor
    }
    return count;
}

PieceFeeder::PieceFeeder(int loopEnd, int deviceEnd, std::vector<std::string> pieces)
    : loopEnd_(loopEnd), deviceEnd_(deviceEnd), pieces_(std::move(pieces)) {}

void PieceFeeder::Start() {
    Feed();
}

void PieceFeeder::Feed() {
    int queued = 0;
    if (ioctl(loopEnd_, FIONREAD, &queued) != 0 || queued > 0) {
        return;
    }
    while (next_ < pieces_.size() && written_ == pieces_[next_].size()) {
        ++next_;
        written_ = 0;
    }
    if (next_ == pieces_.size()) {
        if (!closed_) {
            shutdown(deviceEnd_, SHUT_WR);
            closed_ = true;
        }
        return;
    }
    const std::string& piece = pieces_[next_];
    const ssize_t n = send(deviceEnd_, piece.data() + written_, piece.size() - written_,
                           MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
        written_ += static_cast<std::size_t>(n);
    }
}

void PieceFeeder::OnResponseText(std::string_view text) {
    texts.emplace_back(text);
}

void PieceFeeder::OnMessage(const MessageReport& report) {
    reports.push_back(report);
}

void PieceFeeder::OnRead(std::size_t, long result) {
    if (result > 0) {
        bytesRead += static_cast<std::size_t>(result);
    }
    Feed();
}

DrivenRun DriveReceiveLoop(const std::string& folder, const std::string& stream,
                           std::size_t piece) {
    std::vector<std::string> pieces;
    for (std::size_t at = 0; at < stream.size(); at += piece == 0 ? stream.size() : piece) {
        pieces.push_back(stream.substr(at, piece == 0 ? std::string::npos : piece));
    }
    return DriveReceiveLoop(folder, pieces);
}

DrivenRun DriveReceiveLoop(const std::string& folder, const std::vector<std::string>& pieces) {
    DrivenRun run;
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        return run;
    }
    {
        TrafficLog log(folder);
        ServerAddress address;
        PieceFeeder feeder(ends[0], ends[1], pieces);
        ReceiveSession session;
        session.context = ReceiveContext{folder, &log, &address, &feeder};
        session.socket = ends[0];
        session.endAtPeerClose = true;
        session.stop.Arm();
        feeder.Start();
        RecvThreadProc(session);
        log.Close();
        run.texts = std::move(feeder.texts);
        run.reports = std::move(feeder.reports);
        run.bytesRead = feeder.bytesRead;
        run.serverAddress = address.Get();
        run.log = FileBytes(log.Path());
    }
    close(ends[0]);
    close(ends[1]);
    return run;
}
