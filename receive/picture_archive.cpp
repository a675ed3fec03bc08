#include "receive/picture_archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>

#include "codec/base64.h"

const char kPicFolderNote[] = "\n\nCreateDirectory pic fail!\n\n";
const char kSmartTypeFolderNote[] = "\n\nCreateDirectory PEA fail!\n\n";

namespace {

// Makes the folder; one that exists already is no failure.
bool MakeFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0777) == 0) {
        return true;
    }
    struct stat info {};
    return errno == EEXIST && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void Note(TrafficLog* log, const char* note) {
    if (log != nullptr) {
        log->AddNote(note);
    }
}

std::string FilingTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char text[128];
    if (localtime_r(&now, &local) == nullptr) {
        return std::string();
    }
    const std::size_t length = std::strftime(text, sizeof(text), "%Y-%m-%d-%H-%M-%S", &local);
    return std::string(text, length);
}

}  // namespace

std::string SafeFolderName(const std::string& smartType) {
    if (smartType == ".") {
        return "_";
    }
    if (smartType == "..") {
        return "__";
    }
    std::string name = smartType;
    for (char& c : name) {
        if (c == '/' || c == '\\' || c == '\0') {
            c = '_';
        }
    }
    return name;
}

std::string PicturePath(const PictureArchive& archive, const std::string& smartType,
                        const std::string& kind, const std::string& number) {
    const std::string time = FilingTime();
    std::string path = archive.programFolder + "/pic";
    if (!MakeFolder(path)) {
        Note(archive.log, kPicFolderNote);
    }
    const std::string folder = SafeFolderName(smartType);
    if (!folder.empty()) {
        path += "/" + folder;
        if (!MakeFolder(path)) {
            Note(archive.log, kSmartTypeFolderNote);
        }
    }
    path += "/" + time + "_" + kind + "_" + number + ".jpg";
    return path;
}

bool WritePicture(const std::string& path, std::string_view base64,
                  std::vector<unsigned char>& scratch) {
    const int textLength = static_cast<int>(std::min<std::size_t>(base64.size(), INT_MAX));
    const std::size_t size = static_cast<std::size_t>(Base64DecodedSize(textLength));
    if (scratch.size() < size) {
        try {
            scratch.resize(size);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    const int count = Base64Decode(base64.data(), textLength, scratch.data());
    // One write of the whole picture: no stream buffer to copy through and flush.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    bool written = true;
    for (std::size_t at = 0, total = count > 0 ? static_cast<std::size_t>(count) : 0;
         written && at < total;) {
        const ssize_t n = write(fd, scratch.data() + at, total - at);
        if (n > 0) {
            at += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            written = false;
        }
    }
    const bool closed = close(fd) == 0;
    return written && closed;
}

std::string SavePicture(const PictureArchive& archive, std::string_view base64,
                        const std::string& smartType, const std::string& kind,
                        const std::string& number) {
    if (base64.empty()) {
        return std::string();
    }
    std::string path = PicturePath(archive, smartType, kind, number);
    std::vector<unsigned char> scratch;
    return WritePicture(path, base64, scratch) ? path : std::string();
}
