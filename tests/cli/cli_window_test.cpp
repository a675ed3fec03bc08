// tessaly-cli lists, previews and writes curl command lines exactly as the window does.
#include "cli_test_support.h"
#include "window_fixture.h"

namespace {

// Every module of the window's mode chosen in turn: its name, then its items indented by two.
std::string WindowListing(CDorvik_LurvaneDlg* w) {
    std::string listing;
    for (const QString& module : ComboTexts(w)) {
        listing += module.toStdString() + "\n";
        if (!ChooseModule(w, module))
            return "cannot choose " + module.toStdString();
        for (const std::string& item : ListTexts(w))
            listing += "  " + item + "\n";
    }
    return listing;
}

}  // namespace

class CliWindowTest : public QObject {
    Q_OBJECT
    TempFolder folder_;

  private slots:
    void initTestCase() {
        folder_.WriteFile("protocol_short/Event/GetEvent&SetEvent_1.xml", "<config>\r\n</config>");
        folder_.WriteFile("protocol_short/Event/Reboot.xml", "");
        folder_.WriteFile("protocol_short/Event/&Odd.xml", "x");
        folder_.WriteFile(
            "protocol_short/Smart/SetSmart_1.xml",
            "<?xml version=\"1.0\"?>\r\n<config>\r\n\t<n>\xE5\xBC\xA0</n>\r\n</config>");
        folder_.MakeFolder("protocol_short/Empty");
        folder_.WriteFile("protocol_long/Subscribe/SUBSCRIBE_SetSubscribe_test.xml", "<a/>");
        folder_.WriteFile("protocol_long/Other/plain.xml", "<a/>");
    }

    void catalogueListsWhatTheWindowLists() {
        auto w = OpenWindow(folder_.Path());
        QVERIFY(w);
        QCOMPARE(RunCli({"catalogue"}, folder_.Path()).out, WindowListing(w.get()));  // long
        Click(Control<QRadioButton>(w.get(), kShortConnect));
        const std::string shortCli = RunCli({"catalogue", "--mode", "short"}, folder_.Path()).out;
        QCOMPARE(shortCli, WindowListing(w.get()));
        QVERIFY(shortCli.find("\nMaintain\n  Reboot\n") != std::string::npos);
    }

    void previewIsTheEditorsBytesAfterAClick() {
        auto w = OpenWindow(folder_.Path());
        QVERIFY(w);
        Click(Control<QRadioButton>(w.get(), kShortConnect));
        // First with the start values of both, then with the fields typed in.
        std::vector<std::string> settings;
        for (int round = 0; round < 2; ++round) {
            std::istringstream clicks(
                "Image/GetImageConfig Security/ModifyPassword PTZ/PtzControl PTZ/PtzModifyCruise "
                "Event/GetEvent Event/Reboot Smart/SetSmart Maintain/Reboot");
            for (std::string click; clicks >> click;) {
                const std::string name = click.substr(click.find('/') + 1);
                QVERIFY(ChooseModule(w.get(),
                                     QString::fromStdString(click.substr(0, click.find('/')))));
                QVERIFY2(ClickListItem(w.get(), name), name.c_str());
                std::vector<std::string> args = {"preview", name};
                args.insert(args.end(), settings.begin(), settings.end());
                QCOMPARE(RunCli(args, folder_.Path()).out, w->RequestEditorBytes());
                // "Copy as curl" gives what send --curl prints.
                args[0] = "send";
                args.push_back("--curl");
                QCOMPARE(RunCli(args, folder_.Path()).out, w->ShortCurlCommand() + "\n");
            }
            const std::tuple<int, std::string, std::string> typed[] = {
                {kIp, "--ip", "127.0.0.1"},
                {kUser, "--user", "operator"},
                {kPassword, "--password", "pa:ss"},
                {kShortPort, "--short-port", "8080"}};
            settings.clear();
            for (const auto& [id, option, text] : typed) {
                TypeIntoField(w.get(), id, QString::fromStdString(text));
                settings.insert(settings.end(), {option, text});
            }
        }
    }
};

QTEST_MAIN(CliWindowTest)
#include "cli_window_test.moc"
