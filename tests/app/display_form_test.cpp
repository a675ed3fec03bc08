// The display form of the response boxes: long lines and long texts cut, everything else
// shown as it is.
#include "app/display_form.h"

#include <QSignalSpy>
#include <QtTest>
#include <thread>

#include "app/latest_text_relay.h"

namespace {
// Lines of the text split at LF (a text ending in LF ends with an empty line).
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t lf = text.find('\n', start);
        lines.push_back(
            text.substr(start, lf == std::string::npos ? std::string::npos : lf - start));
        if (lf == std::string::npos)
            return lines;
        start = lf + 1;
    }
}

bool ValidUtf8(const std::string& bytes) {
    const QByteArray raw(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return QString::fromUtf8(raw).toUtf8() == raw;
}

const DisplayBounds kSmall{10, 100, "the traffic log"};
}  // namespace

class DisplayFormTest : public QObject {
    Q_OBJECT
  private slots:
    void markerCountsWithThousands();
    void textsWithinTheBoundsStayAsTheyAre();
    void longLinesAreCutWithTheirMarker();
    void manyLinesEndAtTheTotalBound();
    void aUtf8SequenceIsNeverCut();
    void anEventOfFaceMatchSizeShrinksToItsShortLines();
    void relayDeliversTheDisplayForm();
};

void DisplayFormTest::markerCountsWithThousands() {
    QCOMPARE(OmissionMarker(412345, "the traffic log"),
             std::string(" ... [412,345 more bytes; the traffic log holds all]"));
    QCOMPARE(OmissionMarker(1, nullptr), std::string(" ... [1 more byte]"));
    QCOMPARE(OmissionMarker(999, ""), std::string(" ... [999 more bytes]"));
    QCOMPARE(OmissionMarker(1000, nullptr), std::string(" ... [1,000 more bytes]"));
    QCOMPARE(OmissionMarker(1234567890, nullptr), std::string(" ... [1,234,567,890 more bytes]"));
}

void DisplayFormTest::textsWithinTheBoundsStayAsTheyAre() {
    const std::string cases[] = {
        "",
        "0123456789",                        // a line of exactly the bound
        "012345678\r\n0123456789\n\n\nabc",  // CR LF, empty lines
        std::string(100, '\n'),              // exactly the total bound
        std::string("a\0b\n", 4),
    };
    for (const std::string& text : cases) {
        QVERIFY(FitsDisplayBounds(text, kSmall));
        QCOMPARE(DisplayFormBytes(text, kSmall), text);
    }
    // No bounds: anything goes through.
    const std::string big(300000, 'x');
    QCOMPARE(DisplayFormBytes(big, DisplayBounds{}), big);
    QCOMPARE(DisplayForm("\xe5\xbc\xa0 ok", kSmall), QStringLiteral("\u5f20 ok"));
    // One byte over either bound is not within them.
    QVERIFY(!FitsDisplayBounds("01234567890", kSmall));
    QVERIFY(!FitsDisplayBounds(std::string(101, '\n'), kSmall));
}

void DisplayFormTest::longLinesAreCutWithTheirMarker() {
    const DisplayBounds wide{10, 1000, "the traffic log"};
    const std::string text = "head\r\n" + std::string(25, 'A') + "\nmid\n" + std::string(11, 'B') +
                             "\r\n" + std::string(40, 'C');
    QCOMPARE(DisplayFormBytes(text, wide),
             "head\r\n" + std::string(10, 'A') + OmissionMarker(15, "the traffic log") + "\nmid\n" +
                 std::string(10, 'B') + OmissionMarker(2, "the traffic log") +  // the B and the CR
                 "\n" + std::string(10, 'C') + OmissionMarker(30, "the traffic log"));
    // Short-answer bounds name no holder.
    const std::string answer = std::string(2500, 'x') + "\n<end/>";
    QCOMPARE(DisplayFormBytes(answer, kShortAnswerBounds),
             std::string(2000, 'x') + " ... [500 more bytes]\n<end/>");
}

void DisplayFormTest::manyLinesEndAtTheTotalBound() {
    // 50 lines of 9 bytes plus LF: 500 bytes, all lines within the line bound.
    std::string text;
    for (int i = 0; i < 50; ++i)
        text += "line " + std::to_string(1000 + i) + "\n";
    const std::string shown = DisplayFormBytes(text, kSmall);
    // Ten whole lines fill the 100 bytes; the eleventh does not fit, nor does its first byte.
    QCOMPARE(shown, text.substr(0, 100) + OmissionMarker(400, "the traffic log"));

    // A cut line near the end: the marker counts every byte not shown.
    const std::string mixed = std::string(95, '\n') + std::string(30, 'z') + "\nend";
    QCOMPARE(DisplayFormBytes(mixed, kSmall),
             std::string(95, '\n') + "zzzzz" + OmissionMarker(29, "the traffic log"));

    // Empty lines alone cannot grow the text past the bound either.
    const std::string empty(5000, '\n');
    QCOMPARE(DisplayFormBytes(empty, kSmall),
             std::string(100, '\n') + OmissionMarker(4900, "the traffic log"));

    // Large bounds: the text stays near its bound.
    std::string log;
    while (log.size() < 1024 * 1024)
        log += "<item>" + std::to_string(log.size()) + "</item>\r\n";
    const std::string longShown = DisplayFormBytes(log, kLongResponseBounds);
    QVERIFY(longShown.size() <= kLongResponseBounds.totalBytes + 80);
    QVERIFY(longShown.size() >= kLongResponseBounds.totalBytes - 64);
    QCOMPARE(longShown.substr(0, 1000), log.substr(0, 1000));
    QVERIFY(longShown.find("holds all]") == longShown.size() - 10);
}

void DisplayFormTest::aUtf8SequenceIsNeverCut() {
    // "张" is three bytes, "é" two, "😀" four; each put across the cut at every offset.
    const std::string sequences[] = {"\xe5\xbc\xa0", "\xc3\xa9", "\xf0\x9f\x98\x80"};
    for (const std::string& sequence : sequences) {
        for (std::size_t lead = 7; lead <= 10; ++lead) {
            const std::string line = std::string(lead, 'a') + sequence + std::string(20, 'b');
            const std::string shown = DisplayFormBytes(line, kSmall);
            QVERIFY2(ValidUtf8(shown), shown.c_str());
            // A sequence across the cut goes whole to the hidden part.
            const bool across = lead < 10 && lead + sequence.size() > 10;
            const std::size_t kept = shown.find(" ... [");
            QCOMPARE(kept, across ? lead : std::size_t(10));
            QCOMPARE(shown.substr(kept), OmissionMarker(line.size() - kept, "the traffic log"));
            QCOMPARE(shown.substr(0, kept), line.substr(0, kept));
        }
    }
    // Same at the total bound.
    const std::string text = std::string(99, '\n') + "\xe5\xbc\xa0" + "tail";
    const std::string shown = DisplayFormBytes(text, kSmall);
    QCOMPARE(shown, std::string(99, '\n') + OmissionMarker(7, "the traffic log"));
    // Broken UTF-8 (continuation bytes only) is cut where the bound says.
    const std::string broken(30, '\x80');
    QCOMPARE(DisplayFormBytes(broken, kSmall).substr(0, 11), std::string(10, '\x80') + " ");
}

void DisplayFormTest::anEventOfFaceMatchSizeShrinksToItsShortLines() {
    // Three Base64 lines of 400 KB between short XML lines, as a face-match event carries.
    std::string event =
        "POST /SendAlarmStatus HTTP/1.1\r\nContent-Length: 1228800\r\n\r\n<?xml "
        "version=\"1.0\"?>\n";
    std::vector<std::string> expected = Lines(event);
    expected.pop_back();
    for (int picture = 0; picture < 3; ++picture) {
        std::string base64(400 * 1024, static_cast<char>('K' + picture));
        const std::string line = "\t\t\t<Base64Data type=\"string\">" + base64 + "</Base64Data>";
        event += line + "\n\t\t</ImageData>\n";
        expected.push_back(line.substr(0, 2000) +
                           OmissionMarker(line.size() - 2000, "the traffic log"));
        expected.push_back("\t\t</ImageData>");
    }
    event += "</config>\n";
    expected.push_back("</config>");
    expected.push_back("");
    const std::string shown = DisplayFormBytes(event, kLongResponseBounds);
    QVERIFY(shown.size() < 8000);
    QCOMPARE(Lines(shown), expected);
}

void DisplayFormTest::relayDeliversTheDisplayForm() {
    LatestTextRelay relay(nullptr, 0, kSmall);
    QSignalSpy spy(&relay, &LatestTextRelay::delivered);
    std::thread worker([&relay] { relay.Post("short\n" + std::string(12, 'y')); });
    worker.join();
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(),
             QStringLiteral("short\nyyyyyyyyyy ... [2 more bytes; the traffic log holds all]"));
}

QTEST_MAIN(DisplayFormTest)
#include "display_form_test.moc"
