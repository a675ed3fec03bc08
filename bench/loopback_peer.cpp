#include "bench/loopback_peer.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

}  // namespace

LoopbackListener::~LoopbackListener() {
    if (socket_ >= 0) {
        close(socket_);
    }
}

bool LoopbackListener::Listen() {
    socket_ = socket(AF_INET, SOCK_STREAM, 0);
    if (socket_ < 0) {
        return false;
    }
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof(address);
    if (bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(socket_, 4) != 0 ||
        getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(socket_);
        socket_ = -1;
        return false;
    }
    port_ = ntohs(address.sin_port);
    return true;
}

int LoopbackListener::Accept(int timeoutMs) {
    if (socket_ < 0) {
        return -1;
    }
    pollfd ready{socket_, POLLIN, 0};
    if (poll(&ready, 1, timeoutMs) != 1) {
        return -1;
    }
    return accept(socket_, nullptr, nullptr);
}

bool OpenLoopbackPair(LoopbackPair& pair) {
    LoopbackListener listener;
    if (!listener.Listen()) {
        return false;
    }
    const int client = socket(AF_INET, SOCK_STREAM, 0);
    if (client < 0) {
        return false;
    }
    const sockaddr_in address = Loopback(listener.Port());
    if (connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        close(client);
        return false;
    }
    const int server = listener.Accept(5000);
    if (server < 0) {
        close(client);
        return false;
    }
    pair.receiver = client;
    pair.peer = server;
    return true;
}

void CloseLoopbackPair(LoopbackPair& pair) {
    if (pair.receiver >= 0) {
        close(pair.receiver);
    }
    if (pair.peer >= 0) {
        close(pair.peer);
    }
    pair = LoopbackPair{};
}

std::size_t PushMessages(int socket, const std::string& message, int count, int perSecond,
                         const std::atomic<bool>* stop) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    std::size_t total = 0;
    for (int n = 0; n < count; ++n) {
        if (stop != nullptr && stop->load()) {
            break;
        }
        if (perSecond > 0) {
            std::this_thread::sleep_until(start +
                                          std::chrono::microseconds(1000000LL * n / perSecond));
        }
        std::size_t sent = 0;
        while (sent < message.size()) {
            const ssize_t n =
                send(socket, message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                shutdown(socket, SHUT_WR);
                return total + sent;
            }
            sent += static_cast<std::size_t>(n);
        }
        total += sent;
    }
    shutdown(socket, SHUT_WR);
    return total;
}

std::size_t ResidentBytes() {
    std::FILE* file = std::fopen("/proc/self/statm", "r");
    if (file == nullptr) {
        return 0;
    }
    unsigned long size = 0;
    unsigned long resident = 0;
    const int read = std::fscanf(file, "%lu %lu", &size, &resident);
    std::fclose(file);
    return read == 2 ? resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE)) : 0;
}

void RemoveFilesBelow(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        const std::string path = folder + "/" + name;
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0) {
            continue;
        }
        if (S_ISDIR(info.st_mode)) {
            RemoveFilesBelow(path);
        } else {
            unlink(path.c_str());
        }
    }
    closedir(dir);
}
