// The event browser against the simulated device, and captured logs opened again.
#include <QtWidgets>

#include "app/app_command_line.h"
#include "app/demo_device.h"
#include "app/event_browser.h"
#include "app/event_row_model.h"
#include "app/message_detail.h"
#include "app/picture_viewer.h"
#include "receive/message_framing.h"
#include "window_fixture.h"

namespace {
const char kSubscribeBody[] =
    "<config>\n<subscribeList><item>VFD_MATCH</item><item>PEA</item></subscribeList>\n</config>\n";
constexpr int kEvents = 6;

std::string Event(const std::string& body) {
    return "POST /SendAlarmStatus HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
}
}  // namespace

class BrowserTest : public QObject {
    Q_OBJECT
    TempFolder folder_;
    std::unique_ptr<DemoDevice> device_;
    std::unique_ptr<CDorvik_LurvaneDlg> window_;
    EventBrowser* browser_ = nullptr;

    QTableView* Table() { return browser_->findChild<QTableView*>(QStringLiteral("eventTable")); }
    EventRowModel* Model() { return static_cast<EventRowModel*>(Table()->model()); }
    template <class T>
    T* Find(const char* name) {
        return browser_->findChild<T*>(QString::fromLatin1(name));
    }
    QString Detail() { return Find<QPlainTextEdit>("detailText")->toPlainText(); }
    std::string Log() { return ReadFile(folder_.Path() + "/ApiLog.txt"); }
    // Selects view row `row` and waits for its detail.
    bool Select(int row) {
        QSignalSpy shown(browser_, &EventBrowser::detailShown);
        Table()->selectRow(row);
        return shown.wait(10000);
    }
    // The first view row of an event of that smart type; -1 when none.
    int EventRow(const std::string& type) {
        for (int row = 0; row < Model()->rowCount(); ++row) {
            const TrafficRow& r = browser_->Rows().Row(Model()->RowIndex(row));
            if (r.kind == RowKind::Event && browser_->Rows().SmartTypes()[r.smartType] == type)
                return row;
        }
        return -1;
    }
    // Opens a log through "Open log..." and waits until it is read.
    bool OpenLog(const std::string& path) {
        DialogSeam::setNextOpenFile(QString::fromStdString(path));
        Find<QToolButton>("openLog")->click();
        return QTest::qWaitFor([this] { return !browser_->LongTaskRunning(); }, 10000);
    }
    // Saves pictures through the menu action `action` under a new folder "saved"; the files
    // written, relative to it.
    QStringList SavePictures(const char* action) {
        const QString target = QString::fromStdString(folder_.Path()) + "/saved";
        QDir(target).removeRecursively();
        QDir().mkpath(target);
        DialogSeam::setNextFolder(target);
        QSignalSpy done(browser_, &EventBrowser::longTaskFinished);
        Find<QAction>(action)->trigger();
        if (!done.wait(10000))
            return {};
        QStringList files;
        QDirIterator it(target, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << QDir(target).relativeFilePath(it.next());
        return files;
    }
    QToolButton* Tile(int index) {
        return Find<QToolButton>(QStringLiteral("thumbnail%1").arg(index).toLatin1());
    }
    void Subscribe() { QVERIFY(LongSendAndWait(window_.get())); }

  private slots:
    void initTestCase() {
        folder_.WriteFile("protocol_long/Subscribe/SUBSCRIBE_SetSubscribe_test.xml",
                          kSubscribeBody);
        SimulatorOptions options = DemoDevice::DemoOptions();
        options.eventRate = 0;
        options.eventCount = kEvents;
        device_ = std::make_unique<DemoDevice>(options);
        QVERIFY(device_->Start());
        window_ = OpenWindow(folder_.Path());
        QVERIFY(window_);
        device_->FillWindow(*window_);
        QVERIFY(ChooseModule(window_.get(), QStringLiteral("Subscribe")));
        QVERIFY(ClickListItem(window_.get(), "SUBSCRIBE_SetSubscribe_test"));
        Subscribe();
        QTest::keyClick(window_.get(), Qt::Key_E, Qt::ControlModifier);
        browser_ = window_->Browser();
        QVERIFY(browser_ && browser_->isVisible());
        browser_->close();
        Click(window_->findChild<QPushButton*>(QStringLiteral("events")));
        QVERIFY(window_->Browser() == browser_ && browser_->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(browser_->Rows().Size(), 2u + kEvents, 20000);
        QCOMPARE(ParseAppCommandLine({"tessaly", "--open-log", "/x/ApiLog.txt"}).openLog,
                 QStringLiteral("/x/ApiLog.txt"));
    }
    void init() { DialogSeam::clearShown(); }

    // The request, its answer and the events, in order, each where it lies in the log.
    void rowsArriveInOrderAndTheDetailIsTheLogsBytes() {
        const TrafficRows& rows = browser_->Rows();
        const std::string log = Log();
        QCOMPARE(rows.SentPath(rows.Row(0)), std::string("/SetSubscribe"));
        QCOMPARE(Model()->index(0, EventRowModel::kKind).data().toString(),
                 QStringLiteral("request"));
        std::uint64_t next = 0;
        for (std::size_t i = 1; i < rows.Size(); ++i) {
            const TrafficRow& row = rows.Row(i);
            QCOMPARE(row.kind, i == 1 ? RowKind::Answer : RowKind::Event);
            QCOMPARE(row.offset, next);  // nothing between them, nothing left out
            QVERIFY(row.timeMs >= rows.Row(i - 1).timeMs);
            QCOMPARE(log.substr(row.offset, 4), std::string(i == 1 ? "HTTP" : "POST"));
            next += row.length;
        }
        QCOMPARE(next, log.size());
        QCOMPARE(rows.Row(1).status, 200);

        QVERIFY(Select(1));  // the answer: on few lines already, shown as it lies in the log
        QString answer = QString::fromStdString(log.substr(0, rows.Row(1).length));
        QCOMPARE(Detail(), answer.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        QVERIFY(Select(EventRow("PEA")));
        Find<QPushButton>("copyMessage")->click();
        const TrafficRow& event = rows.Row(Model()->RowIndex(EventRow("PEA")));
        QCOMPARE(QApplication::clipboard()->text().toStdString(),
                 log.substr(event.offset, event.length));
    }

    void thumbnailsAndTheViewerShowThePicturesFiled() {
        QVERIFY(Select(EventRow("VFD_MATCH")));
        QTRY_VERIFY(Tile(2) && !Tile(2)->icon().isNull());
        const QString snap = Tile(0)->toolTip();
        QVERIFY2(snap.contains(QStringLiteral("/pic/VFD_MATCH/")) && snap.contains("_snap_id"),
                 qPrintable(snap));
        // Every run collapsed, and the snap's Base64 whole once expanded.
        QVERIFY(Detail().contains(QStringLiteral(": picture snap id")));
        QVERIFY(!Detail().contains(QStringLiteral("/9j/")));
        Find<QPushButton>("expandBase64")->click();
        QFile file(snap);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(Detail()
                    .remove(QLatin1Char('\n'))
                    .contains(QString::fromLatin1(file.readAll().toBase64())));

        Tile(0)->click();
        auto* viewer = browser_->findChild<PictureViewer*>();
        QVERIFY(viewer);
        QTRY_COMPARE(viewer->Shown().filePath, snap);
        QCOMPARE(viewer->Shown().fullSize, QImage(snap).size());
        viewer->findChild<QPushButton*>(QStringLiteral("nextPicture"))->click();
        QTRY_VERIFY(viewer->Shown().filePath.contains(QStringLiteral("_album_id")));
        viewer->findChild<QPushButton*>(QStringLiteral("openFolder"))->click();
        QCOMPARE(DialogSeam::openedFolders().last(), QFileInfo(snap).absolutePath());
        viewer->close();

        // Saved again under another folder: the same names, the same bytes.
        const QStringList saved = SavePictures("saveSelectedPictures");
        QCOMPARE(saved.size(), 3);
        QVERIFY(saved.contains(QStringLiteral("VFD_MATCH/") + QFileInfo(snap).fileName()));
        QFile again(QString::fromStdString(folder_.Path()) + "/saved/VFD_MATCH/" +
                    QFileInfo(snap).fileName());
        QVERIFY(again.open(QIODevice::ReadOnly));
        file.seek(0);
        QCOMPARE(again.readAll(), file.readAll());
    }

    void filtersAndSearchNarrowTheRows() {
        const int all = Model()->rowCount();
        Find<QCheckBox>("kindEvents")->setChecked(false);
        QCOMPARE(Model()->rowCount(), 2);
        Find<QCheckBox>("kindEvents")->setChecked(true);
        QListWidget* types = Find<QListWidget>("smartTypes");
        QCOMPARE(types->count(), 2);
        types->item(1)->setCheckState(Qt::Unchecked);  // PEA, the second to arrive
        QCOMPARE(Model()->rowCount(), all - kEvents / 2);
        QVERIFY(types->item(1)->text().startsWith(QStringLiteral("PEA (3)")));
        types->item(1)->setCheckState(Qt::Checked);

        QLineEdit* search = Find<QLineEdit>("searchText");
        search->setText(QStringLiteral("SERVERADDRESS"));  // only the answer carries one
        QTest::keyClick(search, Qt::Key_Return);
        QTRY_COMPARE(Model()->rowCount(), 1);
        QCOMPARE(Model()->RowIndex(0), 1u);
        search->clear();
        QCOMPARE(Model()->rowCount(), all);
    }

    void leavingTheNewestCountsWhatArrivesUntilTheJump() {
        // The table made too small to show every row at once.
        QSplitter* split = nullptr;
        for (QSplitter* candidate : browser_->findChildren<QSplitter*>())
            split = candidate->orientation() == Qt::Vertical ? candidate : split;
        const QList<int> sizes = split->sizes();
        split->setSizes({60, sizes[0] + sizes[1] - 60});
        QTRY_VERIFY(Table()->verticalScrollBar()->maximum() > 0);
        Table()->scrollToTop();
        QTRY_VERIFY(!browser_->Following());
        const std::size_t before = browser_->Rows().Size();
        Subscribe();  // the device pushes another round
        QTRY_COMPARE_WITH_TIMEOUT(browser_->Rows().Size(), before + 2 + kEvents, 20000);
        QPushButton* jump = Find<QPushButton>("jumpNewest");
        QVERIFY(jump->isVisible());
        QVERIFY2(jump->text().startsWith(QStringLiteral("%1 new").arg(2 + kEvents)),
                 qPrintable(jump->text()));
        jump->click();
        QVERIFY(browser_->Following() && !jump->isVisible());
        QCOMPARE(Table()->currentIndex().row(), Model()->rowCount() - 1);
        split->setSizes(sizes);
    }

    // The log alone gives the same rows; pictures come from its text.
    void aLogOpenedAgainListsTheLiveRows() {
        const TrafficRows& live = browser_->Rows();
        std::vector<std::tuple<RowKind, std::uint64_t, std::uint64_t, std::string, int>> expected;
        for (std::size_t i = 0; i < live.Size(); ++i) {
            const TrafficRow& r = live.Row(i);
            if (!r.Sent())
                expected.emplace_back(r.kind, r.offset, r.length, live.SmartTypes()[r.smartType],
                                      r.pictures);
        }
        const std::string copy = folder_.WriteFile("captured.txt", Log());
        QVERIFY(OpenLog(copy));
        const TrafficRows& again = browser_->Rows();
        QCOMPARE(again.Size(), expected.size());
        for (std::size_t i = 0; i < again.Size(); ++i) {
            const TrafficRow& r = again.Row(i);
            QCOMPARE(std::make_tuple(r.kind, r.offset, r.length, again.SmartTypes()[r.smartType],
                                     static_cast<int>(r.pictures)),
                     expected[i]);
        }
        QVERIFY(Select(EventRow("VFD_MATCH")));
        QTRY_VERIFY(Tile(0) && !Tile(0)->icon().isNull());
        QCOMPARE(Tile(0)->toolTip(), QStringLiteral("Decoded from the log's text"));
        // Every picture of the log, named as the archive names them, from the log alone.
        const QStringList saved = SavePictures("saveAllPictures");
        QCOMPARE(saved.size(), 3 * 2 * kEvents);
        QCOMPARE(saved.filter(QRegularExpression("^PEA/[-0-9]{19}_target_id\\d+\\.jpg$")).size(),
                 2 * kEvents);  // two rounds, two targets in each of the PEA half
        Find<QToolButton>("liveSource")->click();
        QCOMPARE(browser_->Rows().Size(), live.Size());
    }

    void badLogsAndMessagesSayWhatTheyAre() {
        const std::string broken = Event("<?xml version=\"1.0\"?><config><smartType>PEA</config>");
        const std::string notImage = Event(
            "<?xml version=\"1.0\"?><config><smartType>PEA</smartType><sourceDataInfo>"
            "<sourceBase64Data>" +
            ToBase64("not a jpeg") + "</sourceBase64Data></sourceDataInfo></config>");
        const std::string noXml = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nOK";
        const std::string junk = std::string("\x01junk\0after a NUL\n", 19);
        const std::string cut = Event("<?xml version=\"1.0\"?><config/>").substr(0, 40);
        const std::string log =
            folder_.WriteFile("bad.txt", broken + notImage + noXml +
                                             "\n\nCreateDirectory pic fail!\n\n" + junk + cut);
        QVERIFY(OpenLog(log));
        QCOMPARE(browser_->Rows().Size(), 6u);
        const QString kinds[] = {"event (broken XML)",  "event", "answer",
                                 "other (folder note)", "other", "incomplete"};
        for (int row = 0; row < 6; ++row)
            QCOMPARE(Model()->index(row, EventRowModel::kKind).data().toString(), kinds[row]);
        QVERIFY(Select(0));
        QVERIFY(Find<QLabel>("detailProblem")->text().contains(QStringLiteral("does not parse")));
        QVERIFY(Select(1));
        QTRY_VERIFY(Tile(0) && Tile(0)->text().contains(QStringLiteral(
                                   "not an image: 10 bytes, beginning 6E 6F 74 20")));
        QVERIFY(Select(2));
        QVERIFY(Find<QLabel>("detailProblem")->text().contains(QStringLiteral("not XML")));
        QVERIFY(Select(4));
        QVERIFY(Detail().contains(QStringLiteral("junk\u2400after a NUL")));

        for (const std::string& path : {folder_.Path() + "/missing.txt", folder_.Path()}) {
            QVERIFY(OpenLog(path));
            QCOMPARE(DialogSeam::shownTexts().size(), 1);
            QVERIFY(DialogSeam::shownTexts().first().contains(QStringLiteral("cannot be read")));
            DialogSeam::clearShown();
        }
        Find<QToolButton>("liveSource")->click();
    }

    // The largest event the receive path decodes: one row, its run collapsed, its "picture"
    // said to be none.
    void anEventOf64MegabytesShowsCollapsed() {
        const std::string head =
            "<?xml version=\"1.0\"?><config><smartType>PEA</smartType>"
            "<sourceDataInfo><sourceBase64Data>";
        const std::string tail = "</sourceBase64Data></sourceDataInfo></config>";
        std::string body = head + std::string(kMaxContentLength - head.size() - tail.size(), 'A');
        body += tail;
        QVERIFY(OpenLog(folder_.WriteFile("huge.txt", Event(body))));
        QCOMPARE(browser_->Rows().Size(), 1u);
        QVERIFY(Select(0));
        QVERIFY(Detail().contains(QStringLiteral("[Base64, %1 characters: picture src id1]")
                                      .arg(QString::fromStdString(Thousands(
                                          kMaxContentLength - head.size() - tail.size())))));
        QTRY_VERIFY(Tile(0) && Tile(0)->text().contains(QStringLiteral("not an image")));
        Find<QToolButton>("liveSource")->click();
    }

    // Rows stay when what they point at goes; the detail says what happened.
    void aPictureDeletedAndALogRewrittenMeanwhile() {
        QVERIFY(Select(EventRow("PEA")));
        QTRY_VERIFY(Tile(0) && !Tile(0)->icon().isNull());
        const QString source = Tile(0)->toolTip();
        QVERIFY(QFile::remove(source));
        QVERIFY(Select(EventRow("VFD_MATCH")));
        QVERIFY(Select(EventRow("PEA")));  // from the cache: the file is not needed
        QTRY_VERIFY(!Tile(0)->icon().isNull());
        const std::size_t rows = browser_->Rows().Size();
        window_->DisconnectLong();
        const std::string log = Log();
        const struct {
            std::string bytes;
            const char* says;
        } rewrites[] = {{log.substr(0, 100), "now ends at byte 100"},
                        {std::string(log.size(), 'x'), "holds other bytes"}};
        int row = EventRow("VFD_MATCH");
        for (const auto& rewrite : rewrites) {
            QVERIFY(PutFile(folder_.Path() + "/ApiLog.txt", rewrite.bytes));
            QVERIFY(Select(row += 2));
            QVERIFY2(Find<QLabel>("detailProblem")->text().contains(rewrite.says),
                     qPrintable(Find<QLabel>("detailProblem")->text()));
        }
        QCOMPARE(browser_->Rows().Size(), rows);
    }

    // Collapsed runs keep their text; XML on one line is indented; lines and NULs are shown.
    void detailTextsOfOddMessages() {
        const std::string run(300, 'Q');
        const DetailText flat = BuildDetailText(
            Event("<?xml version=\"1.0\"?><config><a>1</a><b><c/></b><d>" + run + "</d></config>"),
            true, 0, true);
        QVERIFY2(flat.text.find("<config>\n\t<a>1</a>\n\t<b>\n\t\t<c/>\n\t</b>\n\t<d>[Base64, 300 "
                                "characters]</d>\n</config>") != std::string::npos,
                 flat.text.c_str());
        QCOMPARE(flat.runs.size(), 1u);
        QCOMPARE(flat.runs[0].text, run);
        QCOMPARE(flat.text.substr(flat.runs[0].at, flat.runs[0].label.size()), flat.runs[0].label);
        const DetailText asIs = BuildDetailText(
            Event("<?xml version=\"1.0\"?><config><a>1</a><b><c/></b></config>"), true, 0, false);
        QVERIFY(!asIs.indented && asIs.text.find("<config><a>1</a>") != std::string::npos);
        const DetailText longLine =
            BuildDetailText(std::string(kDetailLineBytes + 10, 'z'), false, 0, true);
        QVERIFY(longLine.text.find(" ... [10 more bytes]") != std::string::npos);
        QCOMPARE(ExpandedRun(std::string(100, 'A')),
                 std::string(76, 'A') + "\n" + std::string(24, 'A'));
    }
};

QTEST_MAIN(BrowserTest)
#include "browser_test.moc"
