// The window's event loop while a loopback peer pushes face-match events of about 1.2 MB,
// 20 a second for 10 seconds, into its long connection. A precise timer on the window's thread
// measures the longest time between two of its ticks: the longest stall.

#include <dirent.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "app/control_ids.h"
#include "app/dialog_seam.h"
#include "app/dorvik_lurvane_dlg.h"
#include "bench/bench_inputs.h"
#include "bench/goal_report.h"
#include "bench/loopback_peer.h"

namespace {

constexpr std::size_t kPictureBytes = 300 * 1024;
constexpr int kPerSecond = 20;
constexpr int kSeconds = 10;

// Pictures filed for face-match events in the program folder.
int CountPictures(const std::string& folder) {
    int pictures = 0;
    if (DIR* dir = opendir((folder + "/pic/VFD_MATCH").c_str())) {
        while (const dirent* entry = readdir(dir)) {
            pictures += entry->d_name[0] != '.' ? 1 : 0;
        }
        closedir(dir);
    }
    return pictures;
}

void SetField(QWidget* window, int id, const QString& text) {
    if (auto* field = window->findChild<QLineEdit*>(ControlName(id))) {
        field->setText(text);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    DialogSeam::setAnswerMode(true);  // a failed connect records its text instead of blocking

    char pattern[] = "/tmp/tessaly-window-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::fprintf(stderr, "no scratch folder under /tmp\n");
        return 2;
    }
    const std::string folder = pattern;
    LoopbackListener listener;
    if (!listener.Listen()) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
        return 2;
    }

    const std::string message = EventMessage(FaceMatchBody(kPictureBytes));
    std::atomic<bool> stop{false};
    std::atomic<int> pushedAt{0};
    std::thread device([&] {
        const int peer = listener.Accept(10000);
        if (peer < 0) {
            return;
        }
        pushedAt = 1;
        PushMessages(peer, message, kPerSecond * kSeconds, kPerSecond, &stop);
        pushedAt = 2;
        char byte;
        while (!stop.load() && recv(peer, &byte, 1, 0) > 0) {  // until the window hangs up
        }
        close(peer);
    });

    int stallMs = -1;
    int ticks = 0;
    {
        CDorvik_LurvaneDlg window(folder);
        window.show();
        SetField(&window, ControlId::kIp, QStringLiteral("127.0.0.1"));
        SetField(&window, ControlId::kLongPort, QString::number(listener.Port()));

        QElapsedTimer sinceTick;
        QElapsedTimer running;
        qint64 longest = 0;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            if (sinceTick.isValid()) {
                longest = std::max(longest, sinceTick.restart());
            } else {
                sinceTick.start();
            }
            ++ticks;
            // Once everything is sent, end when the last event's pictures are filed.
            if ((pushedAt.load() == 2 && ticks % 25 == 0 &&
                 CountPictures(folder) == 3 * kPerSecond * kSeconds) ||
                running.elapsed() > (kSeconds + 20) * 1000) {
                app.quit();
            }
        });
        window.OnLongSend();  // the editor is empty: connects and sends nothing
        if (!window.LongConnected()) {
            std::fprintf(stderr, "the window did not connect\n");
            stop = true;
        } else {
            running.start();
            ticker.start(2);
            app.exec();
            ticker.stop();
            stallMs = static_cast<int>(longest);
        }
        stop = true;
        window.DisconnectLong();
    }
    device.join();
    // The window must really have taken the events in.
    const int pictures = CountPictures(folder);
    RemoveFilesBelow(folder);
    for (const char* sub : {"/pic/VFD_MATCH", "/pic", ""}) {
        rmdir((folder + sub).c_str());
    }
    std::printf(
        "%d ticks of the window's timer while %d events of %zu bytes arrived; %d pictures "
        "filed\n",
        ticks, kPerSecond * kSeconds, message.size(), pictures);
    if (pictures != 3 * kPerSecond * kSeconds) {
        std::fprintf(stderr, "the window did not file every picture\n");
        stallMs = -1;
    }
    GoalReport report;
    report.ValueAtMost("longest stall of the window's event loop", stallMs < 0 ? 1e9 : stallMs,
                       50.0, "ms");
    return report.Print() == 0 ? 0 : 1;
}
