// The log indexer over any bytes, from memory and from a file. Checks: the entries cover the
// log from its first byte to its last without a gap or an overlap, each at least one byte; a
// note entry holds a note; a whole answer or event starts as one; the file gives the entries
// the bytes in memory give. For a log of cleanly framed messages and notes (built from the
// input when its first byte is odd), every message and note is one entry of its own, and a
// cut end is one incomplete entry.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "receive/log_index.h"
#include "receive/picture_archive.h"
#include "support/test_support.h"

namespace {

// In memory when the machine has /dev/shm: a file on disk costs more than the indexing.
const std::string& LogPath() {
    static const std::string path = [] {
        std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm/tessaly-fuzz-index-XXXXXX"
                                                            : "/tmp/tessaly-fuzz-index-XXXXXX";
        const int fd = mkstemp(pattern.data());
        FUZZ_CHECK(fd >= 0);
        close(fd);
        return pattern;
    }();
    return path;
}

std::vector<LogEntry> Index(LogIndexer& indexer) {
    std::vector<LogEntry> entries;
    for (LogEntry entry; indexer.Next(entry);) {
        entries.push_back(entry);
    }
    FUZZ_CHECK(indexer.Error().empty());
    return entries;
}

// Messages as a device sends them, with true lengths, and notes between them; `lengths` and
// `kinds` get each piece's length and kind (notes as Other).
std::string FramedLog(FuzzedDataProvider& provider, std::vector<std::size_t>& lengths,
                      std::vector<MessageKind>& kinds) {
    std::string log;
    while (provider.remaining_bytes() > 0 && lengths.size() < 32) {
        const int what = provider.ConsumeIntegralInRange(0, 3);
        std::string body = provider.ConsumeRandomLengthString(2048);
        for (char& c : body) {
            c = c == '\0' ? ' ' : c;
        }
        std::string piece;
        MessageKind kind = MessageKind::Other;
        if (what == 0) {
            piece = provider.ConsumeBool() ? kPicFolderNote : kSmartTypeFolderNote;
        } else if (what == 1) {
            body = "<?xml" + body;
            piece =
                "POST /SendAlarmStatus HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) +
                "\r\n\r\n" + body;
            kind = MessageKind::Event;
        } else {
            piece = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                    "\r\n\r\n" + body;
            kind = MessageKind::Response;
        }
        lengths.push_back(piece.size());
        kinds.push_back(kind);
        log += piece;
    }
    return log;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    const bool framed = size > 0 && (data[0] & 1) != 0;
    std::vector<std::size_t> lengths;
    std::vector<MessageKind> kinds;
    std::string log;
    std::size_t cut = 0;
    if (framed) {
        provider.ConsumeIntegral<std::uint8_t>();
        cut = provider.ConsumeIntegralInRange<std::size_t>(0, 64);
        log = FramedLog(provider, lengths, kinds);
        // Only a message is cut: a cut note is other data like any.
        cut = lengths.empty() || kinds.back() == MessageKind::Other
                  ? 0
                  : std::min(cut, lengths.back() - 1);
        log.resize(log.size() - cut);
    } else {
        log = provider.ConsumeRemainingBytesAsString();
    }

    LogIndexer memory;
    memory.OpenBytes(log);
    const std::vector<LogEntry> entries = Index(memory);
    std::uint64_t at = 0;
    for (const LogEntry& entry : entries) {
        FUZZ_CHECK(entry.offset == at && entry.length > 0);
        const std::string bytes = log.substr(entry.offset, entry.length);
        FUZZ_CHECK(!entry.note || StartsWithNote(bytes));
        if (entry.complete && entry.kind != MessageKind::Other) {
            FUZZ_CHECK(bytes.compare(0, 4, entry.kind == MessageKind::Event ? "POST" : "HTTP") ==
                       0);
        }
        FUZZ_CHECK(entry.pictures <= entry.numbersDrawn || entry.smartType == "VFD_MATCH");
        at += entry.length;
    }
    FUZZ_CHECK(at == log.size());

    FUZZ_CHECK(PutFile(LogPath(), log));
    LogIndexer file;
    FUZZ_CHECK(file.Open(LogPath()));
    const std::vector<LogEntry> fromFile = Index(file);
    FUZZ_CHECK(fromFile.size() == entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const LogEntry& a = entries[i];
        const LogEntry& b = fromFile[i];
        FUZZ_CHECK(a.offset == b.offset && a.length == b.length && a.kind == b.kind &&
                   a.complete == b.complete && a.pictures == b.pictures &&
                   a.smartType == b.smartType && a.fingerprint == b.fingerprint);
    }

    if (framed) {
        FUZZ_CHECK(entries.size() == lengths.size());
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const bool last = i + 1 == entries.size();
            FUZZ_CHECK(entries[i].length == lengths[i] - (last ? cut : 0));
            FUZZ_CHECK(entries[i].complete == (!last || cut == 0));
            if (entries[i].complete) {
                FUZZ_CHECK(entries[i].kind == kinds[i]);
                FUZZ_CHECK(entries[i].note == (kinds[i] == MessageKind::Other));
            }
        }
    }
    return 0;
}
