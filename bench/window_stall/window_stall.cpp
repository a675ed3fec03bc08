// How long the window's thread stalls while it shows what the device sends, with the boxes
// highlighting XML as they do for a user. The window runs as in a demo: the simulated device
// on 127.0.0.1 (its own thread), requests chosen in the module list and sent with their
// buttons. A 5 ms timer on the window's thread measures its event loop: the largest gap
// between two shots, minus the interval, is the largest stall. Two cases:
//   - events: a subscription delivers face-match events of about 1.2 MB, 20 a second, 10 s;
//     once with the window alone, once with the event browser open beside it, following the
//     newest row with its detail and thumbnails;
//   - short: "Short connect send" of a Get whose answer is 3 MB, shown cut in the response
//     box and whole as the paired pane's body, several times over;
//   - connect: "Long connect send" to a listener whose queue is full, so that the connect
//     hangs until its 10 s limit;
//   - cancel: "Short connect send" to a device that answers a byte a second, cancelled with
//     Escape after a second (the time from Escape to the shown outcome is printed too).
// It also prints what highlighting costs when a response box shows a full 128 KB display form
// (the box set and painted with its highlighter against a plain box, interleaved, fastest
// kept), and what highlighting and word wrap cost on the cut Base64 lines of events against
// a plain box wrapped anywhere.
#include <QApplication>
#include <QComboBox>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>

#include "app/answer_box.h"
#include "app/control_ids.h"
#include "app/demo_device.h"
#include "app/dialog_seam.h"
#include "app/display_form.h"
#include "app/dorvik_lurvane_dlg.h"
#include "app/event_browser.h"
#include "loop_gaps.h"
#include "request/http_post.h"
#include "support/test_support.h"

namespace {
constexpr int kIntervalMs = 5;
constexpr double kGoalMs = 50.0;
constexpr int kPerSecond = 20;
constexpr int kSeconds = 10;
constexpr int kEvents = kPerSecond * kSeconds;
// Three pictures of this size make a face-match event of about 1.2 MB (Base64 adds a third).
constexpr int kPictureBytes = 300 * 1024;
// Longest the events case may take before it is given up.
constexpr int kGiveUpMs = (kSeconds + 30) * 1000;
// The short case: the answer's size, and how many sends are measured.
constexpr int kAnswerBytes = 3 * 1024 * 1024;
constexpr int kShortSends = 5;
// Repetitions of each side of the highlighting measurement.
constexpr int kShowRepetitions = 15;

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
bool Choose(CDorvik_LurvaneDlg& window, const QString& module, const QString& item) {
    auto* combo = window.findChild<QComboBox*>(ControlName(ControlId::kModule));
    auto* list = window.findChild<QTableWidget*>(ControlName(ControlId::kInterfaceList));
    const int index = combo ? combo->findText(module) : -1;
    if (index < 0)
        return false;
    combo->setCurrentIndex(index);
    window.OnCbnSelchangeModule();
    for (int row = 0; row < list->rowCount(); ++row) {
        if (list->item(row, 0)->text() == item) {
            list->selectRow(row);
            window.OnClickInterfaceList();
            return true;
        }
    }
    return false;
}

// Measures the event loop of this thread from start() until the loop quits: the largest gap
// between two shots of a 5 ms timer, and how many gaps went over the goal. `poll` runs every
// 100 shots (about half a second) and quits the loop when it returns true.
class StallMeter {
  public:
    // `tick`, when given, runs every 20 shots (about 100 ms).
    void Run(QApplication& app, const std::function<bool()>& poll,
             const std::function<void()>& tick = {}) {
        gaps_.Start([&](double gapMs) {
            if (gapMs - kIntervalMs > kGoalMs)
                ++over_;
            if (tick && (ticks_ + 1) % 20 == 0)
                tick();
            if (++ticks_ % 100 == 0 && poll())
                app.quit();
        });
        running_.start();
        app.exec();
        gaps_.Stop();
        runMs_ = running_.elapsed();
    }
    double StallMs() const { return gaps_.StallMs(); }
    int Ticks() const { return ticks_; }
    int Over() const { return over_; }
    qint64 RunMs() const { return runMs_; }
    qint64 ElapsedMs() const { return running_.elapsed(); }

  private:
    QElapsedTimer running_;
    LoopGaps gaps_{kIntervalMs};
    int ticks_ = 0;
    int over_ = 0;
    qint64 runMs_ = 0;
};

void PrintValue(const char* what, double ms, bool met) {
    std::printf("value %-58s %8.2f ms  goal <= %.0f ms: %s\n", what, ms, kGoalMs,
                met ? "met" : "NOT met");
}

// The events case, with the event browser following or without it; false when it could not
// run (the reason printed).
bool EventsCase(QApplication& app, const QTemporaryDir& folder, bool withBrowser, bool& met) {
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
        return false;
    }
    StallMeter meter;
    int shown = 0;
    int thumbnails = 0;
    long rssBefore = 0;
    long rssAfter = 0;
    {
        CDorvik_LurvaneDlg window(folder.path().toStdString());
        window.show();
        device.FillWindow(window);
        auto* box = window.findChild<QPlainTextEdit*>(ControlName(ControlId::kResult));
        if (!Choose(window, QStringLiteral("Subscribe"),
                    QStringLiteral("SUBSCRIBE_SetSubscribe_test"))) {
            std::fprintf(stderr, "window_stall: the subscription request is not listed\n");
            return false;
        }
        EventBrowser* browser = nullptr;
        if (withBrowser) {
            window.OnEvents();
            browser = window.Browser();
            QObject::connect(browser, &EventBrowser::thumbnailShown, [&] { ++thumbnails; });
        }
        QCoreApplication::processEvents();
        rssBefore = ResidentKb();
        window.OnLongSend();
        while (window.LongSendRunning())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::processEvents();  // the outcome, shown on this thread
        if (!window.LongConnected() || !DialogSeam::shownTexts().isEmpty()) {
            std::fprintf(stderr, "window_stall: the long send failed: %s\n",
                         qPrintable(DialogSeam::shownTexts().join(QStringLiteral("; "))));
            return false;
        }
        // The browser follows the newest row once it shows the newest row's detail.
        auto follow = [&] {
            auto* table = browser->findChild<QTableView*>(QStringLiteral("eventTable"));
            const int last = table->model()->rowCount() - 1;
            if (last >= 0 && table->currentIndex().row() != last && browser->Following())
                table->selectRow(last);
        };
        meter.Run(
            app,
            [&] {
                shown = std::max(shown, ShownFaceId(box));
                return shown >= kEvents || meter.ElapsedMs() > kGiveUpMs;
            },
            withBrowser ? std::function<void()>(follow) : std::function<void()>());
        rssAfter = ResidentKb();
        window.DisconnectLong();
    }
    const QString pictures = folder.filePath(QStringLiteral("pic"));
    std::printf("events%s: %d of about %.1f MB at %d a second\n",
                withBrowser ? ", the event browser following" : "", kEvents,
                3 * kPictureBytes * 4.0 / 3.0 / (1024 * 1024), kPerSecond);
    if (withBrowser)
        std::printf("  thumbnails shown in the browser: %d\n", thumbnails);
    std::printf("  newest event shown: %d of %d after %.1f s; %d pictures filed; log %.0f MB\n",
                shown, kEvents, meter.RunMs() / 1000.0, FilesBelow(pictures),
                QFileInfo(folder.filePath(QStringLiteral("ApiLog.txt"))).size() / 1048576.0);
    std::printf("  %d timer shots every %d ms; %d stalls over %.0f ms\n", meter.Ticks(),
                kIntervalMs, meter.Over(), kGoalMs);
    std::printf("  resident memory: %.1f MB before, %.1f MB after (%+.1f MB)\n", rssBefore / 1024.0,
                rssAfter / 1024.0, (rssAfter - rssBefore) / 1024.0);
    if (shown < kEvents)
        std::printf("  not every event arrived in time: the run does not count\n");
    // The browser shows a detail at most four times a second; at least one a second is asked.
    const bool thumbnailsShown = !withBrowser || thumbnails >= 3 * kSeconds;
    if (!thumbnailsShown)
        std::printf("  the browser showed thumbnails of fewer rows than one a second\n");
    met = meter.StallMs() <= kGoalMs && shown >= kEvents && thumbnailsShown;
    PrintValue(withBrowser ? "largest stall, subscribed, the event browser following"
                           : "largest stall of the window's thread, subscribed to the device",
               meter.StallMs(), met);
    return true;
}

// A window aimed at 127.0.0.1 with these ports, in long or short mode.
void AimWindow(CDorvik_LurvaneDlg& window, int longPort, int shortPort, bool shortMode) {
    const std::pair<int, QString> fields[] = {{ControlId::kIp, QStringLiteral("127.0.0.1")},
                                              {ControlId::kLongPort, QString::number(longPort)},
                                              {ControlId::kShortPort, QString::number(shortPort)}};
    for (const auto& [id, text] : fields)
        window.findChild<QLineEdit*>(ControlName(id))->setText(text);
    window
        .findChild<QRadioButton*>(
            ControlName(shortMode ? ControlId::kShortConnect : ControlId::kLongConnect))
        ->click();
}

// The connect case; false when it could not run.
bool ConnectCase(QApplication& app, const QTemporaryDir& folder, bool& met) {
    FullListener full;
    if (full.Port() == 0) {
        std::fprintf(stderr, "window_stall: no listener with a full queue\n");
        return false;
    }
    StallMeter meter;
    QString outcome;
    {
        CDorvik_LurvaneDlg window(folder.path().toStdString());
        window.show();
        AimWindow(window, full.Port(), 1, false);
        QCoreApplication::processEvents();
        DialogSeam::clearShown();
        window.OnLongSend();
        meter.Run(app, [&] { return !window.LongSendRunning() || meter.ElapsedMs() > kGiveUpMs; });
        QCoreApplication::processEvents();
        outcome = DialogSeam::shownTexts().join(QStringLiteral("; "));
    }
    std::printf("connect: to a listener whose queue is full, given up after %.1f s (%s)\n",
                meter.RunMs() / 1000.0, qPrintable(outcome));
    met = meter.StallMs() <= kGoalMs && meter.RunMs() >= 9000;
    PrintValue("largest stall, a long connect hanging until its limit", meter.StallMs(), met);
    return true;
}

// The cancel case; false when it could not run.
bool CancelCase(QApplication& app, const QTemporaryDir& folder, bool& met) {
    TricklePeer device(std::chrono::seconds(1));
    StallMeter meter;
    qint64 cancelToShownMs = -1;
    QString strip;
    {
        CDorvik_LurvaneDlg window(folder.path().toStdString());
        window.show();
        AimWindow(window, 1, device.Port(), true);
        if (!Choose(window, QStringLiteral("System"), QStringLiteral("GetDeviceInfo"))) {
            std::fprintf(stderr, "window_stall: GetDeviceInfo is not listed\n");
            return false;
        }
        QElapsedTimer sinceEscape;
        QObject::connect(&window, &CDorvik_LurvaneDlg::shortSendFinished,
                         [&] { cancelToShownMs = sinceEscape.elapsed(); });
        window.findChild<QPushButton*>(ControlName(ControlId::kShortSend))->click();
        bool cancelled = false;
        meter.Run(app, [&] {
            if (!cancelled && meter.ElapsedMs() >= 1000) {
                cancelled = true;
                sinceEscape.start();
                QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                QCoreApplication::sendEvent(&window, &escape);
            }
            return cancelToShownMs >= 0 || meter.ElapsedMs() > kGiveUpMs;
        });
        strip =
            window.findChild<QWidget*>(QStringLiteral("resultStatus"))->property("text").toString();
    }
    std::printf(
        "cancel: a post to a device that answers a byte a second, Escape after 1 s: "
        "\"%s\" %lld ms after Escape\n",
        qPrintable(strip), static_cast<long long>(cancelToShownMs));
    met = meter.StallMs() <= kGoalMs && cancelToShownMs >= 0 && cancelToShownMs <= kGoalMs;
    PrintValue("largest stall, a short post cancelled", meter.StallMs(), met);
    return true;
}

// A setting of `bytes` bytes for a Set: many short XML lines, as a device's lists are.
std::string LargeSetting(std::size_t bytes) {
    std::string setting = "<config><osdList type=\"list\">\n";
    for (int i = 0; setting.size() < bytes; ++i) {
        setting += "\t<osd id=\"" + std::to_string(i) + "\"><text type=\"string\"><![CDATA[Gate " +
                   std::to_string(i % 97) + "]]></text><x type=\"uint32\">" +
                   std::to_string(i % 640) + "</x><enabled type=\"boolean\">true</enabled></osd>\n";
    }
    return setting + "</osdList></config>";
}

// The short case; false when it could not run (the reason printed). `answer` receives the
// answer of the last send, for the highlighting measurement.
bool ShortCase(QApplication& app, const QTemporaryDir& folder, bool& met, std::string& answer) {
    DemoDevice device;
    QString error;
    if (!device.Start(&error)) {
        std::fprintf(stderr, "window_stall: the simulated device cannot start: %s\n",
                     qPrintable(error));
        return false;
    }
    // The device's OSD setting grows to the answer's size; its Get then answers with it.
    const HttpOutcome set = HttpPost("127.0.0.1", std::to_string(device.ShortPort()),
                                     device.User().toStdString(), device.Password().toStdString(),
                                     "SetImageOsdConfig/1", LargeSetting(kAnswerBytes));
    if (!set.completed || set.status != 200) {
        std::fprintf(stderr, "window_stall: the large setting was not taken: %s\n",
                     set.error.c_str());
        return false;
    }
    StallMeter meter;
    int sends = 0;
    std::size_t shownBytes = 0;
    {
        CDorvik_LurvaneDlg window(folder.path().toStdString());
        window.show();
        device.FillWindow(window);
        window.findChild<QRadioButton*>(ControlName(ControlId::kShortConnect))->click();
        if (!Choose(window, QStringLiteral("Image"), QStringLiteral("GetImageOsdConfig"))) {
            std::fprintf(stderr, "window_stall: GetImageOsdConfig is not listed\n");
            return false;
        }
        auto* send = window.findChild<QPushButton*>(ControlName(ControlId::kShortSend));
        QObject::connect(&window, &CDorvik_LurvaneDlg::shortSendFinished, [&] { ++sends; });
        QCoreApplication::processEvents();
        int started = 0;
        meter.Run(app, [&] {
            // One send every half second: each is shown well before the next goes out.
            if (started == sends && started < kShortSends) {
                ++started;
                send->click();
            }
            return sends >= kShortSends || meter.ElapsedMs() > kGiveUpMs;
        });
        if (const auto bytes = window.AnswerBytes(ControlId::kResult)) {
            answer = *bytes;
            shownBytes = window.findChild<QPlainTextEdit*>(ControlName(ControlId::kResult))
                             ->toPlainText()
                             .toUtf8()
                             .size();
        }
    }
    std::printf(
        "short: %d sends of a Get answered with %.1f MB; %zu bytes shown, the paired "
        "pane holds it whole\n",
        sends, answer.size() / 1048576.0, shownBytes);
    std::printf("  %d timer shots every %d ms; %d stalls over %.0f ms\n", meter.Ticks(),
                kIntervalMs, meter.Over(), kGoalMs);
    const bool all = sends >= kShortSends && answer.size() >= kAnswerBytes;
    if (!all)
        std::printf("  not every answer arrived whole in time: the run does not count\n");
    met = meter.StallMs() <= kGoalMs && all;
    PrintValue("largest stall of the window's thread, short sends of 3 MB", meter.StallMs(), met);
    return true;
}

// Milliseconds to set a box's text, let the work it queued run (a highlighter that is
// attached anew colours the whole text in the next turn of the event loop) and paint it once.
double ShowMs(QPlainTextEdit& box, const std::function<void()>& set) {
    QElapsedTimer timer;
    timer.start();
    set();
    QCoreApplication::processEvents();
    box.viewport()->repaint();
    return timer.nsecsElapsed() / 1e6;
}

// Shows `text` (a full display form) in a response box as the window does, highlighted, and
// in a plain box that wraps as `plainWrap` says, interleaved; prints the highlighted time
// against the goal and the difference as a reference. False when the text is no full form.
bool ShowCost(const char* what, const char* cost, const QString& text,
              QTextOption::WrapMode plainWrap, bool& met) {
    if (text.size() < 120 * 1024) {
        std::fprintf(stderr, "window_stall: no full display form to show\n");
        return false;
    }
    // Both boxes as the window makes them: the same size and font.
    AnswerBox highlighted;
    QPlainTextEdit plain;
    for (QPlainTextEdit* box : {static_cast<QPlainTextEdit*>(&highlighted), &plain}) {
        box->resize(700, 300);
        box->show();
    }
    plain.setFont(highlighted.font());
    plain.setWordWrapMode(plainWrap);
    auto bytes = std::make_shared<const std::string>(text.toStdString());
    double fastestHighlighted = 1e9;
    double fastestPlain = 1e9;
    for (int i = 0; i < kShowRepetitions; ++i) {
        // Interleaved, so that both sides see the same state of the machine.
        highlighted.ClearAnswer();
        plain.clear();
        QCoreApplication::processEvents();
        fastestHighlighted =
            std::min(fastestHighlighted,
                     ShowMs(highlighted, [&] { highlighted.SetAnswer(bytes, text, true); }));
        fastestPlain = std::min(fastestPlain, ShowMs(plain, [&] { plain.setPlainText(text); }));
    }
    met = fastestHighlighted <= kGoalMs;
    std::printf("%s: %.0f KB in %lld lines\n", what, text.size() / 1024.0,
                static_cast<long long>(text.count(QLatin1Char('\n')) + 1));
    PrintValue((std::string("showing ") + what + ", highlighted").c_str(), fastestHighlighted, met);
    std::printf("value %-58s %8.2f ms  (reference, no goal)\n", cost,
                fastestHighlighted - fastestPlain);
    return true;
}

// A display form as events give it, full: XML around lines of Base64 cut at 2,000 bytes
// (here many small pictures, so that the form reaches its 128 KB).
QString EventDisplayForm() {
    const std::string picture(3000, 'Q');
    std::string events;
    while (events.size() < 256 * 1024) {
        events += "<config version=\"1.0\">\n\t<faceInfo>\n\t\t<snapImage type=\"string\">" +
                  picture +
                  "</snapImage>\n\t\t<similarity type=\"uint32\">87</similarity>\n"
                  "\t</faceInfo>\n</config>\n";
    }
    return DisplayForm(events, kLongResponseBounds);
}
}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const HttpLibrary http;
    QApplication app(argc, argv);
    DialogSeam::setAnswerMode(true);  // a failure records its message instead of blocking

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

    bool eventsMet = false;
    bool browserMet = false;
    bool shortMet = false;
    bool connectMet = false;
    bool cancelMet = false;
    bool xmlMet = false;
    bool linesMet = false;
    std::string answer;
    if (!EventsCase(app, folder, false, eventsMet) || !EventsCase(app, folder, true, browserMet) ||
        !ShortCase(app, folder, shortMet, answer) || !ConnectCase(app, folder, connectMet) ||
        !CancelCase(app, folder, cancelMet) ||
        !ShowCost("a full 128 KB display", "highlighting cost of a full 128 KB display",
                  DisplayForm(answer, kShortAnswerBounds),
                  QTextOption::WrapAtWordBoundaryOrAnywhere, xmlMet) ||
        !ShowCost("a 128 KB display of cut Base64 lines",
                  "cost of highlighting and word wrap on cut 2,000-byte lines", EventDisplayForm(),
                  QTextOption::WrapAnywhere, linesMet))
        return 2;
    return eventsMet && browserMet && shortMet && connectMet && cancelMet && xmlMet && linesMet ? 0
                                                                                                : 1;
}
