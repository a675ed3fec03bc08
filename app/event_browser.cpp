#include "app/event_browser.h"

#include <sys/stat.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <fstream>
#include <functional>

#include "app/background_worker.h"
#include "app/dialog_seam.h"
#include "app/event_browser_parts.h"
#include "app/event_row_model.h"
#include "app/live_traffic.h"
#include "app/picture_viewer.h"
#include "app/rate_graph.h"
#include "receive/event_decoder.h"
#include "receive/log_index.h"
#include "receive/message_framing.h"
#include "receive/picture_archive.h"

namespace {

using Clock = std::chrono::steady_clock;

// Least time between two details shown one after the other.
constexpr qint64 kDetailRestMs = 250;

// How often a long task reports rows or progress to the window.
constexpr auto kReportEvery = std::chrono::milliseconds(100);
// A log read again reaches the window in batches of at most this many rows, or of what was
// found in this time.
constexpr std::size_t kBatchRows = 4000;
constexpr auto kBatchEvery = std::chrono::milliseconds(25);

QString Number(std::uint64_t value) {
    return QString::fromStdString(Thousands(value));
}

QString RowTime(std::int64_t timeMs) {
    return timeMs < 0 ? QString()
                      : QDateTime::fromMSecsSinceEpoch(timeMs).toString(
                            QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

// The lower-case form of ASCII letters, for a search that ignores their case.
std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return lower;
}

// What a job needs of a row, copied on the window's thread.
struct RowCopy {
    std::size_t index = 0;
    TrafficRow row;
    std::string sent;                // a sent row's bytes
    std::vector<std::string> filed;  // the paths its pictures were filed as
    std::string smartType;
};

RowCopy CopyRow(const TrafficRows& rows, std::size_t index) {
    RowCopy copy;
    copy.index = index;
    copy.row = rows.Row(index);
    copy.sent.assign(rows.SentBytes(copy.row));
    copy.filed = rows.PicturePaths(copy.row);
    copy.smartType = rows.SmartTypes()[copy.row.smartType];
    return copy;
}

// The bytes of a row: kept (sent) or read back from the log. Empty with `problem` set when the
// log no longer holds them.
std::string RowBytes(const RowCopy& copy, LogReader& reader, const std::string& logPath,
                     std::string& problem) {
    if (copy.row.Sent())
        return copy.sent;
    LoggedBytes read = reader.Read(copy.row.offset, copy.row.logLength, copy.row.fingerprint);
    if (read.status != LoggedBytes::Status::Ok) {
        problem = LoggedBytesProblem(read, logPath);
        return std::string();
    }
    return std::move(read.bytes);
}

// A picture's file name as the archive makes it: time_kind_idN.jpg.
std::string PictureFileName(std::int64_t timeMs, const std::string& kind, int number) {
    const std::time_t when = static_cast<std::time_t>(timeMs / 1000);
    std::tm local{};
    char text[64] = "";
    if (localtime_r(&when, &local) != nullptr)
        std::strftime(text, sizeof(text), "%Y-%m-%d-%H-%M-%S", &local);
    return std::string(text) + "_" + kind + "_id" + std::to_string(number) + ".jpg";
}

}  // namespace

// ---- DetailHighlighter ----

DetailHighlighter::DetailHighlighter(QTextDocument* document)
    : XmlHighlighter(document),
      m_placeholder(QStringLiteral("\\[Base64, [0-9,]+ characters[^\\]]*\\]")) {
    m_link.setForeground(QColor(0x1a, 0x5f, 0xb4));
    m_link.setFontUnderline(true);
}

void DetailHighlighter::highlightBlock(const QString& text) {
    XmlHighlighter::highlightBlock(text);
    if (!text.contains(QStringLiteral("[Base64, ")))
        return;
    for (auto it = m_placeholder.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        setFormat(static_cast<int>(match.capturedStart()), static_cast<int>(match.capturedLength()),
                  m_link);
    }
}

// ---- EventBrowser ----

EventBrowser::EventBrowser(LiveTraffic& live, QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_live(live),
      m_thumbnails(kThumbnailCacheBytes),
      m_detailWorker(std::make_unique<BackgroundWorker>()),
      m_longWorker(std::make_unique<BackgroundWorker>()) {
    CreateControls();
    ConnectControls();
    // The tiles of most events (three pictures), made and measured with a caption and an icon
    // like theirs before the first message: their first layout costs more than any later one.
    QPixmap sample(kThumbnailSide, kThumbnailSide * 3 / 4);
    sample.fill(Qt::lightGray);
    for (std::size_t i = 0; i < 3; ++i) {
        QToolButton* tile = TileFor(i);
        tile->setIcon(sample);
        tile->setText(QStringLiteral("snap id1\n640\u00d7360, 45,678 bytes"));
        tile->sizeHint();
        tile->setIcon(QIcon());
        tile->setText(QString());
    }
    ShowLive();
}

EventBrowser::~EventBrowser() {
    // The workers go first (declared last), so no job outlives what it reads.
}

void EventBrowser::ConnectControls() {
    connect(&m_live, &LiveTraffic::rowsAdded, this, [this](std::size_t from) {
        if (!m_logRows)
            OnRowsAdded(from);
    });
    connect(m_openLog, &QToolButton::clicked, this, [this] {
        const QString path =
            DialogSeam::openFile(this, tr("Traffic logs (ApiLog*.txt *.txt *.log);;All files (*)"));
        if (!path.isEmpty())
            OpenLog(path);
    });
    connect(m_liveButton, &QToolButton::clicked, this, &EventBrowser::ShowLive);
    for (QCheckBox* kind : m_kinds)
        connect(kind, &QCheckBox::toggled, this, &EventBrowser::ApplyFilter);
    connect(m_types, &QListWidget::itemChanged, this, [this] {
        if (!m_updatingTypes)
            ApplyFilter();
    });
    connect(m_search, &QLineEdit::returnPressed, this, &EventBrowser::StartSearch);
    connect(m_search, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.isEmpty() && m_searching)
            ClearSearch();
    });
    connect(m_cancel, &QPushButton::clicked, this, &EventBrowser::CancelLongTask);
    connect(m_jump, &QPushButton::clicked, this, &EventBrowser::JumpToNewest);
    connect(m_table->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &EventBrowser::OnScrolled);
    // Following sticks to the newest row when the view grows or shrinks too.
    connect(m_table->verticalScrollBar(), &QScrollBar::rangeChanged, this, [this] {
        if (m_following)
            m_table->scrollToBottom();
    });
    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &EventBrowser::OnSelectionChanged);
    connect(m_model, &QAbstractItemModel::modelReset, this, &EventBrowser::OnSelectionChanged);
    connect(m_expandAll, &QPushButton::clicked, this, &EventBrowser::ExpandAllRuns);
    connect(m_copyMessage, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(QString::fromUtf8(m_detailMessage)); });
    connect(m_indent, &QCheckBox::toggled, this, [this] {
        if (m_detailRow != SIZE_MAX)
            RequestDetail(m_detailRow);
    });
    connect(m_detailText, &QPlainTextEdit::customContextMenuRequested, this,
            &EventBrowser::ShowDetailMenu);
    m_detailText->viewport()->installEventFilter(this);
    connect(m_tick, &QTimer::timeout, this, &EventBrowser::UpdateGraph);
    connect(m_detailTimer, &QTimer::timeout, this, [this] {
        if (m_detailRow != SIZE_MAX)
            RequestDetail(m_detailRow);
    });
}

bool EventBrowser::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_detailText->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const int run =
            RunAt(m_detailText->cursorForPosition(mouse->position().toPoint()).position());
        if (run >= 0) {
            ToggleRun(run);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void EventBrowser::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_tick->start();
    UpdateGraph();
    if (m_following)
        m_table->scrollToBottom();
}

void EventBrowser::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_tick->stop();
}

void EventBrowser::UpdateGraph() {
    if (m_logRows)
        return;
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    m_graph->SetCounts(m_live.Rows().EventsPerSecond(now.count(), 60));
}

// ---- Sources ----

const TrafficRows* EventBrowser::SourceRows() const {
    return m_logRows ? m_logRows.get() : &m_live.Rows();
}

const TrafficRows& EventBrowser::Rows() const {
    return *SourceRows();
}

std::string EventBrowser::LogPath() const {
    return m_logRows ? m_logPath.toStdString() : m_live.LogPath();
}

bool EventBrowser::LongTaskRunning() const {
    return !m_longTask.isEmpty();
}

void EventBrowser::SetSource(const TrafficRows* rows) {
    ++m_sourceGeneration;
    m_thumbnails.clear();
    m_matches.clear();
    m_searching = false;
    m_searchedTo = 0;
    m_following = true;
    m_newSinceLeft = 0;
    m_model->SetSource(rows, CurrentFilter());
    RefreshTypes();
    m_table->scrollToBottom();
    UpdateStatus();
}

void EventBrowser::ShowLive() {
    AbandonLongTask();
    m_logRows.reset();
    m_logPath.clear();
    m_live.Drain();
    setWindowTitle(tr("Events \u2013 live"));
    m_source->setText(tr("Live: the long connection since the program started"));
    m_liveButton->setEnabled(false);
    m_graph->SetCounts({0});
    SetSource(&m_live.Rows());
    UpdateGraph();
}

void EventBrowser::OpenLog(const QString& path) {
    AbandonLongTask();
    m_logRows = std::make_unique<TrafficRows>();
    m_logPath = QFileInfo(path).absoluteFilePath();
    setWindowTitle(tr("Events \u2013 %1").arg(QFileInfo(path).fileName()));
    m_source->setText(tr("Log read again: %1").arg(m_logPath));
    m_liveButton->setEnabled(true);
    m_graph->SetCounts({});
    SetSource(m_logRows.get());
    BeginLongTask(tr("Reading the log"));
    const unsigned generation = m_longGeneration;
    const std::string file = m_logPath.toStdString();
    m_longWorker->Post([this, file, generation](const std::atomic<bool>& cancelled) {
        LogIndexer indexer;
        if (!indexer.Open(file)) {
            const QString error = QString::fromStdString(indexer.Error());
            QMetaObject::invokeMethod(
                this, [this, error, generation] { OnIndexDone(error, false, generation); },
                Qt::QueuedConnection);
            return;
        }
        std::vector<LogEntry> batch;
        auto last = Clock::now();
        auto send = [&] {
            QMetaObject::invokeMethod(
                this,
                [this, batch = std::move(batch), position = indexer.Position(),
                 size = std::max(indexer.Size(), indexer.Position()), generation]() mutable {
                    OnIndexBatch(std::move(batch), position, size, generation);
                },
                Qt::QueuedConnection);
            batch.clear();
            last = Clock::now();
        };
        for (LogEntry entry; !cancelled && indexer.Next(entry);) {
            batch.push_back(std::move(entry));
            // Small batches: the window takes each in a few milliseconds.
            if (Clock::now() - last >= kBatchEvery || batch.size() >= kBatchRows)
                send();
        }
        send();
        const QString error = QString::fromStdString(indexer.Error());
        const bool stopped = cancelled;
        QMetaObject::invokeMethod(
            this, [this, error, stopped, generation] { OnIndexDone(error, stopped, generation); },
            Qt::QueuedConnection);
    });
}

void EventBrowser::OnIndexBatch(std::vector<LogEntry> entries, std::uint64_t position,
                                std::uint64_t size, unsigned generation) {
    if (generation != m_longGeneration || !m_logRows)
        return;
    const std::size_t from = m_logRows->Size();
    for (const LogEntry& entry : entries)
        m_logRows->AddEntry(entry);
    OnRowsAdded(from);
    m_progress->setValue(size == 0 ? 1000 : static_cast<int>(1000 * position / size));
    m_progress->setFormat(tr("Reading the log: %p%"));
}

void EventBrowser::OnIndexDone(QString error, bool cancelled, unsigned generation) {
    if (generation != m_longGeneration)
        return;
    QString status;
    if (!error.isEmpty() && m_logRows && m_logRows->Size() == 0) {
        status = tr("The log %1 cannot be read: %2.").arg(m_logPath, error);
        DialogSeam::information(this, status);
    } else if (!error.isEmpty()) {
        status = tr("Reading the log stopped: %1.").arg(error);
    } else if (cancelled) {
        status = tr("Reading the log was cancelled; the rows found so far are listed.");
    }
    EndLongTask(status);
}

// ---- Filters ----

RowFilter EventBrowser::CurrentFilter() const {
    RowFilter filter;
    static constexpr unsigned kBits[] = {RowFilter::kAnswers, RowFilter::kEvents, RowFilter::kOther,
                                         RowFilter::kIncomplete, RowFilter::kSentRows};
    filter.shown = 0;
    for (int i = 0; i < 5; ++i) {
        if (m_kinds[i]->isChecked())
            filter.shown |= kBits[i];
    }
    for (int i = 0; i < m_types->count(); ++i) {
        const QListWidgetItem* item = m_types->item(i);
        const std::size_t type = item->data(Qt::UserRole).toUInt();
        if (filter.hiddenTypes.size() <= type)
            filter.hiddenTypes.resize(type + 1, false);
        filter.hiddenTypes[type] = item->checkState() != Qt::Checked;
    }
    filter.matches = m_searching ? &m_matches : nullptr;
    return filter;
}

void EventBrowser::ApplyFilter() {
    // The detail stays while its row stays shown (expanded runs too); the reset of the model
    // must not clear it meanwhile.
    const std::size_t selected = m_detailRow;
    m_filtering = true;
    m_model->SetFilter(CurrentFilter());
    m_filtering = false;
    const int row = selected == SIZE_MAX ? -1 : m_model->ViewRow(selected);
    if (row < 0 && selected != SIZE_MAX) {
        m_detailRow = SIZE_MAX;
        ShowHelp();
    }
    if (row >= 0) {
        m_table->selectionModel()->setCurrentIndex(
            m_model->index(row, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_table->scrollTo(m_model->index(row, 0), QAbstractItemView::PositionAtCenter);
    } else if (m_following) {
        m_table->scrollToBottom();
    }
    UpdateStatus();
}

void EventBrowser::RefreshTypes() {
    const TrafficRows& rows = Rows();
    m_updatingTypes = true;
    if (m_types->count() > static_cast<int>(rows.SmartTypes().size()))
        m_types->clear();
    const std::vector<std::size_t>& counts = rows.TypeCounts();
    // The empty type is listed only once an event without one arrived.
    for (std::size_t type = 0; type < rows.SmartTypes().size(); ++type) {
        QListWidgetItem* item = nullptr;
        for (int i = 0; i < m_types->count() && item == nullptr; ++i) {
            if (m_types->item(i)->data(Qt::UserRole).toUInt() == type)
                item = m_types->item(i);
        }
        if (item == nullptr && counts[type] == 0)
            continue;
        if (item == nullptr) {
            item = new QListWidgetItem(m_types);
            item->setData(Qt::UserRole, static_cast<unsigned>(type));
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Checked);
        }
        const QString name = rows.SmartTypes()[type].empty()
                                 ? tr("(none)")
                                 : QString::fromUtf8(rows.SmartTypes()[type]);
        const QString text = tr("%1 (%2)").arg(name, Number(counts[type]));
        if (item->text() != text)
            item->setText(text);
    }
    m_updatingTypes = false;
}

// ---- Rows arriving ----

void EventBrowser::OnRowsAdded(std::size_t from) {
    const int before = m_model->rowCount();
    const QModelIndex current = m_table->selectionModel()->currentIndex();
    const bool lastSelected = current.isValid() && current.row() == before - 1;
    m_model->RowsAdded(from);
    const int added = m_model->rowCount() - before;
    if (m_searching && !LongTaskRunning())
        SearchFrom(m_searchedTo);
    RefreshTypes();
    if (added > 0) {
        if (m_following) {
            if (lastSelected) {
                m_table->selectionModel()->setCurrentIndex(
                    m_model->index(m_model->rowCount() - 1, 0),
                    QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            }
            m_table->scrollToBottom();
        } else {
            m_newSinceLeft += static_cast<std::size_t>(added);
        }
    }
    UpdateStatus();
}

void EventBrowser::OnScrolled() {
    QScrollBar* bar = m_table->verticalScrollBar();
    const bool atEnd = bar->value() >= bar->maximum();
    if (atEnd == m_following)
        return;
    m_following = atEnd;
    if (m_following)
        m_newSinceLeft = 0;
    UpdateStatus();
}

void EventBrowser::JumpToNewest() {
    m_following = true;
    m_newSinceLeft = 0;
    if (m_model->rowCount() > 0) {
        m_table->selectionModel()->setCurrentIndex(
            m_model->index(m_model->rowCount() - 1, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    m_table->scrollToBottom();
    UpdateStatus();
}

void EventBrowser::UpdateStatus() {
    const std::size_t total = Rows().Size();
    const int shown = m_model->rowCount();
    QString text =
        tr("%1 rows, %2 shown").arg(Number(total), Number(static_cast<std::uint64_t>(shown)));
    if (m_searching) {
        text += tr("; search \u201c%1\u201d").arg(QString::fromStdString(m_searchText));
        if (m_searchedTo < total)
            text += tr(" (%1 rows not searched yet)").arg(Number(total - m_searchedTo));
    }
    if (m_following && !m_logRows)
        text += tr("; following the newest");
    m_status->setText(text);
    m_jump->setVisible(!m_following);
    m_jump->setText(m_newSinceLeft > 0
                        ? tr("%1 new \u2013 jump to newest").arg(Number(m_newSinceLeft))
                        : tr("Jump to newest"));
}

// ---- Detail ----

void EventBrowser::OnSelectionChanged() {
    if (m_filtering)
        return;
    const QModelIndex current = m_table->selectionModel()->currentIndex();
    if (!current.isValid()) {
        m_detailRow = SIZE_MAX;
        ShowHelp();
        return;
    }
    const std::size_t row = m_model->RowIndex(current.row());
    if (row == m_detailRow)
        return;
    // Rows selected in quick succession (following a fast device, or keys held down) are
    // shown at most every kDetailRestMs: nobody reads faster, and the rest is left alone.
    const qint64 since = m_sinceDetail.isValid() ? m_sinceDetail.elapsed() : kDetailRestMs;
    m_detailRow = row;
    if (since >= kDetailRestMs) {
        RequestDetail(row);
    } else if (!m_detailTimer->isActive()) {
        m_detailTimer->start(static_cast<int>(kDetailRestMs - since));
    }
}

void EventBrowser::ClearDetail(const QString& text) {
    ++m_detailGeneration;
    m_detailWorker->Cancel();
    m_detailHeader->setText(text);
    m_detailProblem->hide();
    m_detailText->clear();
    m_detailMessage.clear();
    m_runs.clear();
    m_pictures.clear();
    // Tiles are kept for the next message: making one costs the window's thread more than
    // showing it again.
    for (QToolButton* tile : m_tiles) {
        tile->hide();
        tile->setIcon(QIcon());
        tile->setText(QString());
        tile->setToolTip(QString());
    }
    m_shownTiles = 0;
}

QToolButton* EventBrowser::TileFor(std::size_t index) {
    while (m_tiles.size() <= index) {
        auto* tile = new QToolButton(m_thumbStrip);
        const int at = static_cast<int>(m_tiles.size());
        tile->setObjectName(QStringLiteral("thumbnail%1").arg(at));
        tile->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        tile->setIconSize(QSize(kThumbnailSide, kThumbnailSide * 3 / 4));
        tile->setContextMenuPolicy(Qt::CustomContextMenu);
        tile->setAutoRaise(true);
        tile->hide();
        tile->ensurePolished();
        connect(tile, &QToolButton::clicked, this, [this, at] { OpenPicture(at); });
        connect(tile, &QToolButton::customContextMenuRequested, this,
                [this, at, tile](const QPoint& point) {
                    ShowPictureMenu(at, tile->mapToGlobal(point));
                });
        m_thumbLayout->insertWidget(at, tile);
        m_tiles.push_back(tile);
    }
    return m_tiles[index];
}

void EventBrowser::ShowHelp() {
    ClearDetail(tr("Select a row to see its message."));
    // Shown in the detail's own fonts and colours, so that they are loaded when the window
    // first paints, not when the first message is shown.
    m_detailText->setPlainText(
        tr("<detail>The selected message shows here: its headers, then its body with the XML "
           "indented and coloured.</detail>\n<picture>Each Base64 run is one line such as "
           "[Base64, 18,485 characters: picture snap id5]; double-click it to expand it, or "
           "copy it from its menu.</picture>\n<pictures>The message's pictures show beside "
           "the text: click one to see it whole.</pictures>"));
}

void EventBrowser::ReportProgress(std::size_t done, std::size_t total, unsigned generation,
                                  std::chrono::steady_clock::time_point& last) {
    if (std::chrono::steady_clock::now() - last < kReportEvery)
        return;
    last = std::chrono::steady_clock::now();
    const int permille = static_cast<int>(1000 * done / total);
    QMetaObject::invokeMethod(
        this,
        [this, permille, generation] {
            if (generation == m_longGeneration)
                m_progress->setValue(permille);
        },
        Qt::QueuedConnection);
}

void EventBrowser::RequestDetail(std::size_t rowIndex) {
    m_detailTimer->stop();
    m_sinceDetail.start();
    ClearDetail(tr("Reading message #%1...").arg(rowIndex + 1));
    m_detailRow = rowIndex;
    const unsigned generation = m_detailGeneration;
    const RowCopy copy = CopyRow(Rows(), rowIndex);
    const std::string logPath = LogPath();
    const bool indent = m_indent->isChecked();
    const bool live = !m_logRows;
    m_detailWorker->Post([this, copy, logPath, indent, live,
                          generation](const std::atomic<bool>& cancelled) {
        const TrafficRow& row = copy.row;
        std::string problem;
        LogReader reader(logPath);
        std::string message = RowBytes(copy, reader, logPath, problem);
        if (cancelled)
            return;
        const bool event = row.kind == RowKind::Event && (row.flags & TrafficRow::kDecoded);
        DetailText detail = problem.empty()
                                ? BuildDetailText(message, event, row.firstNumber, indent)
                                : DetailText();
        std::vector<PictureSource> pictures;
        for (const DetailPicture& picture : detail.pictures)
            pictures.push_back({picture.kind, picture.number, std::string(), picture.base64});
        MatchFiledPaths(pictures, copy.filed);
        // The header line.
        QString header;
        const QString number = QString::number(copy.index + 1);
        if (row.Sent()) {
            header = tr("Request #%1, sent %2, %3 bytes")
                         .arg(number, RowTime(row.timeMs), Number(row.length));
            if (row.flags & TrafficRow::kCut)
                header += tr(" (the first %1 are kept)").arg(Number(TrafficRows::kMaxSentBytes));
            if (row.flags & TrafficRow::kSendFailed)
                header += tr("; the send failed");
        } else {
            const QString kind = EventRowModel::KindText(row);
            header = tr("%1 #%2").arg(kind.left(1).toUpper() + kind.mid(1), number);
            if (row.timeMs >= 0)
                header += tr(", received %1").arg(RowTime(row.timeMs));
            if (row.kind == RowKind::Event)
                header +=
                    QStringLiteral(", ") +
                    QString::fromUtf8(copy.smartType.empty() ? "no smart type" : copy.smartType);
            header += tr(", %1 bytes at offset %2 of %3")
                          .arg(Number(row.length), Number(row.offset),
                               QFileInfo(QString::fromStdString(logPath)).fileName());
            if (row.kind == RowKind::Event)
                header += live ? tr(", %1 pictures filed").arg(row.pictures)
                               : tr(", %1 pictures").arg(row.pictures);
            if (row.flags & TrafficRow::kPartlyLogged)
                header += tr("; only %1 of its bytes reached the log").arg(Number(row.logLength));
        }
        QString shownProblem = QString::fromStdString(problem.empty() ? detail.problem : problem);
        if (copy.row.Sent() && (row.flags & TrafficRow::kCut))
            shownProblem = tr("The request was %1 bytes; only the first %2 are kept.")
                               .arg(Number(row.length), Number(TrafficRows::kMaxSentBytes));
        // The text as the box takes it, made here: decoding it costs the window nothing.
        auto shown = std::make_shared<ShownDetail>();
        std::size_t done = 0;
        for (DetailText::Run& run : detail.runs) {
            shown->text +=
                QString::fromUtf8(detail.text.data() + done, static_cast<qsizetype>(run.at - done));
            shown->starts.push_back(static_cast<int>(shown->text.size()));
            shown->labels.push_back(static_cast<int>(QString::fromUtf8(run.label).size()));
            done = run.at;
        }
        shown->text += QString::fromUtf8(detail.text.data() + done,
                                         static_cast<qsizetype>(detail.text.size() - done));
        shown->runs = std::move(detail.runs);
        shown->problem = shownProblem;
        shown->pictures = std::move(pictures);
        shown->header = header;
        shown->message = std::move(message);
        QMetaObject::invokeMethod(
            this,
            [this, rowIndex = copy.index, generation, shown] {
                ShowDetail(rowIndex, generation, *shown);
            },
            Qt::QueuedConnection);
    });
}

void EventBrowser::ShowDetail(std::size_t rowIndex, unsigned generation, ShownDetail& shown) {
    if (generation != m_detailGeneration || rowIndex != m_detailRow)
        return;
    m_detailHeader->setText(shown.header);
    m_detailProblem->setText(shown.problem);
    m_detailProblem->setVisible(!shown.problem.isEmpty());
    m_detailMessage = std::move(shown.message);
    m_detailText->setPlainText(shown.text);
    m_runs.clear();
    for (std::size_t i = 0; i < shown.runs.size(); ++i) {
        RunView view;
        view.cursor = QTextCursor(m_detailText->document());
        view.cursor.setPosition(shown.starts[i]);
        view.cursor.setPosition(shown.starts[i] + shown.labels[i], QTextCursor::KeepAnchor);
        view.run = std::move(shown.runs[i]);
        m_runs.push_back(std::move(view));
    }
    m_expandAll->setEnabled(!m_runs.empty());
    m_copyMessage->setEnabled(!m_detailMessage.empty());

    m_pictures = std::move(shown.pictures);
    const unsigned source = m_sourceGeneration;
    for (std::size_t i = 0; i < m_pictures.size(); ++i) {
        QToolButton* tile = TileFor(i);
        tile->setText(PictureName(m_pictures[i].kind, m_pictures[i].number) + tr("\ndecoding..."));
        tile->show();
        m_shownTiles = i + 1;
        const int index = static_cast<int>(i);
        const QString key = QStringLiteral("%1:%2:%3").arg(source).arg(rowIndex).arg(i);
        if (const CachedThumbnail* cached = m_thumbnails.object(key)) {
            ShowThumbnail(generation, index, cached->image, cached->caption, cached->problem,
                          cached->path);
            continue;
        }
        const PictureSource picture = m_pictures[i];
        m_detailWorker->Post([this, picture, index, generation,
                              key](const std::atomic<bool>& cancelled) {
            if (cancelled)
                return;
            LoadedPicture loaded = LoadPicture(picture, QSize(kThumbnailSide, kThumbnailSide));
            if (cancelled)
                return;
            QString caption = loaded.name;
            if (loaded.fullSize.isValid())
                caption += tr("\n%1\u00d7%2, %3 bytes")
                               .arg(loaded.fullSize.width())
                               .arg(loaded.fullSize.height())
                               .arg(Number(static_cast<std::uint64_t>(loaded.bytes)));
            QMetaObject::invokeMethod(
                this,
                [this, generation, index, key, loaded = std::move(loaded), caption] {
                    if (!loaded.image.isNull())
                        m_thumbnails.insert(key,
                                            new CachedThumbnail{loaded.image, caption,
                                                                loaded.problem, loaded.filePath},
                                            static_cast<int>(loaded.image.sizeInBytes()));
                    ShowThumbnail(generation, index, loaded.image, caption, loaded.problem,
                                  loaded.filePath);
                },
                Qt::QueuedConnection);
        });
    }
    emit detailShown();
}

void EventBrowser::ShowThumbnail(unsigned generation, int index, QImage image, QString name,
                                 QString problem, QString path) {
    if (generation != m_detailGeneration || index >= static_cast<int>(m_shownTiles))
        return;
    QToolButton* tile = m_tiles[static_cast<std::size_t>(index)];
    if (image.isNull()) {
        QImage blank(kThumbnailSide, kThumbnailSide * 3 / 4, QImage::Format_RGB32);
        blank.fill(QColor(0xe8, 0xe8, 0xe8));
        tile->setIcon(QPixmap::fromImage(blank));
    } else {
        tile->setIcon(QPixmap::fromImage(image));
    }
    QString text = name;
    if (!problem.isEmpty())
        text += QStringLiteral("\n") + problem;
    tile->setText(text);
    tile->setToolTip(path.isEmpty() ? tr("Decoded from the log's text") : path);
    emit thumbnailShown();
}

int EventBrowser::RunAt(int position) const {
    for (std::size_t i = 0; i < m_runs.size(); ++i) {
        const QTextCursor& cursor = m_runs[i].cursor;
        if (position >= cursor.selectionStart() && position <= cursor.selectionEnd())
            return static_cast<int>(i);
    }
    return -1;
}

void EventBrowser::ToggleRun(int index) {
    RunView& view = m_runs[static_cast<std::size_t>(index)];
    const QString replacement = view.expanded ? QString::fromUtf8(view.run.label)
                                              : QString::fromUtf8(ExpandedRun(view.run.text));
    const int start = view.cursor.selectionStart();
    view.cursor.insertText(replacement);
    view.cursor.setPosition(start);
    view.cursor.setPosition(start + static_cast<int>(replacement.size()), QTextCursor::KeepAnchor);
    view.expanded = !view.expanded;
}

void EventBrowser::ExpandAllRuns() {
    for (std::size_t i = 0; i < m_runs.size(); ++i) {
        if (!m_runs[i].expanded)
            ToggleRun(static_cast<int>(i));
    }
}

void EventBrowser::ShowDetailMenu(const QPoint& at) {
    QMenu* menu = m_detailText->createStandardContextMenu(at);
    const int run = RunAt(m_detailText->cursorForPosition(at).position());
    menu->addSeparator();
    if (run >= 0) {
        const RunView& view = m_runs[static_cast<std::size_t>(run)];
        menu->addAction(view.expanded ? tr("Collapse this Base64") : tr("Expand this Base64"), this,
                        [this, run] { ToggleRun(run); });
        menu->addAction(tr("Copy this Base64 (%1 characters)").arg(Number(view.run.text.size())),
                        this, [text = view.run.text] {
                            QApplication::clipboard()->setText(QString::fromUtf8(text));
                        });
    }
    QAction* all = menu->addAction(tr("Expand all Base64"), this, &EventBrowser::ExpandAllRuns);
    all->setEnabled(!m_runs.empty());
    menu->addAction(tr("Copy message"), m_copyMessage, &QPushButton::click);
    menu->exec(m_detailText->viewport()->mapToGlobal(at));
    delete menu;
}

void EventBrowser::OpenPicture(int index) {
    if (index < 0 || index >= static_cast<int>(m_pictures.size()))
        return;
    if (m_viewer == nullptr)
        m_viewer = new PictureViewer(this);
    m_viewer->Show(m_pictures, index, tr("Message #%1").arg(m_detailRow + 1));
}

void EventBrowser::ShowPictureMenu(int index, const QPoint& at) {
    if (index < 0 || index >= static_cast<int>(m_pictures.size()))
        return;
    const PictureSource& picture = m_pictures[static_cast<std::size_t>(index)];
    const QString path = QString::fromStdString(picture.filePath);
    const bool file = !path.isEmpty() && QFileInfo(path).isFile();
    QMenu menu;
    menu.addAction(tr("Open"), this, [this, index] { OpenPicture(index); });
    QAction* folder = menu.addAction(tr("Open containing folder"), this, [this, path] {
        DialogSeam::openFolder(this, QFileInfo(path).absolutePath());
    });
    QAction* copy =
        menu.addAction(tr("Copy path"), this, [path] { QApplication::clipboard()->setText(path); });
    folder->setEnabled(file);
    copy->setEnabled(file);
    menu.addAction(tr("Copy Base64"), this, [text = picture.base64] {
        QApplication::clipboard()->setText(QString::fromUtf8(text));
    });
    menu.exec(at);
}

// ---- Long tasks: search and saving ----

void EventBrowser::BeginLongTask(const QString& what) {
    m_longWorker->Cancel();
    ++m_longGeneration;
    m_longTask = what;
    m_progress->setRange(0, 1000);
    m_progress->setValue(0);
    m_progress->setFormat(what + QStringLiteral(": %p%"));
    m_progress->show();
    m_cancel->show();
}

void EventBrowser::EndLongTask(const QString& status, bool searchGoesOn) {
    m_longTask.clear();
    m_progress->hide();
    m_cancel->hide();
    UpdateStatus();
    if (!status.isEmpty())
        m_status->setText(m_status->text() + QStringLiteral(" \u2013 ") + status);
    if (searchGoesOn && m_searching && m_searchedTo < Rows().Size())
        SearchFrom(m_searchedTo);
    if (m_longTask.isEmpty())
        emit longTaskFinished();
}

void EventBrowser::AbandonLongTask() {
    if (m_longTask.isEmpty())
        return;
    m_longWorker->Cancel();
    ++m_longGeneration;
    m_longTask.clear();
    m_progress->hide();
    m_cancel->hide();
}

void EventBrowser::CancelLongTask() {
    if (m_longTask.isEmpty())
        return;
    m_longWorker->Cancel();
    // The task's own end comes as a queued call; until then it reports nothing new.
}

void EventBrowser::StartSearch() {
    const std::string text = m_search->text().toStdString();
    if (text.empty()) {
        ClearSearch();
        return;
    }
    m_searchText = text;
    m_matches.assign(Rows().Size(), false);
    m_searchedTo = 0;
    m_searching = true;
    ApplyFilter();
    if (!LongTaskRunning() || m_longTask == tr("Searching"))
        SearchFrom(0);  // else once the log is read or the pictures are saved
}

void EventBrowser::ClearSearch() {
    if (m_longTask == tr("Searching"))
        AbandonLongTask();
    m_searching = false;
    m_matches.clear();
    m_searchedTo = 0;
    ApplyFilter();
}

void EventBrowser::SearchFrom(std::size_t from) {
    const TrafficRows& rows = Rows();
    if (from >= rows.Size())
        return;
    if (m_longTask == tr("Searching"))
        AbandonLongTask();  // searched again from `from` on
    BeginLongTask(tr("Searching"));
    const unsigned generation = m_longGeneration;
    // What the search needs of each row, copied: rows keep only metadata, so this is small.
    std::vector<RowCopy> copies;
    copies.reserve(rows.Size() - from);
    for (std::size_t i = from; i < rows.Size(); ++i) {
        RowCopy copy;
        copy.index = i;
        copy.row = rows.Row(i);
        copy.sent.assign(rows.SentBytes(copy.row));
        copies.push_back(std::move(copy));
    }
    const std::string needle = Lower(m_searchText);
    const std::string logPath = LogPath();
    const std::size_t to = rows.Size();
    m_longWorker->Post([this, copies = std::move(copies), needle, logPath, to,
                        generation](const std::atomic<bool>& cancelled) {
        LogReader reader(logPath);
        std::vector<std::uint32_t> found;
        auto last = Clock::now();
        const std::boyer_moore_horspool_searcher searcher(needle.begin(), needle.end());
        std::size_t searched = 0;
        for (const RowCopy& copy : copies) {
            if (cancelled)
                break;
            std::string problem;
            const std::string text = Lower(RowBytes(copy, reader, logPath, problem));
            if (std::search(text.begin(), text.end(), searcher) != text.end())
                found.push_back(static_cast<std::uint32_t>(copy.index));
            ++searched;
            ReportProgress(searched, copies.size(), generation, last);
        }
        const bool stopped = searched < copies.size();
        const std::size_t searchedTo = copies.empty() ? to : copies.front().index + searched;
        QMetaObject::invokeMethod(
            this,
            [this, found = std::move(found), searchedTo, stopped, generation]() mutable {
                OnSearchDone(std::move(found), searchedTo, stopped, generation);
            },
            Qt::QueuedConnection);
    });
}

void EventBrowser::OnSearchDone(std::vector<std::uint32_t> found, std::size_t searchedTo,
                                bool cancelled, unsigned generation) {
    if (generation != m_longGeneration)
        return;
    if (m_searching) {
        if (m_matches.size() < searchedTo)
            m_matches.resize(searchedTo, false);
        for (std::uint32_t index : found)
            m_matches[index] = true;
        m_searchedTo = searchedTo;
        ApplyFilter();
    }
    // Rows that arrived meanwhile are searched too, unless the user stopped the search.
    EndLongTask(
        cancelled ? tr("the search was cancelled; rows not searched are hidden") : QString(),
        !cancelled);
}

void EventBrowser::SavePictures(bool selectedOnly) {
    std::vector<std::size_t> chosen;
    if (selectedOnly) {
        for (const QModelIndex& index : m_table->selectionModel()->selectedRows())
            chosen.push_back(m_model->RowIndex(index.row()));
        std::sort(chosen.begin(), chosen.end());
    } else {
        for (int row = 0; row < m_model->rowCount(); ++row)
            chosen.push_back(m_model->RowIndex(row));
    }
    const TrafficRows& rows = Rows();
    std::vector<RowCopy> copies;
    for (std::size_t index : chosen) {
        if (rows.Row(index).kind == RowKind::Event &&
            (rows.Row(index).flags & TrafficRow::kDecoded))
            copies.push_back(CopyRow(rows, index));
    }
    if (copies.empty()) {
        DialogSeam::information(this, tr("The rows chosen hold no pictures."));
        return;
    }
    const QString folder = DialogSeam::chooseFolder(this, tr("Save the pictures under"));
    if (folder.isEmpty())
        return;
    BeginLongTask(tr("Saving pictures"));
    const unsigned generation = m_longGeneration;
    const std::string logPath = LogPath();
    const std::string target = folder.toStdString();
    // A log read again has no times: its pictures are named after the log's last change.
    struct stat info {};
    const std::int64_t logTimeMs =
        stat(logPath.c_str(), &info) == 0 ? static_cast<std::int64_t>(info.st_mtime) * 1000 : 0;
    m_longWorker->Post([this, copies = std::move(copies), logPath, target, logTimeMs,
                        generation](const std::atomic<bool>& cancelled) {
        LogReader reader(logPath);
        std::size_t saved = 0, failed = 0, done = 0;
        auto last = Clock::now();
        for (const RowCopy& copy : copies) {
            if (cancelled)
                break;
            std::string problem;
            const std::string message = RowBytes(copy, reader, logPath, problem);
            const MessageFrame frame = FrameMessage(message.data(), message.size());
            if (!problem.empty() || !frame.decodable) {
                failed += copy.row.pictures;
                continue;
            }
            const EventListing listing =
                ListEvent(std::string_view(message).substr(frame.bodyStart, frame.bodyLength));
            std::vector<PictureSource> sources;
            for (const EventPictureText& picture : listing.pictures)
                sources.push_back(
                    {picture.kind,
                     copy.row.firstNumber != 0 ? copy.row.firstNumber + picture.number : 0,
                     std::string(), std::string()});
            MatchFiledPaths(sources, copy.filed);
            const std::string sub = SafeFolderName(copy.smartType);
            const std::string dir = target + (sub.empty() ? "" : "/" + sub);
            mkdir(dir.c_str(), 0777);
            for (std::size_t i = 0; i < listing.pictures.size(); ++i) {
                const PictureSource& source = sources[i];
                const std::string name =
                    !source.filePath.empty()
                        ? source.filePath.substr(source.filePath.rfind('/') + 1)
                        : PictureFileName(copy.row.timeMs >= 0 ? copy.row.timeMs : logTimeMs,
                                          source.kind, source.number);
                std::string bytes;
                std::ofstream out(dir + "/" + name, std::ios::binary | std::ios::trunc);
                if (DecodePictureText(listing.pictures[i].text, bytes) && out &&
                    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
                    ++saved;
                } else {
                    ++failed;
                }
            }
            ++done;
            ReportProgress(done, copies.size(), generation, last);
        }
        QString status =
            tr("%1 pictures saved under %2").arg(saved).arg(QString::fromStdString(target));
        if (failed > 0)
            status +=
                tr("; %1 could not be saved (no longer in the log, or not writable)").arg(failed);
        if (cancelled)
            status += tr("; cancelled");
        QMetaObject::invokeMethod(
            this,
            [this, status, generation] {
                if (generation == m_longGeneration)
                    EndLongTask(status);
            },
            Qt::QueuedConnection);
    });
}
