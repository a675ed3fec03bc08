// Text conversions of the window and the hand-over of texts from a worker thread.
#include "app/request_text.h"

#include <QSignalSpy>
#include <QtTest>
#include <atomic>
#include <future>
#include <thread>

#include "app/latest_text_relay.h"

class RequestTextTest : public QObject {
    Q_OBJECT
  private slots:
    void lineEndsBecomeCrLf();
    void editedTextIsUtf8WithCrLf();
    void bodyIsWhatFollowsTheFirstBlankLine();
    void displayDecodesUtf8();
    void relayDeliversOnlyTheNewestText();
    void relayNeverWaitsForABusyReceiver();
    void relayRestsBetweenDeliveries();
};

void RequestTextTest::lineEndsBecomeCrLf() {
    QCOMPARE(WithCrLfLineEnds("a\nb\r\nc\rd\n\n"), std::string("a\r\nb\r\nc\r\nd\r\n\r\n"));
    QCOMPARE(WithCrLfLineEnds("\r\r\n"), std::string("\r\n\r\n"));
    QCOMPARE(WithCrLfLineEnds(std::string("x\0y", 3)), std::string("x\0y", 3));
    QCOMPARE(WithCrLfLineEnds(""), std::string());
}

void RequestTextTest::editedTextIsUtf8WithCrLf() {
    QCOMPARE(EditedTextToRequestBytes(QStringLiteral("POST / HTTP/1.1\n\n<a>\u00e9</a>")),
             std::string("POST / HTTP/1.1\r\n\r\n<a>\xc3\xa9</a>"));
    QString separated = QStringLiteral("a");
    separated += QChar::ParagraphSeparator;
    separated += QStringLiteral("b");
    QCOMPARE(EditedTextToRequestBytes(separated), std::string("a\r\nb"));
    QCOMPARE(EditedTextToRequestBytes(QString()), std::string());
}

void RequestTextTest::bodyIsWhatFollowsTheFirstBlankLine() {
    QCOMPARE(BodyAfterBlankLine("POST /x HTTP/1.1\r\nHost: h\r\n\r\n<a>\r\n\r\n</a>"),
             std::string("<a>\r\n\r\n</a>"));
    QCOMPARE(BodyAfterBlankLine("POST /x HTTP/1.1\r\n\r\n"), std::string());
    QCOMPARE(BodyAfterBlankLine("no blank line\r\nat all"), std::string());
    QCOMPARE(BodyAfterBlankLine("LF only\n\nbody"), std::string());
}

void RequestTextTest::displayDecodesUtf8() {
    QCOMPARE(BytesForDisplay("\xe5\xbc\xa0\xe4\xbc\x9f"), QStringLiteral("\u5f20\u4f1f"));
    QCOMPARE(BytesForDisplay(std::string("a\0b", 3)).size(), 3);
}

void RequestTextTest::relayDeliversOnlyTheNewestText() {
    LatestTextRelay relay;
    QSignalSpy spy(&relay, &LatestTextRelay::delivered);
    std::thread worker([&relay] {
        for (int i = 1; i <= 500; ++i)
            relay.Post("text " + std::to_string(i));
    });
    worker.join();
    // All 500 arrived before the receiver ran: one delivery, the newest text.
    QTRY_COMPARE(spy.count(), 1);
    QCoreApplication::processEvents();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("text 500"));

    // After a delivery the next text is posted again.
    relay.Post("later");
    QTRY_COMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(0).toString(), QStringLiteral("later"));
    QCOMPARE(relay.Deliveries(), 2);
}

void RequestTextTest::relayNeverWaitsForABusyReceiver() {
    // The receiving thread is blocked (it waits for the worker); the worker's posts must
    // still return, or the two threads would wait for each other.
    LatestTextRelay relay;
    QSignalSpy spy(&relay, &LatestTextRelay::delivered);
    const std::string big(1200 * 1024, 'B');
    auto done = std::async(std::launch::async, [&relay, &big] {
        for (int i = 0; i < 20; ++i)
            relay.Post(big + std::to_string(i));
    });
    QCOMPARE(done.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString().right(2), QStringLiteral("19"));
}

void RequestTextTest::relayRestsBetweenDeliveries() {
    LatestTextRelay relay(nullptr, 300);
    QSignalSpy spy(&relay, &LatestTextRelay::delivered);
    relay.Post("first");
    QTRY_COMPARE(spy.count(), 1);
    QElapsedTimer timer;
    timer.start();
    relay.Post("second");
    relay.Post("third");
    QTest::qWait(100);
    QCOMPARE(spy.count(), 1);  // resting
    QTRY_COMPARE(spy.count(), 2);
    QVERIFY(timer.elapsed() >= 250);
    QCOMPARE(spy.at(1).at(0).toString(), QStringLiteral("third"));
    QTest::qWait(400);
    QCOMPARE(spy.count(), 2);  // nothing left over
}

QTEST_MAIN(RequestTextTest)
#include "request_text_test.moc"
