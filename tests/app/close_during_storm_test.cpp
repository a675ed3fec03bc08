// Closing the window while the device pushes events as fast as it can: the window is gone
// within 200 ms, the connection is closed, and the traffic log holds exactly the start of what
// the device sent.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QtTest>
#include <atomic>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "window_fixture.h"

using namespace ControlId;

namespace {

std::string StormEvent() {
    // 24 KB of picture bytes in Base64, written out plainly.
    const std::string picture(32768, 'Q');
    const std::string body =
        "<?xml version=\"1.0\"?><config><smartType>VFD_MATCH</smartType><snapData><ImageData>"
        "<Base64Data>" +
        picture + "</Base64Data></ImageData></snapData></config>";
    return "POST /SendAlarmStatus HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nContent-Type: application/xml\r\n\r\n" + body;
}

// A device on 127.0.0.1 that pushes `event` over and over on the first connection, counting
// the bytes that it handed over, until the connection breaks or it is stopped.
class StormDevice {
  public:
    explicit StormDevice(std::string event) : event_(std::move(event)) {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof(address);
        if (listener_ >= 0 && bind(listener_, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            listen(listener_, 1) == 0 &&
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
            port_ = ntohs(address.sin_port);
        }
        thread_ = std::thread([this] { Run(); });
    }
    ~StormDevice() {
        stop_ = true;
        thread_.join();
        if (listener_ >= 0)
            close(listener_);
    }
    quint16 port() const { return static_cast<quint16>(port_); }
    std::size_t sent() const { return sent_; }
    bool broken() const { return broken_; }
    const std::string& event() const { return event_; }

  private:
    void Run() {
        pollfd waiting{listener_, POLLIN, 0};
        if (poll(&waiting, 1, 10000) != 1)
            return;
        const int peer = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        std::size_t at = 0;
        while (!stop_ && peer >= 0) {
            pollfd writable{peer, POLLOUT, 0};
            if (poll(&writable, 1, 50) != 1)
                continue;
            const ssize_t n = send(peer, event_.data() + at, event_.size() - at, MSG_NOSIGNAL);
            if (n <= 0) {
                broken_ = true;
                break;
            }
            sent_ += static_cast<std::size_t>(n);
            at = (at + static_cast<std::size_t>(n)) % event_.size();
        }
        if (peer >= 0)
            close(peer);
    }

    std::string event_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> broken_{false};
    std::atomic<std::size_t> sent_{0};
    std::thread thread_;
};

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

class CloseDuringStormTest : public QObject {
    Q_OBJECT
  private slots:
    void closingDuringAPushStormTakesUnder200Milliseconds();
};

void CloseDuringStormTest::closingDuringAPushStormTakesUnder200Milliseconds() {
    TempProgramFolder folder;
    StormDevice device(StormEvent());
    QVERIFY(device.port() != 0);
    auto w = OpenWindow(folder.path());
    QVERIFY(w);
    TypeIntoField(w.get(), kIp, QStringLiteral("127.0.0.1"));
    TypeIntoField(w.get(), kLongPort, QString::number(device.port()));
    Click(Button(w.get(), kLongSend));
    // Let the storm run until a good number of events went over and pictures were filed.
    QTRY_VERIFY_WITH_TIMEOUT(device.sent() > 40 * device.event().size(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!QDir(QString::fromStdString(folder.path() + "/pic/VFD_MATCH"))
                                  .entryList(QDir::Files)
                                  .isEmpty(),
                             10000);

    QElapsedTimer timer;
    timer.start();
    w->close();
    w.reset();
    const qint64 took = timer.elapsed();
    QVERIFY2(took < 200, qPrintable(QStringLiteral("closing took %1 ms").arg(took)));
    QTRY_VERIFY_WITH_TIMEOUT(device.broken(), 5000);

    // The log was closed with the window: it is the start of the pushed stream, byte for byte.
    const std::string log = FileBytes(folder.path() + "/ApiLog.txt");
    QVERIFY(log.size() > device.event().size());
    QVERIFY(log.size() <= device.sent());
    const std::string& event = device.event();
    for (std::size_t i = 0; i < log.size(); i += event.size()) {
        const std::size_t n = std::min(event.size(), log.size() - i);
        QVERIFY2(log.compare(i, n, event, 0, n) == 0, qPrintable(QString::number(i)));
    }
}

QTEST_MAIN(CloseDuringStormTest)
#include "close_during_storm_test.moc"
