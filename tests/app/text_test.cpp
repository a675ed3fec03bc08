// The window's text conversions, the display form, the hand-over from a worker thread, and
// how the boxes colour and wrap what they show.
#include <QtTest>
#include <QtWidgets>
#include <future>

#include "app/box_look.h"
#include "app/display_form.h"
#include "app/latest_text_relay.h"
#include "app/request_text.h"
#include "app/xml_highlighter.h"
#include "session/request_text.h"

namespace {
const DisplayBounds kSmall{10, 100, "the traffic log"};

std::string Marker(std::size_t count) {
    return OmissionMarker(count, "the traffic log");
}

// Which of the highlighter's colours the character at (line, column) has; "plain" for none.
QString ColourAt(const XmlHighlighter& h, const QTextDocument& doc, int line, int column) {
    const QTextBlock block = doc.findBlockByNumber(line);
    const std::pair<const char*, const QTextCharFormat*> named[] = {
        {"tag", &h.TagFormat()},         {"attr", &h.AttributeFormat()},
        {"value", &h.ValueFormat()},     {"cdata", &h.CDataFormat()},
        {"comment", &h.CommentFormat()}, {"pi", &h.InstructionFormat()},
        {"marker", &h.MarkerFormat()}};
    for (const QTextLayout::FormatRange& range : block.layout()->formats()) {
        if (column < range.start || column >= range.start + range.length)
            continue;
        for (const auto& [name, format] : named) {
            if (range.format == *format)
                return QString::fromLatin1(name);
        }
        return QStringLiteral("other");
    }
    return QStringLiteral("plain");
}
}  // namespace

class TextTest : public QObject {
    Q_OBJECT
  private slots:
    void lineEndsBecomeCrLf() {
        QCOMPARE(WithCrLfLineEnds(std::string("a\nb\r\nc\rd\n\n\r\r\n\0", 14)),
                 std::string("a\r\nb\r\nc\r\nd\r\n\r\n\r\n\r\n\0", 19));
        QCOMPARE(EditedTextToRequestBytes(QStringLiteral("P\n\u00e9")),
                 std::string("P\r\n\xc3\xa9"));
    }

    void displayFormCutsLongLinesAndLongTexts() {
        QCOMPARE(Marker(412345),
                 std::string(" ... [412,345 more bytes; the traffic log holds all]"));
        QCOMPARE(OmissionMarker(1, nullptr), std::string(" ... [1 more byte]"));
        const struct {
            const char* name;
            std::string text;
            DisplayBounds bounds;
            std::string shown;  // empty: the text itself
        } rows[] = {
            {"line of the bound", "0123456789", kSmall, ""},
            {"CR LF, empty lines", "012345678\r\n0123456789\n\n\nabc", kSmall, ""},
            {"total of the bound", std::string(100, '\n'), kSmall, ""},
            {"NUL", std::string("a\0b\n", 4), kSmall, ""},
            {"no bounds", std::string(3000, 'x'), DisplayBounds{}, ""},
            {"long lines",
             "head\r\n" + std::string(25, 'A') + "\nmid\n" + std::string(11, 'B') + "\r\n" +
                 std::string(40, 'C'),
             DisplayBounds{10, 1000, "the traffic log"},
             "head\r\n" + std::string(10, 'A') + Marker(15) + "\nmid\n" + std::string(10, 'B') +
                 Marker(2) + "\n" + std::string(10, 'C') + Marker(30)},
            {"total one over", std::string(101, '\n'), kSmall, std::string(100, '\n') + Marker(1)},
            {"cut line at the end", std::string(95, '\n') + std::string(30, 'z') + "\nend", kSmall,
             std::string(95, '\n') + "zzzzz" + Marker(29)},
            {"UTF-8 at the total", std::string(99, '\n') + "\xe5\xbc\xa0tail", kSmall,
             std::string(99, '\n') + Marker(7)},
            {"broken UTF-8", std::string(30, '\x80'), kSmall, std::string(10, '\x80') + Marker(20)},
        };
        for (const auto& row : rows) {
            const std::string& shown = row.shown.empty() ? row.text : row.shown;
            QVERIFY2(DisplayFormBytes(row.text, row.bounds) == shown, row.name);
            QVERIFY2(FitsDisplayBounds(row.text, row.bounds) == (shown == row.text), row.name);
        }
        QCOMPARE(DisplayForm("\xe5\xbc\xa0 ok", kSmall), QStringLiteral("\u5f20 ok"));
    }

    void aUtf8SequenceIsNeverCut() {
        for (const std::string sequence : {"\xc3\xa9", "\xe5\xbc\xa0", "\xf0\x9f\x98\x80"}) {
            for (std::size_t lead = 7; lead <= 10; ++lead) {
                const std::string line = std::string(lead, 'a') + sequence + std::string(20, 'b');
                // A sequence across the cut goes whole to the hidden part.
                const std::size_t kept = lead < 10 && lead + sequence.size() > 10 ? lead : 10;
                QCOMPARE(DisplayFormBytes(line, kSmall),
                         line.substr(0, kept) + Marker(line.size() - kept));
            }
        }
    }

    void highlighterColoursMarkupAndCarriesOpenPartsToTheNextLine() {
        QPlainTextEdit box;  // the box's own way of setting text is what the window uses
        XmlHighlighter h(box.document());
        const QTextDocument& doc = *box.document();
        const std::string cut = "<e>AAAA" + Marker(1234);
        box.setPlainText(QString::fromStdString(
            "<?xml version=\"1.0\"?>\n"
            "<a b=\"x>y\" c='1'>text &amp; more</a>\n"
            "<!-- one\n"
            "two --><b/>\n"
            "<c d=\"multi\n"
            "line\">x</c>\n"
            "<![CDATA[ <no> ]]> < lone\n"
            "<!-->inside\n"
            "-->out\n" +
            cut + "\n<f g=\"cut" + OmissionMarker(5, nullptr) + "\nafter\n"));
        const struct {
            int line, column;
            const char* colour;
        } rows[] = {{0, 0, "pi"},      {0, 20, "pi"},     {1, 1, "tag"},    {1, 3, "attr"},
                    {1, 5, "value"},   {1, 7, "value"},   {1, 9, "value"},  {1, 15, "value"},
                    {1, 16, "tag"},    {1, 17, "plain"},  {1, 32, "tag"},   {2, 5, "comment"},
                    {3, 0, "comment"}, {3, 5, "comment"}, {3, 8, "tag"},    {4, 6, "value"},
                    {5, 0, "value"},   {5, 4, "value"},   {5, 5, "tag"},    {5, 6, "plain"},
                    {6, 10, "cdata"},  {6, 18, "plain"},  {6, 20, "plain"}, {7, 5, "comment"},
                    {8, 0, "comment"}, {8, 3, "plain"},   {9, 1, "tag"},    {9, 4, "plain"},
                    {9, 8, "marker"},  {10, 3, "attr"},   {10, 7, "value"}, {10, 10, "marker"},
                    {11, 0, "plain"}};
        for (const auto& row : rows) {
            QCOMPARE(QStringLiteral("%1:%2 ").arg(row.line).arg(row.column) +
                         ColourAt(h, doc, row.line, row.column),
                     QStringLiteral("%1:%2 %3").arg(row.line).arg(row.column).arg(row.colour));
        }
    }

    void boxesHighlightAndWrapAtWordsOnlyWhatFitsTheDisplayBounds() {
        QPlainTextEdit box;
        BoxLook look(&box);
        const QString xml = QStringLiteral("<a b=\"1\">text</a>\n").repeated(100);
        const QString wide = QString(kLookLineChars + 1, QLatin1Char('x'));
        const struct {
            QString text;
            bool highlighted;
        } rows[] = {{QString(), false},
                    {xml, true},
                    {wide, false},
                    {QString(kLookLineChars, QLatin1Char('x')), true},
                    {xml.repeated(kLookTextChars / xml.size() + 1), false}};
        for (const auto& row : rows) {
            look.SetText(row.text);
            QCOMPARE(look.Highlighted(), row.highlighted);
            QCOMPARE(box.wordWrapMode(), row.highlighted ? QTextOption::WrapAtWordBoundaryOrAnywhere
                                                         : QTextOption::WrapAnywhere);
        }
        // Edits move the box across the bounds both ways.
        look.SetText(xml);
        box.moveCursor(QTextCursor::End);
        box.insertPlainText(wide);
        QVERIFY(!look.Highlighted());
        box.undo();
        QTRY_VERIFY(look.Highlighted());
    }

    void relayCopiesTheViewAndDeliversTheNewestAfterARest() {
        LatestTextRelay relay(nullptr, 300, DisplayBounds{});
        QSignalSpy spy(&relay, &LatestTextRelay::delivered);
        std::string buffer = "HTTP/1.1 200 OK\nPOST /next";  // a receive buffer, then reused
        relay.Post(std::string_view(buffer).substr(0, 15));
        buffer.replace(0, buffer.size(), buffer.size(), 'X');
        QTRY_COMPARE(spy.count(), 1);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("HTTP/1.1 200 OK"));
        // Posts return while this thread waits for the worker.
        auto done = std::async(std::launch::async, [&relay] {
            for (int i = 1; i <= 500; ++i)
                relay.Post("text " + std::to_string(i));
        });
        QCOMPARE(done.wait_for(std::chrono::seconds(20)), std::future_status::ready);
        QTRY_COMPARE(spy.count(), 2);  // the newest only, after a rest
        QVERIFY(timer.elapsed() >= 250);
        QCOMPARE(spy.at(1).at(0).toString(), QStringLiteral("text 500"));
        QTest::qWait(400);
        QCOMPARE(relay.Deliveries(), 2);  // nothing left over
    }
};

QTEST_MAIN(TextTest)
#include "text_test.moc"
