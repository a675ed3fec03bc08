#include "support/test_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "receive/receive_thread.h"

namespace fs = std::filesystem;

TempFolder::TempFolder() {
    char pattern[] = "/tmp/tessaly-test-XXXXXX";
    path_ = mkdtemp(pattern) != nullptr ? pattern : "";
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string TempFolder::MakeFolder(const std::string& relative) const {
    std::error_code ignored;
    fs::create_directories(path_ + "/" + relative, ignored);
    return path_ + "/" + relative;
}

std::string TempFolder::WriteFile(const std::string& relative, const std::string& bytes) const {
    const fs::path path = path_ + "/" + relative;
    std::error_code ignored;
    fs::create_directories(path.parent_path(), ignored);
    PutFile(path.string(), bytes);
    return path.string();
}

unsigned short DeadPort() {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
                       getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0;
    close(fd);
    return bound ? ntohs(address.sin_port) : 0;
}

std::string ToBase64(const std::string& bytes) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        unsigned v = 0;
        for (std::size_t k = 0; k < 3; ++k) {
            v = v << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        }
        for (std::size_t k = 0; k < 4; ++k) {
            out += k <= n ? kAlphabet[v >> (18 - 6 * k) & 63] : '=';
        }
    }
    return out;
}

std::string ReadFile(const std::string& path) {
    std::error_code ignored;
    std::ifstream in(path, std::ios::binary);
    return fs::is_regular_file(path, ignored) ? std::string(std::istreambuf_iterator<char>(in), {})
                                              : "";
}

bool PutFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    return static_cast<bool>(out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())));
}

std::size_t CountEntries(const std::string& path) {
    std::error_code ignored;
    const fs::directory_iterator entries(path, ignored);
    return static_cast<std::size_t>(std::distance(begin(entries), end(entries)));
}

std::string PictureTag(const std::string& path) {
    static const std::regex kName(
        R"(.*/\d{4}-\d{2}-\d{2}-\d{2}-\d{2}-\d{2}_((snap|album|src|target)_id-?\d+)\.jpg$)");
    std::smatch match;
    return std::regex_match(path, match, kName) ? match[1].str() : "";
}

bool WriteAll(int fd, const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0 && !(n < 0 && errno == EINTR)) {
            return false;
        }
        done += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    return true;
}

std::string ReadBytes(int fd, std::size_t size) {
    std::string bytes;
    char chunk[4096];
    while (bytes.size() < size) {
        pollfd waiting{fd, POLLIN, 0};
        const ssize_t n = poll(&waiting, 1, 5000) == 1
                              ? recv(fd, chunk, std::min(sizeof(chunk), size - bytes.size()), 0)
                              : 0;
        if (n <= 0) {
            break;
        }
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
    return bytes;
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

std::string SubscribeAnswer(const std::string& address) {
    return ResponseMessage(
        "<?xml version=\"1.0\"?><config><serverAddress type=\"string\"><![CDATA[" + address +
        "]]></serverAddress><renewTime>300</renewTime></config>");
}

std::string FaceMatchBody(const std::string& snap, const std::string& album,
                          const std::string& source) {
    auto picture = [](const std::string& element, const std::string& base64) {
        return base64.empty() ? ""
                              : "<" + element +
                                    "><faceId type=\"uint32\">17</faceId><ImageData><width "
                                    "type=\"uint32\">160</width><Base64Data type=\"string\">" +
                                    base64 + "</Base64Data></ImageData></" + element + ">";
    };
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<config version=\"1.0\">"
           "<smartType type=\"string\">VFD_MATCH</smartType>"
           "<currentTime type=\"tint64\">1764988800000000</currentTime>" +
           picture("snapData", snap) + picture("albumData", album) + picture("sourceData", source) +
           "</config>";
}

std::string TargetsBody(const std::string& smartType, const std::string& source,
                        const std::vector<std::string>& targets, const std::string& count) {
    std::string body =
        "<?xml version=\"1.0\"?>\n<config version=\"1.0\"><smartType "
        "type=\"string\">" +
        smartType + "</smartType>";
    if (!source.empty()) {
        body +=
            "<sourceDataInfo><dataType type=\"uint32\">0</dataType><sourceBase64Data "
            "type=\"string\">" +
            source + "</sourceBase64Data></sourceDataInfo>";
    }
    body += "<listInfo type=\"list\" count=\"" + count + "\">";
    for (std::size_t i = 0; i < targets.size(); ++i) {
        body += "<item><targetId type=\"uint32\">" + std::to_string(i + 1) +
                "</targetId><targetImageData><targetBase64Data type=\"string\">" + targets[i] +
                "</targetBase64Data></targetImageData></item>";
    }
    return body + "</listInfo></config>";
}

LoopbackListener::LoopbackListener() {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    if (fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        listen(fd_, 4) == 0 &&
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port_ = ntohs(address.sin_port);
    }
}

LoopbackListener::~LoopbackListener() {
    close(fd_);
}

int LoopbackListener::Accept(int milliseconds) {
    pollfd waiting{fd_, POLLIN, 0};
    return poll(&waiting, 1, milliseconds) == 1 ? accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC) : -1;
}

FullListener::FullListener() {
    listening_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    if (listening_ < 0 || bind(listening_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(listening_, 0) != 0 ||
        getsockname(listening_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return;
    }
    // A queue of length 0 still takes one connection; it is this one.
    queued_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (queued_ >= 0 && connect(queued_, reinterpret_cast<sockaddr*>(&address), size) == 0) {
        port_ = ntohs(address.sin_port);
    }
}

FullListener::~FullListener() {
    close(queued_);
    close(listening_);
}

TricklePeer::TricklePeer(std::chrono::milliseconds interval) {
    thread_ = std::thread([this, interval] {
        const int conn = listener_.Accept();
        if (conn < 0) {
            return;
        }
        ReadBytes(conn, 1);  // the request has begun
        WriteAll(conn, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n");
        std::unique_lock<std::mutex> hold(lock_);
        for (int i = 0; i < 100 && !wake_.wait_for(hold, interval, [this] { return stop_; }); ++i) {
            WriteAll(conn, "x");
        }
        close(conn);
    });
}

TricklePeer::~TricklePeer() {
    {
        const std::lock_guard<std::mutex> hold(lock_);
        stop_ = true;
    }
    wake_.notify_all();
    // A post that never came leaves the peer waiting in Accept for at most its 5 s.
    thread_.join();
}

namespace {

// The device side of DriveReceiveLoop: feeds the next bytes whenever the loop has read all.
class PieceFeeder : public RecordingObserver {
  public:
    PieceFeeder(const int ends[2], const std::vector<std::string>& pieces)
        : loopEnd_(ends[0]), deviceEnd_(ends[1]), pieces_(pieces) {}

    void OnRead(std::size_t asked, long result) override {
        RecordingObserver::OnRead(asked, result);
        Feed();
    }

    void Feed() {
        int queued = 0;
        if (ioctl(loopEnd_, FIONREAD, &queued) != 0 || queued > 0) {
            return;
        }
        while (next_ < pieces_.size() && written_ == pieces_[next_].size()) {
            ++next_;
            written_ = 0;
        }
        if (next_ == pieces_.size()) {
            shutdown(deviceEnd_, SHUT_WR);
            return;
        }
        const std::string& piece = pieces_[next_];
        const ssize_t n = send(deviceEnd_, piece.data() + written_, piece.size() - written_,
                               MSG_NOSIGNAL | MSG_DONTWAIT);
        written_ += n > 0 ? static_cast<std::size_t>(n) : 0;
    }

  private:
    int loopEnd_;
    int deviceEnd_;
    const std::vector<std::string>& pieces_;
    std::size_t next_ = 0;     // piece being written
    std::size_t written_ = 0;  // bytes of it written
};

}  // namespace

DrivenRun DriveReceiveLoop(const std::string& folder, const std::vector<std::string>& pieces) {
    DrivenRun run;
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        return run;
    }
    TrafficLog log(folder);
    ServerAddress address;
    PieceFeeder feeder(ends, pieces);
    ReceiveSession session;
    session.context = ReceiveContext{folder, &log, &address, &feeder};
    session.socket = ends[0];
    session.endAtPeerClose = true;
    session.stop.Arm();
    feeder.Feed();
    RecvThreadProc(session);
    log.Close();
    close(ends[0]);
    close(ends[1]);
    run = {feeder.Texts(),     feeder.Reports(),     feeder.Reads(),
           feeder.BytesRead(), ReadFile(log.Path()), address.Get()};
    return run;
}

DrivenRun DriveReceiveLoop(const std::string& folder, const std::string& stream,
                           std::size_t piece) {
    std::vector<std::string> pieces;
    for (std::size_t at = 0; at < stream.size(); at += piece == 0 ? stream.size() : piece) {
        pieces.push_back(stream.substr(at, piece == 0 ? std::string::npos : piece));
    }
    return DriveReceiveLoop(folder, pieces);
}

bool IsolateUserSettings(const std::string& configFolder) {
    setenv("XDG_CONFIG_HOME", configFolder.c_str(), 1);
    const char* keychain = getenv("TESSALY_PRIVATE_KEYCHAIN");
    if (keychain != nullptr && std::string(keychain) == "1")
        return true;
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tessaly-test-bus", 1);
    return false;
}
