#pragma once

#include <QAbstractTableModel>
#include <cstdint>
#include <deque>
#include <vector>

#include "session/traffic_rows.h"

// The event browser's table: the rows of one source that pass the filter, in order. Holds the
// indices of the rows shown only; every cell is made from the row's metadata when painted.
// Window's thread only.
class EventRowModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column {
        kNumber,
        kTime,
        kDirection,
        kKind,
        kStatus,
        kPath,
        kSmartType,
        kSize,
        kPictures,
        kColumns
    };

    explicit EventRowModel(QObject* parent = nullptr);

    // Shows the rows of `rows` (null: none) that pass `filter`; the rows must outlive their use.
    void SetSource(const TrafficRows* rows, const RowFilter& filter);
    // Applies another filter to the same rows.
    void SetFilter(const RowFilter& filter);
    // Rows [from, end) of the source were added: those that pass are appended.
    void RowsAdded(std::size_t from);
    const TrafficRows* Source() const { return m_rows; }
    const RowFilter& Filter() const { return m_filter; }

    // The source row shown at view row `row`.
    std::size_t RowIndex(int row) const { return m_visible[static_cast<std::size_t>(row)]; }
    // The view row of a source row; -1 when it is not shown.
    int ViewRow(std::size_t rowIndex) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The text of a row's kind column: "answer", "event (broken XML)", "request (not sent)"...
    static QString KindText(const TrafficRow& row);

  private:
    const TrafficRows* m_rows = nullptr;
    RowFilter m_filter;
    // In blocks that never move: a list of a million rows growing must not copy it all at once.
    std::deque<std::uint32_t> m_visible;
};
