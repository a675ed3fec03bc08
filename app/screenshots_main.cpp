// tessaly-screenshots: the pictures of the README, made from the real windows in a demo run.
// The window subscribes to the simulated device, a dozen events arrive, the event browser
// shows a face match with its pictures, and the picture viewer one of them; each window is
// grabbed into a PNG file in the folder given (docs/ by scripts/screenshots.sh). Run it under
// a display (xvfb-run); nothing leaves 127.0.0.1.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "app/control_ids.h"
#include "app/demo_device.h"
#include "app/dialog_seam.h"
#include "app/dorvik_lurvane_dlg.h"
#include "app/event_browser.h"
#include "app/event_row_model.h"
#include "app/picture_viewer.h"
#include "catalogue/program_folder.h"

namespace {

// Runs the event loop until `done` holds or `ms` pass; false on the time-out.
template <class Done>
bool WaitFor(Done done, int ms = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Lets the windows paint for a while.
void Settle(int ms = 400) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool Save(QWidget* window, const QString& file) {
    Settle();
    const bool saved = window->grab().save(file);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(file));
    return saved;
}

bool CopyFolder(const QString& from, const QString& to) {
    QDir source(from);
    if (!source.exists() || !QDir().mkpath(to))
        return false;
    for (const QFileInfo& entry :
         source.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString target = to + QLatin1Char('/') + entry.fileName();
        if (entry.isDir() ? !CopyFolder(entry.filePath(), target)
                          : !QFile::copy(entry.filePath(), target))
            return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs");
    DialogSeam::setAnswerMode(true);
    QTemporaryDir home;
    const QString program = QString::fromStdString(GetProgramFolder());
    if (!home.isValid() || !QDir().mkpath(out) ||
        !CopyFolder(program + QStringLiteral("/protocol_long"),
                    home.filePath(QStringLiteral("protocol_long")))) {
        std::fprintf(stderr, "tessaly-screenshots: no scratch folder or request files\n");
        return 2;
    }

    SimulatorOptions options = DemoDevice::DemoOptions();
    options.eventRate = 8;
    options.eventCount = 14;
    DemoDevice device(options);
    QString error;
    if (!device.Start(&error)) {
        std::fprintf(stderr, "tessaly-screenshots: the simulated device cannot start: %s\n",
                     qPrintable(error));
        return 2;
    }
    CDorvik_LurvaneDlg window(home.path().toStdString());
    window.show();
    device.FillWindow(window);
    auto* combo = window.findChild<QComboBox*>(ControlName(ControlId::kModule));
    auto* list = window.findChild<QTableWidget*>(ControlName(ControlId::kInterfaceList));
    combo->setCurrentIndex(combo->findText(QStringLiteral("Subscribe")));
    window.OnCbnSelchangeModule();
    for (int row = 0; row < list->rowCount(); ++row) {
        if (list->item(row, 0)->text() == QLatin1String("SUBSCRIBE_SetSubscribe_test")) {
            list->selectRow(row);
            window.OnClickInterfaceList();
        }
    }
    window.OnLongSend();
    window.OnEvents();
    EventBrowser* browser = window.Browser();
    auto* table = browser->findChild<QTableView*>(QStringLiteral("eventTable"));
    // The subscription, its answer and every event.
    if (!WaitFor([&] { return browser->Rows().Size() >= 2 + 14u; })) {
        std::fprintf(stderr, "tessaly-screenshots: the events did not arrive\n");
        return 1;
    }
    Settle(1200);
    bool ok = Save(&window, out + QStringLiteral("/main-window.png"));

    // A face match in the middle of the list, with its pictures.
    auto* model = static_cast<EventRowModel*>(table->model());
    int chosen = -1;
    for (int row = model->rowCount() - 1; row >= 0 && chosen < 0; --row) {
        const TrafficRow& r = browser->Rows().Row(model->RowIndex(row));
        if (r.kind == RowKind::Event && browser->Rows().SmartTypes()[r.smartType] == "VFD_MATCH" &&
            row < model->rowCount() - 3)
            chosen = row;
    }
    int thumbnails = 0;
    QObject::connect(browser, &EventBrowser::thumbnailShown, [&] { ++thumbnails; });
    table->selectRow(chosen);
    if (!WaitFor([&] { return thumbnails >= 3; }))
        std::fprintf(stderr, "tessaly-screenshots: the thumbnails did not show\n");
    ok = Save(browser, out + QStringLiteral("/event-browser.png")) && ok;

    // The first picture at full size.
    if (auto* tile = browser->findChild<QWidget*>(QStringLiteral("thumbnail0")))
        QMetaObject::invokeMethod(tile, "click");
    auto* viewer = browser->findChild<PictureViewer*>();
    if (viewer == nullptr ||
        !WaitFor([&] { return viewer->isVisible() && !viewer->Shown().image.isNull(); })) {
        std::fprintf(stderr, "tessaly-screenshots: the picture viewer did not show\n");
        return 1;
    }
    viewer->resize(820, 560);
    ok = Save(viewer, out + QStringLiteral("/picture-viewer.png")) && ok;
    viewer->close();

    // The same log read again, as after a restart of the tool.
    window.DisconnectLong();
    QFile::copy(home.filePath(QStringLiteral("ApiLog.txt")),
                home.filePath(QStringLiteral("captured.txt")));
    browser->OpenLog(home.filePath(QStringLiteral("captured.txt")));
    WaitFor([&] { return !browser->LongTaskRunning(); });
    table->selectRow(3);
    WaitFor([&] { return thumbnails >= 4; }, 5000);
    ok = Save(browser, out + QStringLiteral("/event-browser-log.png")) && ok;
    return ok ? 0 : 1;
}
