#include "app/event_row_model.h"

#include <QBrush>
#include <QColor>
#include <QDateTime>
#include <algorithm>

#include "app/message_detail.h"

EventRowModel::EventRowModel(QObject* parent) : QAbstractTableModel(parent) {}

void EventRowModel::SetSource(const TrafficRows* rows, const RowFilter& filter) {
    beginResetModel();
    m_rows = rows;
    m_filter = filter;
    m_visible.clear();
    if (rows != nullptr) {
        const std::vector<std::uint32_t> visible = rows->Visible(filter);
        m_visible.assign(visible.begin(), visible.end());
    }
    endResetModel();
}

void EventRowModel::SetFilter(const RowFilter& filter) {
    SetSource(m_rows, filter);
}

void EventRowModel::RowsAdded(std::size_t from) {
    if (m_rows == nullptr)
        return;
    const std::vector<std::uint32_t> added = m_rows->Visible(m_filter, from);
    if (added.empty())
        return;
    const int first = static_cast<int>(m_visible.size());
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(added.size()) - 1);
    m_visible.insert(m_visible.end(), added.begin(), added.end());
    endInsertRows();
}

int EventRowModel::ViewRow(std::size_t rowIndex) const {
    const auto at = std::lower_bound(m_visible.begin(), m_visible.end(), rowIndex);
    return at != m_visible.end() && *at == rowIndex ? static_cast<int>(at - m_visible.begin()) : -1;
}

int EventRowModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_visible.size());
}

int EventRowModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QString EventRowModel::KindText(const TrafficRow& row) {
    if (row.Sent()) {
        if (row.flags & TrafficRow::kSendFailed)
            return QStringLiteral("request (not sent)");
        return QStringLiteral("request");
    }
    QString text = QString::fromLatin1(RowKindName(row.kind));
    if (row.flags & TrafficRow::kNote)
        text += QStringLiteral(" (folder note)");
    if (row.flags & TrafficRow::kMalformed)
        text += QStringLiteral(" (broken XML)");
    return text;
}

QVariant EventRowModel::data(const QModelIndex& index, int role) const {
    if (m_rows == nullptr || !index.isValid() || index.row() >= rowCount())
        return QVariant();
    const std::size_t rowIndex = RowIndex(index.row());
    const TrafficRow& row = m_rows->Row(rowIndex);
    if (role == Qt::TextAlignmentRole) {
        switch (index.column()) {
            case kNumber:
            case kStatus:
            case kSize:
            case kPictures:
                return QVariant(Qt::AlignRight | Qt::AlignVCenter);
            default:
                return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
        }
    }
    if (role == Qt::ForegroundRole) {
        const bool bad = row.kind == RowKind::Incomplete ||
                         (row.flags & (TrafficRow::kMalformed | TrafficRow::kSendFailed)) != 0;
        if (bad)
            return QBrush(QColor(0xb0, 0x20, 0x20));
        if (row.Sent())
            return QBrush(QColor(0x1a, 0x4d, 0x99));
        if (row.kind == RowKind::Other)
            return QBrush(QColor(0x70, 0x70, 0x70));
        return QVariant();
    }
    if (role == Qt::ToolTipRole && index.column() == kTime && row.timeMs >= 0) {
        return QDateTime::fromMSecsSinceEpoch(row.timeMs)
            .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz t"));
    }
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column()) {
        case kNumber:
            return QString::number(rowIndex + 1);
        case kTime:
            return row.timeMs < 0 ? QStringLiteral("\u2013")
                                  : QDateTime::fromMSecsSinceEpoch(row.timeMs)
                                        .toString(QStringLiteral("HH:mm:ss.zzz"));
        case kDirection:
            return row.Sent() ? QStringLiteral("sent") : QStringLiteral("received");
        case kKind:
            return KindText(row);
        case kStatus:
            return row.status != 0 ? QString::number(row.status) : QString();
        case kPath:
            return row.Sent() ? QString::fromUtf8(m_rows->SentPath(row)) : QString();
        case kSmartType:
            return row.kind == RowKind::Event
                       ? QString::fromUtf8(m_rows->SmartTypes()[row.smartType])
                       : QString();
        case kSize:
            return QString::fromStdString(Thousands(row.length));
        case kPictures:
            return row.kind == RowKind::Event ? QString::number(row.pictures) : QString();
        default:
            break;
    }
    return QVariant();
}

QVariant EventRowModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    static const char* const kTitles[] = {"#",    "Time",       "Direction", "Kind",    "HTTP",
                                          "Path", "Smart type", "Size",      "Pictures"};
    return section >= 0 && section < kColumns ? QString::fromLatin1(kTitles[section]) : QVariant();
}
