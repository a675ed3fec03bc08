#pragma once

#include <QCache>
#include <QElapsedTimer>
#include <QImage>
#include <QTextCursor>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/message_detail.h"
#include "app/picture_loading.h"
#include "session/traffic_rows.h"

class BackgroundWorker;
class EventRowModel;
class LiveTraffic;
class PictureViewer;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QVBoxLayout;
class QTableView;
class QTimer;
class QToolButton;
class RateGraph;

// The event browser: every message of the long connection since the program started (sent
// requests too), or the messages of a log opened again, with filters, a search, the detail of
// the selected message and its pictures. A separate window that can stay open beside the main
// window.
//
// Rows keep metadata only: a message's text is read back from its log when it is shown or
// searched, and pictures are decoded from their files or from the log's text into a bounded
// cache of thumbnails. All of that, and opening a log, runs off the window's thread; the window
// only ever receives small results.
class EventBrowser : public QWidget {
    Q_OBJECT
  public:
    // Thumbnails kept, in bytes of their pixels.
    static constexpr int kThumbnailCacheBytes = 64 * 1024 * 1024;
    // Largest side of a thumbnail, in pixels.
    static constexpr int kThumbnailSide = 160;

    // live must outlive the browser. parent: the main window (the browser stays usable while
    // it runs modally).
    explicit EventBrowser(LiveTraffic& live, QWidget* parent = nullptr);
    ~EventBrowser() override;

    // Lists the messages of the log at path (framed as the receive path framed them) instead of
    // the live ones; rows appear as they are found. A file that cannot be opened is said so.
    void OpenLog(const QString& path);
    // Back to the live connection's rows.
    void ShowLive();
    // True while a log is being indexed, a search runs or pictures are saved.
    bool LongTaskRunning() const;
    // The rows shown now (the live ones or the log's).
    const TrafficRows& Rows() const;
    // The log the shown rows lie in.
    std::string LogPath() const;
    // True while the view follows the newest row.
    bool Following() const { return m_following; }
    // Bytes of the thumbnails kept.
    int ThumbnailCacheBytes() const { return m_thumbnails.totalCost(); }

  signals:
    // The detail of the selected row is shown (text ready; pictures may follow).
    void detailShown();
    // A thumbnail of the selected row is shown.
    void thumbnailShown();
    // A log finished indexing, was cancelled or failed; a search or a save ended.
    void longTaskFinished();

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // Double-clicks on a Base64 placeholder of the detail expand or collapse it.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateControls();
    void ConnectControls();
    // Filters
    RowFilter CurrentFilter() const;
    void ApplyFilter();
    void RefreshTypes();
    // Rows arriving
    void OnRowsAdded(std::size_t from);
    void OnScrolled();
    void UpdateStatus();
    void UpdateGraph();
    void JumpToNewest();
    // Sources
    const TrafficRows* SourceRows() const;
    void SetSource(const TrafficRows* rows);
    void OnIndexBatch(std::vector<LogEntry> entries, std::uint64_t position, std::uint64_t size,
                      unsigned generation);
    void OnIndexDone(QString error, bool cancelled, unsigned generation);
    // Detail
    void OnSelectionChanged();
    void RequestDetail(std::size_t rowIndex);
    // What a detail job made for the window: the text decoded, where its placeholders start
    // and how long they are, and the rest of the detail.
    struct ShownDetail {
        QString text;
        std::vector<int> starts;
        std::vector<int> labels;
        std::vector<DetailText::Run> runs;
        QString problem;
        std::vector<PictureSource> pictures;
        QString header;
        std::string message;
    };
    void ShowDetail(std::size_t rowIndex, unsigned generation, ShownDetail& shown);
    void ShowThumbnail(unsigned generation, int index, QImage image, QString name, QString problem,
                       QString path);
    void ClearDetail(const QString& text);
    // On a worker thread: hands done/total to the progress bar, at most every 100 ms (`last`
    // keeps the time of the last report); dropped once another long job started.
    void ReportProgress(std::size_t done, std::size_t total, unsigned generation,
                        std::chrono::steady_clock::time_point& last);
    // The detail when no row is selected: what the pane will show.
    void ShowHelp();
    // The tile of picture `index`, made (hidden) when there is none yet.
    QToolButton* TileFor(std::size_t index);
    void ToggleRun(int run);
    void ExpandAllRuns();
    int RunAt(int position) const;
    void ShowDetailMenu(const QPoint& at);
    void OpenPicture(int index);
    void ShowPictureMenu(int index, const QPoint& at);
    // Search and saving
    void StartSearch();
    void SearchFrom(std::size_t from);
    void OnSearchDone(std::vector<std::uint32_t> found, std::size_t searchedTo, bool cancelled,
                      unsigned generation);
    void ClearSearch();
    void SavePictures(bool selectedOnly);
    void CancelLongTask();
    // Stops the long task without waiting for its end (its results are ignored).
    void AbandonLongTask();
    void BeginLongTask(const QString& what);
    // Ends the long task; a search waiting for it (or for rows that came meanwhile) goes on.
    void EndLongTask(const QString& status, bool searchGoesOn = true);

    LiveTraffic& m_live;
    std::unique_ptr<TrafficRows> m_logRows;  // the log opened again; null: live rows shown
    QString m_logPath;

    // Controls.
    QToolButton* m_openLog = nullptr;
    QToolButton* m_liveButton = nullptr;
    QToolButton* m_savePictures = nullptr;
    QLabel* m_source = nullptr;
    QCheckBox* m_kinds[5] = {};
    QLineEdit* m_search = nullptr;
    QPushButton* m_cancel = nullptr;
    QProgressBar* m_progress = nullptr;
    QTableView* m_table = nullptr;
    EventRowModel* m_model = nullptr;
    QListWidget* m_types = nullptr;
    RateGraph* m_graph = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_jump = nullptr;
    QLabel* m_detailHeader = nullptr;
    QLabel* m_detailProblem = nullptr;
    QPlainTextEdit* m_detailText = nullptr;
    QPushButton* m_expandAll = nullptr;
    QPushButton* m_copyMessage = nullptr;
    QCheckBox* m_indent = nullptr;
    QWidget* m_thumbStrip = nullptr;
    QVBoxLayout* m_thumbLayout = nullptr;
    QTimer* m_tick = nullptr;
    QTimer* m_detailTimer = nullptr;  // shows a detail asked for too soon after the last
    QElapsedTimer m_sinceDetail;
    PictureViewer* m_viewer = nullptr;

    // Following the newest row.
    bool m_following = true;
    std::size_t m_newSinceLeft = 0;  // rows shown that arrived while not following
    bool m_updatingTypes = false;
    bool m_filtering = false;  // the model is reset for another filter

    // The detail shown.
    std::size_t m_detailRow = SIZE_MAX;  // source row shown in the detail; SIZE_MAX none
    unsigned m_detailGeneration = 0;
    std::string m_detailMessage;  // the message's bytes (for Copy message)
    struct RunView {
        DetailText::Run run;
        QTextCursor cursor;  // selects the placeholder or the expanded text
        bool expanded = false;
    };
    std::vector<RunView> m_runs;
    std::vector<PictureSource> m_pictures;
    std::vector<QToolButton*> m_tiles;  // kept for the next detail; the first shown
    std::size_t m_shownTiles = 0;       // tiles of the detail shown
    struct CachedThumbnail {
        QImage image;
        QString caption;
        QString problem;
        QString path;
    };
    QCache<QString, CachedThumbnail> m_thumbnails;  // by source, row and picture
    unsigned m_sourceGeneration = 0;                // changes with the source: keys of the cache

    // The long task (indexing, search, saving) and the search's result.
    QString m_longTask;  // what runs; empty when nothing
    unsigned m_longGeneration = 0;
    std::vector<bool> m_matches;  // rows the search found, by row index
    bool m_searching = false;     // a search filter applies
    std::size_t m_searchedTo = 0;
    std::string m_searchText;

    // Last: joined before anything above goes.
    std::unique_ptr<BackgroundWorker> m_detailWorker;
    std::unique_ptr<BackgroundWorker> m_longWorker;
};
