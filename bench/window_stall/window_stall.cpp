// How long the window's thread stalls while a subscription delivers face-match events of
// about 1.2 MB, 20 a second for 10 seconds: once with the window alone, once with the event
// browser open beside it, following the newest row with its detail and thumbnails. The window
// runs as in a demo: the simulated device on 127.0.0.1 (its own thread), the subscription
// chosen in the module list and sent with "Long connect send". A 5 ms timer on the window's
// thread measures its event loop: the largest gap between two shots, minus the interval, is
// the largest stall.
#include <QApplication>
#include <QComboBox>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/control_ids.h"
#include "app/demo_device.h"
#include "app/dialog_seam.h"
#include "app/dorvik_lurvane_dlg.h"
#include "app/event_browser.h"

namespace {
constexpr int kIntervalMs = 5;
constexpr double kGoalMs = 50.0;
constexpr int kPerSecond = 20;
constexpr int kSeconds = 10;
constexpr int kEvents = kPerSecond * kSeconds;
// Three pictures of this size make a face-match event of about 1.2 MB (Base64 adds a third).
constexpr int kPictureBytes = 300 * 1024;
// Longest the run may take before it is given up.
constexpr int kGiveUpMs = (kSeconds + 30) * 1000;

const char kSubscribe[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n"
    "<config version=\"1.0\" xmlns=\"http://tessaly.invalid/ver10\">\n"
    "\t<subscribeFlag>BASE_SUBSCRIBE</subscribeFlag>\n"
    "\t<subscribeList type=\"list\" count=\"1\">\n"
    "\t\t<item>VFD_MATCH</item>\n"
    "\t</subscribeList>\n"
    "</config>\n";

// Resident memory of this process in kilobytes; 0 when unknown.
long ResidentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = status.readAll();
    const qsizetype at = text.indexOf("VmRSS:");
    if (at < 0)
        return 0;
    return text.mid(at + 6, text.indexOf('\n', at) - at - 6).trimmed().split(' ').first().toLong();
}

// The number of the newest face-match event that the response box shows; 0 when none.
int ShownFaceId(const QPlainTextEdit* box) {
    static const QRegularExpression faceId(QStringLiteral("<faceId type=\"uint32\">(\\d+)<"));
    const QRegularExpressionMatch match = faceId.match(box->toPlainText());
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

int FilesBelow(const QString& folder) {
    int count = 0;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++count;
    }
    return count;
}

// Chooses the module and clicks the list row as a user would; false when either is missing.
bool ChooseSubscription(CDorvik_LurvaneDlg& window) {
    auto* combo = window.findChild<QComboBox*>(ControlName(ControlId::kModule));
    auto* list = window.findChild<QTableWidget*>(ControlName(ControlId::kInterfaceList));
    const int module = combo ? combo->findText(QStringLiteral("Subscribe")) : -1;
    if (module < 0)
        return false;
    combo->setCurrentIndex(module);
    window.OnCbnSelchangeModule();
    for (int row = 0; row < list->rowCount(); ++row) {
        if (list->item(row, 0)->text() == QLatin1String("SUBSCRIBE_SetSubscribe_test")) {
            list->selectRow(row);
            window.OnClickInterfaceList();
            return true;
        }
    }
    return false;
}
// One run of kSeconds against a device of its own; prints its figures and returns whether
// the goal was met (or -1 when the run could not be made).
int Run(QApplication& app, bool withBrowser) {
    QTemporaryDir folder;
    QFile request(folder.filePath(QStringLiteral("protocol_long/Subscribe")) +
                  QStringLiteral("/SUBSCRIBE_SetSubscribe_test.xml"));
    if (!folder.isValid() ||
        !QDir().mkpath(folder.filePath(QStringLiteral("protocol_long/Subscribe"))) ||
        !request.open(QIODevice::WriteOnly) || request.write(kSubscribe) < 0) {
        std::fprintf(stderr, "window_stall: no scratch folder\n");
        return -1;
    }
    request.close();

    SimulatorOptions options = DemoDevice::DemoOptions();
    options.eventRate = kPerSecond;
    options.eventCount = kEvents;
    options.kinds = {QStringLiteral("VFD_MATCH")};
    options.pictureBytes = kPictureBytes;
    DemoDevice device(options);
    QString error;
    if (!device.Start(&error)) {
        std::fprintf(stderr, "window_stall: the simulated device cannot start: %s\n",
                     qPrintable(error));
        return -1;
    }

    double largestGapMs = 0;
    int ticks = 0;
    int over = 0;
    int shown = 0;
    int thumbnails = 0;
    long rssBefore = 0;
    long rssAfter = 0;
    qint64 runMs = 0;
    {
        CDorvik_LurvaneDlg window(folder.path().toStdString());
        window.show();
        device.FillWindow(window);
        auto* box = window.findChild<QPlainTextEdit*>(ControlName(ControlId::kResult));
        if (!ChooseSubscription(window)) {
            std::fprintf(stderr, "window_stall: the subscription request is not listed\n");
            return -1;
        }
        EventBrowser* browser = nullptr;
        if (withBrowser) {
            window.OnEvents();
            browser = window.Browser();
            QObject::connect(browser, &EventBrowser::thumbnailShown, [&] { ++thumbnails; });
        }
        QCoreApplication::processEvents();
        rssBefore = ResidentKb();

        QElapsedTimer running;
        QElapsedTimer sinceShot;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const double gapMs = sinceShot.nsecsElapsed() / 1e6;
            sinceShot.start();
            largestGapMs = std::max(largestGapMs, gapMs);
            if (gapMs - kIntervalMs > kGoalMs)
                ++over;
            ++ticks;
            // The browser follows the newest row once it shows the newest row's detail.
            if (browser != nullptr && ticks % 20 == 0) {
                auto* table = browser->findChild<QTableView*>(QStringLiteral("eventTable"));
                const int last = table->model()->rowCount() - 1;
                if (last >= 0 && table->currentIndex().row() != last && browser->Following())
                    table->selectRow(last);
            }
            // Every 100 shots (about half a second) see how far the events have come.
            if (ticks % 100 == 0)
                shown = std::max(shown, ShownFaceId(box));
            if (shown >= kEvents || running.elapsed() > kGiveUpMs)
                app.quit();
        });
        window.OnLongSend();
        if (!window.LongConnected() || !DialogSeam::shownTexts().isEmpty()) {
            std::fprintf(stderr, "window_stall: the long send failed: %s\n",
                         qPrintable(DialogSeam::shownTexts().join(QStringLiteral("; "))));
            return -1;
        }
        running.start();
        sinceShot.start();
        ticker.start(kIntervalMs);
        app.exec();
        ticker.stop();
        runMs = running.elapsed();
        rssAfter = ResidentKb();
        window.DisconnectLong();
    }

    const double stallMs = std::max(0.0, largestGapMs - kIntervalMs);
    const QString pictures = folder.filePath(QStringLiteral("pic"));
    std::printf("window stall%s: %d events of about %.1f MB at %d a second\n",
                withBrowser ? ", the event browser following" : "", kEvents,
                3 * kPictureBytes * 4.0 / 3.0 / (1024 * 1024), kPerSecond);
    std::printf("  newest event shown: %d of %d after %.1f s; %d pictures filed; log %.0f MB\n",
                shown, kEvents, runMs / 1000.0, FilesBelow(pictures),
                QFileInfo(folder.filePath(QStringLiteral("ApiLog.txt"))).size() / 1048576.0);
    if (withBrowser)
        std::printf("  thumbnails shown in the browser: %d\n", thumbnails);
    std::printf("  %d timer shots every %d ms; %d stalls over %.0f ms\n", ticks, kIntervalMs, over,
                kGoalMs);
    std::printf("  resident memory: %.1f MB before, %.1f MB after (%+.1f MB)\n", rssBefore / 1024.0,
                rssAfter / 1024.0, (rssAfter - rssBefore) / 1024.0);
    if (shown < kEvents)
        std::printf("  not every event arrived in time: the run does not count\n");
    // The browser shows a detail at most four times a second; at least one a second is asked.
    const bool thumbnailsShown = !withBrowser || thumbnails >= 3 * kSeconds;
    if (!thumbnailsShown)
        std::printf("  the browser showed thumbnails of fewer rows than one a second\n");
    // One line in the form the benchmark summary collects.
    const bool met = stallMs <= kGoalMs && shown >= kEvents && thumbnailsShown;
    std::printf("value %-58s %8.2f ms  goal <= %.0f ms: %s\n",
                withBrowser ? "largest stall, subscribed, the event browser following"
                            : "largest stall of the window's thread, subscribed to the device",
                stallMs, kGoalMs, met ? "met" : "NOT met");
    return met ? 1 : 0;
}
}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    DialogSeam::setAnswerMode(true);  // a failure records its message instead of blocking
    const int alone = Run(app, false);
    const int withBrowser = Run(app, true);
    if (alone < 0 || withBrowser < 0)
        return 2;
    return alone == 1 && withBrowser == 1 ? 0 : 1;
}
