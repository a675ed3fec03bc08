#include "session/traffic_rows.h"

#include <time.h>

#include <algorithm>
#include <cstdio>

#include "receive/picture_archive.h"

namespace {

constexpr std::int64_t kKeptSeconds = 120;

std::uint8_t Clamp8(int value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

}  // namespace

RowKind KindOf(MessageKind kind, bool complete) {
    if (!complete) {
        return RowKind::Incomplete;
    }
    switch (kind) {
        case MessageKind::Response:
            return RowKind::Answer;
        case MessageKind::Event:
            return RowKind::Event;
        case MessageKind::Other:
            break;
    }
    return RowKind::Other;
}

const char* RowKindName(RowKind kind) {
    switch (kind) {
        case RowKind::Answer:
            return "answer";
        case RowKind::Event:
            return "event";
        case RowKind::Incomplete:
            return "incomplete";
        case RowKind::Other:
            break;
    }
    return "other";
}

std::string IsoTime(std::int64_t timeMs) {
    const std::int64_t seconds = timeMs >= 0 ? timeMs / 1000 : (timeMs - 999) / 1000;
    const int millis = static_cast<int>(timeMs - seconds * 1000);
    const time_t whole = static_cast<time_t>(seconds);
    tm local{};
    if (localtime_r(&whole, &local) == nullptr) {
        return std::string();
    }
    char text[64];
    const long offset = local.tm_gmtoff / 60;
    const std::size_t length = std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%S", &local);
    std::snprintf(text + length, sizeof(text) - length, ".%03d%c%02ld:%02ld", millis,
                  offset < 0 ? '-' : '+', std::labs(offset) / 60, std::labs(offset) % 60);
    return text;
}

TrafficRows::TrafficRows(std::string folder) : folder_(std::move(folder)) {}

std::string TrafficRows::PictureFolder(const std::string& smartType) const {
    const std::string name = SafeFolderName(smartType);
    return folder_ + "/pic/" + (name.empty() ? std::string() : name + "/");
}

std::uint32_t TrafficRows::TypeIndex(const std::string& type) {
    const auto found = typeIndex_.find(type);
    if (found != typeIndex_.end()) {
        return found->second;
    }
    const std::uint32_t index = static_cast<std::uint32_t>(types_.size());
    types_.push_back(type);
    typeCounts_.push_back(0);
    typeIndex_.emplace(type, index);
    return index;
}

void TrafficRows::CountEvent(const TrafficRow& row) {
    if (row.kind != RowKind::Event) {
        return;
    }
    ++typeCounts_[row.smartType];
    if (row.timeMs < 0) {
        return;
    }
    const std::int64_t second = row.timeMs / 1000;
    if (!perSecond_.empty() && perSecond_.back().first == second) {
        ++perSecond_.back().second;
    } else if (perSecond_.empty() || perSecond_.back().first < second) {
        perSecond_.emplace_back(second, 1);
    }
    const auto old = std::find_if(perSecond_.begin(), perSecond_.end(), [&](const auto& entry) {
        return entry.first > second - kKeptSeconds;
    });
    perSecond_.erase(perSecond_.begin(), old);
}

void TrafficRows::AddReport(const MessageReport& report) {
    TrafficRow row;
    row.timeMs = report.timeMs;
    row.offset = report.logOffset;
    row.length = report.length;
    row.logLength = report.logLength;
    row.fingerprint = report.fingerprint;
    row.kind = KindOf(report.kind, report.complete);
    row.status = static_cast<std::uint16_t>(std::clamp(report.status, 0, 65535));
    row.smartType = TypeIndex(report.smartType);
    row.firstNumber = report.firstNumber;
    row.numbersDrawn = Clamp8(report.numbersDrawn);
    row.flags = static_cast<std::uint8_t>(
        (report.note ? TrafficRow::kNote : 0) | (report.wellFormed ? 0 : TrafficRow::kMalformed) |
        (report.decoded ? TrafficRow::kDecoded : 0) |
        (report.logLength < report.length ? TrafficRow::kPartlyLogged : 0));
    row.pictureAt = static_cast<std::uint32_t>(names_.size());
    row.pictures = static_cast<std::uint16_t>(std::min<std::size_t>(report.pictures.size(), 65535));
    const std::string prefix = PictureFolder(report.smartType);
    for (std::size_t i = 0; i < row.pictures; ++i) {
        const std::string& path = report.pictures[i];
        if (path.compare(0, prefix.size(), prefix) == 0 &&
            path.find('/', prefix.size()) == std::string::npos) {
            AddName(std::string_view(path).substr(prefix.size()));
        } else {
            AddName("/" + path);
        }
    }
    rows_.push_back(row);
    CountEvent(row);
}

std::uint32_t TrafficRows::AddSent(std::string_view bytes, std::uint64_t length,
                                   std::int64_t timeMs) {
    TrafficRow row;
    row.timeMs = timeMs;
    row.offset = sent_.size();
    row.length = length;
    row.kind = RowKind::Other;
    row.flags = TrafficRow::kSent | (length > kMaxSentBytes ? TrafficRow::kCut : 0);
    sent_.emplace_back(bytes.substr(0, kMaxSentBytes));
    sentRows_.push_back(static_cast<std::uint32_t>(rows_.size()));
    rows_.push_back(row);
    return static_cast<std::uint32_t>(row.offset);
}

void TrafficRows::MarkSendFailed(std::uint32_t ordinal) {
    if (ordinal < sentRows_.size()) {
        rows_[sentRows_[ordinal]].flags |= TrafficRow::kSendFailed;
    }
}

void TrafficRows::AddEntry(const LogEntry& entry) {
    TrafficRow row;
    row.offset = entry.offset;
    row.length = entry.length;
    row.logLength = entry.length;
    row.fingerprint = entry.fingerprint;
    row.kind = KindOf(entry.kind, entry.complete);
    row.status = static_cast<std::uint16_t>(std::clamp(entry.status, 0, 65535));
    row.smartType = TypeIndex(entry.smartType);
    row.firstNumber = entry.firstNumber;
    row.numbersDrawn = Clamp8(entry.numbersDrawn);
    row.pictures = static_cast<std::uint16_t>(std::clamp(entry.pictures, 0, 65535));
    row.pictureAt = static_cast<std::uint32_t>(names_.size());
    row.flags = static_cast<std::uint8_t>((entry.note ? TrafficRow::kNote : 0) |
                                          (entry.wellFormed ? 0 : TrafficRow::kMalformed) |
                                          (entry.decoded ? TrafficRow::kDecoded : 0));
    rows_.push_back(row);
    CountEvent(row);
}

std::string_view TrafficRows::SentBytes(const TrafficRow& row) const {
    return row.Sent() && row.offset < sent_.size() ? std::string_view(sent_[row.offset])
                                                   : std::string_view();
}

std::string TrafficRows::SentPath(const TrafficRow& row) const {
    const std::string_view bytes = SentBytes(row);
    const std::string_view line = bytes.substr(0, bytes.find_first_of("\r\n"));
    const std::size_t start = line.find(' ');
    if (start == std::string_view::npos) {
        return std::string();
    }
    const std::size_t end = line.find(' ', start + 1);
    return std::string(
        line.substr(start + 1, end == std::string_view::npos ? end : end - start - 1));
}

std::vector<std::string> TrafficRows::PicturePaths(const TrafficRow& row) const {
    std::vector<std::string> paths;
    if (row.Sent()) {
        return paths;
    }
    const std::string prefix = PictureFolder(types_[row.smartType]);
    for (std::size_t i = row.pictureAt; i < row.pictureAt + row.pictures && i < names_.size();
         ++i) {
        const std::string_view name = Name(i);
        if (!name.empty() && name.front() == '/') {
            paths.emplace_back(name.substr(1));
        } else {
            paths.push_back(prefix + std::string(name));
        }
    }
    return paths;
}

bool TrafficRows::Passes(std::size_t index, const RowFilter& filter) const {
    const TrafficRow& row = rows_[index];
    if (filter.matches != nullptr &&
        (index >= filter.matches->size() || !(*filter.matches)[index])) {
        return false;
    }
    if (row.Sent()) {
        return (filter.shown & RowFilter::kSentRows) != 0;
    }
    static constexpr unsigned kBit[] = {RowFilter::kAnswers, RowFilter::kEvents, RowFilter::kOther,
                                        RowFilter::kIncomplete};
    if ((filter.shown & kBit[static_cast<int>(row.kind)]) == 0) {
        return false;
    }
    return row.kind != RowKind::Event || row.smartType >= filter.hiddenTypes.size() ||
           !filter.hiddenTypes[row.smartType];
}

std::vector<std::uint32_t> TrafficRows::Visible(const RowFilter& filter, std::size_t from) const {
    std::vector<std::uint32_t> visible;
    visible.reserve(rows_.size() - std::min(from, rows_.size()));
    for (std::size_t i = from; i < rows_.size(); ++i) {
        if (Passes(i, filter)) {
            visible.push_back(static_cast<std::uint32_t>(i));
        }
    }
    return visible;
}

std::vector<int> TrafficRows::EventsPerSecond(std::int64_t nowMs, int seconds) const {
    std::vector<int> counts(static_cast<std::size_t>(std::max(seconds, 0)), 0);
    const std::int64_t last = nowMs / 1000;
    for (const auto& [second, events] : perSecond_) {
        const std::int64_t age = last - second;
        if (age >= 0 && age < seconds) {
            counts[counts.size() - 1 - static_cast<std::size_t>(age)] = events;
        }
    }
    return counts;
}

void TrafficRows::AddName(std::string_view name) {
    if (nameBlocks_.empty() || lastBlockUsed_ + name.size() > lastBlockSize_) {
        lastBlockSize_ = std::max(kNameBlock, name.size());
        nameBlocks_.emplace_back(new char[lastBlockSize_]);
        lastBlockUsed_ = 0;
    }
    std::copy(name.begin(), name.end(), nameBlocks_.back().get() + lastBlockUsed_);
    names_.push_back({static_cast<std::uint32_t>(nameBlocks_.size() - 1),
                      static_cast<std::uint32_t>(lastBlockUsed_),
                      static_cast<std::uint32_t>(name.size())});
    lastBlockUsed_ += name.size();
}

std::string_view TrafficRows::Name(std::size_t picture) const {
    const NameRef& ref = names_[picture];
    return std::string_view(nameBlocks_[ref.block].get() + ref.at, ref.length);
}

void TrafficInbox::Add(Item item) {
    bool wasEmpty = false;
    {
        std::lock_guard<std::mutex> hold(lock_);
        wasEmpty = items_.empty();
        items_.push_back(std::move(item));
    }
    if (wasEmpty && wakeUp_) {
        wakeUp_();
    }
}

void TrafficInbox::AddReport(const MessageReport& report) {
    Item item;
    item.report = report;
    Add(std::move(item));
}

std::uint32_t TrafficInbox::AddSent(std::string_view bytes, std::int64_t timeMs) {
    Item item;
    item.type = Item::kSent;
    item.bytes.assign(bytes.substr(0, TrafficRows::kMaxSentBytes));
    item.length = bytes.size();
    item.timeMs = timeMs;
    std::uint32_t ticket = 0;
    bool wasEmpty = false;
    {
        std::lock_guard<std::mutex> hold(lock_);
        ticket = tickets_++;
        item.ticket = ticket;
        wasEmpty = items_.empty();
        items_.push_back(std::move(item));
    }
    if (wasEmpty && wakeUp_) {
        wakeUp_();
    }
    return ticket;
}

void TrafficInbox::SendFailed(std::uint32_t ticket) {
    Item item;
    item.type = Item::kFailed;
    item.ticket = ticket;
    Add(std::move(item));
}

std::size_t TrafficInbox::TakeInto(TrafficRows& rows) {
    std::vector<Item> items;
    {
        std::lock_guard<std::mutex> hold(lock_);
        items.swap(items_);
    }
    const std::size_t before = rows.Size();
    for (Item& item : items) {
        switch (item.type) {
            case Item::kReport:
                rows.AddReport(item.report);
                break;
            case Item::kSent:
                rows.AddSent(item.bytes, item.length, item.timeMs);
                break;
            case Item::kFailed:
                rows.MarkSendFailed(item.ticket);
                break;
        }
    }
    return rows.Size() - before;
}
