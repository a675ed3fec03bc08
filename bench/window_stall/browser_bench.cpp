// The event browser with 100,000 rows: the resident memory they and the open browser take
// above the window without the browser (measured first, in the same run), the time a filter
// change takes over all of them, and the longest stall of the window's thread while the table
// is scrolled and rows are selected (their texts read back and thumbnails decoded meanwhile).
// Then a log of a million messages opened again: how soon its first rows show, and the longest
// stall while the rest is read.
//
// The rows come as the receive path reports them, for messages that lie in a log of small
// face-match events (three pictures each) written beforehand into /dev/shm (or
// $TESSALY_BENCH_DIR); the picture files are not there, so thumbnails are decoded from the log.
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QListWidget>
#include <QPainter>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "app/dialog_seam.h"
#include "app/dorvik_lurvane_dlg.h"
#include "app/event_browser.h"
#include "app/live_traffic.h"
#include "loop_gaps.h"

namespace {
constexpr int kRows = 100000;
constexpr double kMemoryGoalMb = 40;
constexpr double kFilterGoalMs = 100;
constexpr double kStallGoalMs = 50;
constexpr int kIntervalMs = 5;
constexpr int kScrollMs = 4000;
constexpr int kLogMessages = 1000000;
constexpr double kFirstRowsGoalMs = 1000;

double ResidentMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = status.readAll();
    const qsizetype at = text.indexOf("VmRSS:");
    return text.mid(at + 6, text.indexOf('\n', at) - at - 6)
               .trimmed()
               .split(' ')
               .first()
               .toDouble() /
           1024.0;
}

void Settle(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// A small JPEG picture as Base64.
QByteArray PictureBase64(int seed) {
    QImage image(96, 72, QImage::Format_RGB32);
    image.fill(QColor::fromHsv(seed * 40 % 360, 120, 220));
    QPainter(&image).drawText(image.rect(), Qt::AlignCenter, QString::number(seed));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 80);
    return buffer.data().toBase64();
}

void Value(const char* what, double value, double goal, const char* unit, bool met) {
    std::printf("value %-58s %8.2f %s  goal <= %.2f %s  %s\n", what, value, unit, goal, unit,
                met ? "met" : "NOT met");
}
}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    DialogSeam::setAnswerMode(true);
    const QString parent = qEnvironmentVariableIsEmpty("TESSALY_BENCH_DIR")
                               ? QStringLiteral("/dev/shm")
                               : qEnvironmentVariable("TESSALY_BENCH_DIR");
    QTemporaryDir folder(parent + QStringLiteral("/tessaly-browser-bench-XXXXXX"));
    if (!folder.isValid()) {
        std::fprintf(stderr, "browser bench: no scratch folder\n");
        return 2;
    }

    // The log; where each message lies in it is kept for the reports made later.
    struct Placed {
        std::uint64_t offset;
        std::uint32_t length;
        std::uint32_t fingerprint;
    };
    std::vector<Placed> placed;
    placed.reserve(kRows);
    {
        QFile log(folder.filePath(QStringLiteral("ApiLog.txt")));
        if (!log.open(QIODevice::WriteOnly))
            return 2;
        const QByteArray pictures[3] = {PictureBase64(1), PictureBase64(2), PictureBase64(3)};
        const char* const wrappers[3] = {"snapData", "albumData", "sourceData"};
        std::uint64_t offset = 0;
        for (int i = 0; i < kRows; ++i) {
            QByteArray body =
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<config>\n"
                "\t<smartType>VFD_MATCH</smartType>\n\t<faceId>" +
                QByteArray::number(i) + "</faceId>\n";
            for (int k = 0; k < 3; ++k)
                body += QByteArray("\t<") + wrappers[k] + "><ImageData><Base64Data>" + pictures[k] +
                        "</Base64Data></ImageData></" + wrappers[k] + ">\n";
            body += "</config>\n";
            const QByteArray message = "POST /SendAlarmStatus HTTP/1.1\r\nContent-Length: " +
                                       QByteArray::number(body.size()) + "\r\n\r\n" + body;
            log.write(message);
            placed.push_back({offset, static_cast<std::uint32_t>(message.size()),
                              LogFingerprint(message.constData(), message.size(), message.size())});
            offset += static_cast<std::uint64_t>(message.size());
        }
    }
    // The report the receive path makes of message i.
    const std::string pic = folder.path().toStdString() + "/pic/VFD_MATCH/";
    const std::int64_t start = QDateTime::currentMSecsSinceEpoch() - 3600 * 1000;
    auto report = [&](int i) {
        MessageReport made;
        made.kind = MessageKind::Event;
        made.complete = made.decoded = true;
        made.smartType = "VFD_MATCH";
        made.length = made.logLength = placed[i].length;
        made.logOffset = placed[i].offset;
        made.fingerprint = placed[i].fingerprint;
        made.timeMs = start + i * 30;
        made.firstNumber = i + 1;
        made.numbersDrawn = 1;
        for (const char* kind : {"snap", "album", "src"})
            made.pictures.push_back(pic + "2024-05-01-16-47-03_" + kind + "_id" +
                                    std::to_string(i + 1) + ".jpg");
        return made;
    };

    double windowMb = 0, rowsMb = 0, browserMb = 0, cacheMb = 0, filterMs = 0, stallMs = 0;
    {
        CDorvik_LurvaneDlg window(folder.path().toStdString());
        window.show();
        Settle(500);
        windowMb = ResidentMb();
        // As they arrive: a burst at a time, taken by the window in between.
        for (int i = 0; i < kRows; ++i) {
            window.Traffic().Inbox()->AddReport(report(i));
            if (i % 1000 == 999)
                QCoreApplication::processEvents();
        }
        Settle(300);
        rowsMb = ResidentMb();
        if (window.Traffic().Rows().Size() != static_cast<std::size_t>(kRows)) {
            std::fprintf(stderr, "browser bench: %zu rows arrived\n",
                         window.Traffic().Rows().Size());
            return 2;
        }

        window.OnEvents();
        EventBrowser* browser = window.Browser();
        Settle(500);
        auto* table = browser->findChild<QTableView*>(QStringLiteral("eventTable"));

        // Filter changes as the user makes them, each until it is painted.
        for (int round = 0; round < 3; ++round) {
            for (const char* name : {"kindEvents", "kindAnswers"}) {
                for (int flip = 0; flip < 2; ++flip) {
                    QElapsedTimer timer;
                    timer.start();
                    browser->findChild<QCheckBox*>(QString::fromLatin1(name))->click();
                    QCoreApplication::processEvents();
                    filterMs = std::max(filterMs, timer.nsecsElapsed() / 1e6);
                }
            }
            auto* types = browser->findChild<QListWidget*>(QStringLiteral("smartTypes"));
            for (Qt::CheckState state : {Qt::Unchecked, Qt::Checked}) {
                QElapsedTimer timer;
                timer.start();
                types->item(0)->setCheckState(state);
                QCoreApplication::processEvents();
                filterMs = std::max(filterMs, timer.nsecsElapsed() / 1e6);
            }
        }

        // Scrolling: jumps, pages and steps, a row selected now and then; a 5 ms timer
        // measures the gaps of the event loop meanwhile.
        QElapsedTimer running;
        LoopGaps gaps(kIntervalMs);
        QTimer scroller;
        int step = 0;
        QRandomGenerator random(7);
        QObject::connect(&scroller, &QTimer::timeout, [&] {
            QScrollBar* bar = table->verticalScrollBar();
            switch (step++ % 4) {
                case 0:
                    bar->setValue(static_cast<int>(random.bounded(bar->maximum() + 1)));
                    break;
                case 1:
                    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
                    break;
                case 2:
                    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
                    break;
                default: {
                    const QModelIndex row =
                        table->indexAt(QPoint(4, table->viewport()->height() / 2));
                    if (row.isValid())
                        table->selectRow(row.row());
                }
            }
        });
        gaps.Start();
        scroller.start(16);
        running.start();
        while (running.elapsed() < kScrollMs)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        gaps.Stop();
        scroller.stop();
        stallMs = gaps.StallMs();
        Settle(500);
        browserMb = ResidentMb();
        cacheMb = browser->ThumbnailCacheBytes() / 1048576.0;
    }

    // A log of a million small messages, answers and events in turn, opened again.
    double firstRowsMs = -1, logMs = 0, logStallMs = 0;
    std::size_t logRows = 0;
    {
        QFile log(folder.filePath(QStringLiteral("million.txt")));
        if (!log.open(QIODevice::WriteOnly))
            return 2;
        const QByteArray answer = "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\n<config/>";
        const QByteArray body =
            "<?xml version=\"1.0\"?><config><smartType>PEA</smartType></config>";
        const QByteArray event =
            "POST /SendAlarmStatus HTTP/1.1\r\nContent-Length: " + QByteArray::number(body.size()) +
            "\r\n\r\n" + body;
        QByteArray chunk;
        for (int i = 0; i < kLogMessages; ++i) {
            chunk += i % 2 == 0 ? answer : event;
            if (chunk.size() > 1 << 20) {
                log.write(chunk);
                chunk.clear();
            }
        }
        log.write(chunk);
        log.close();

        CDorvik_LurvaneDlg window(folder.path().toStdString());
        window.show();
        window.OnEvents();
        EventBrowser* browser = window.Browser();
        Settle(300);
        QElapsedTimer running;
        LoopGaps gaps(kIntervalMs);
        running.start();
        browser->OpenLog(log.fileName());
        gaps.Start([&](double) {
            if (firstRowsMs < 0 && browser->Rows().Size() > 0)
                firstRowsMs = running.nsecsElapsed() / 1e6;
        });
        while (browser->LongTaskRunning() && running.elapsed() < 120000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        gaps.Stop();
        logMs = running.elapsed();
        logStallMs = gaps.StallMs();
        logRows = browser->Rows().Size();
    }

    std::printf(
        "browser bench: %d rows; resident %.1f MB with the window, %.1f MB with the rows, "
        "%.1f MB with the browser open (thumbnails %.1f MB)\n",
        kRows, windowMb, rowsMb, browserMb, cacheMb);
    const double aboveMb = browserMb - windowMb - cacheMb;
    const bool memoryMet =
        aboveMb <= kMemoryGoalMb && cacheMb <= EventBrowser::kThumbnailCacheBytes / 1048576.0;
    Value("100,000 rows and the browser, above the window alone", aboveMb, kMemoryGoalMb, "MB",
          memoryMet);
    Value("a filter change over 100,000 rows, painted", filterMs, kFilterGoalMs, "ms",
          filterMs <= kFilterGoalMs);
    Value("largest stall of the window's thread while scrolling", stallMs, kStallGoalMs, "ms",
          stallMs <= kStallGoalMs);
    std::printf("browser bench: a log of %zu messages (%d written) read again in %.1f s\n", logRows,
                kLogMessages, logMs / 1000.0);
    const bool firstRowsMet = firstRowsMs >= 0 && firstRowsMs <= kFirstRowsGoalMs &&
                              logRows == static_cast<std::size_t>(kLogMessages);
    Value("first rows of a log of a million messages", firstRowsMs, kFirstRowsGoalMs, "ms",
          firstRowsMet);
    Value("largest stall of the window's thread while it is read", logStallMs, kStallGoalMs, "ms",
          logStallMs <= kStallGoalMs);
    return memoryMet && filterMs <= kFilterGoalMs && stallMs <= kStallGoalMs && firstRowsMet &&
                   logStallMs <= kStallGoalMs
               ? 0
               : 1;
}
