// tessaly-cli lists and previews exactly what the window shows.
#include <QtTest>
#include <sstream>

#include "cli/cli_commands.h"
#include "window_fixture.h"

using namespace ControlId;

namespace {

std::string RunCliOut(const std::vector<std::string>& args, const std::string& home) {
    std::ostringstream out, err;
    return RunCommand(ParseCliArguments(args, home), out, err, {}) == kExitOk ? out.str() : "";
}

// The listing of what the window shows for every module of its current mode, chosen one after
// the other: each module's name, then its items indented by two spaces.
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
  private slots:
    void initTestCase();
    void catalogueListsWhatTheWindowLists();
    void previewIsTheEditorsBytesAfterAClick();

  private:
    TempProgramFolder folder_;
};

void CliWindowTest::initTestCase() {
    folder_.write("protocol_short/Event/GetEvent&SetEvent_1.xml", "<config>\r\n</config>");
    folder_.write("protocol_short/Event/Reboot.xml", "");
    folder_.write("protocol_short/Event/&Odd.xml", "x");
    folder_.write("protocol_short/Smart/SetSmart_1.xml",
                  "<?xml version=\"1.0\"?>\r\n<config>\r\n\t<n>\xE5\xBC\xA0</n>\r\n</config>");
    folder_.mkdir("protocol_short/Empty");
    folder_.write("protocol_long/Subscribe/SUBSCRIBE_SetSubscribe_test.xml", "<a/>");
    folder_.write("protocol_long/Subscribe/SUBSCRIBE_RenewSubscribe_test.xml", "<a/>");
    folder_.write("protocol_long/Other/plain.xml", "<a/>");
}

void CliWindowTest::catalogueListsWhatTheWindowLists() {
    auto w = OpenWindow(folder_.path());
    QVERIFY(w);
    // The window starts in long mode, and so does the listing.
    const std::string longCli = RunCliOut({"catalogue"}, folder_.path());
    QCOMPARE(longCli, WindowListing(w.get()));
    QVERIFY(longCli.find("Subscribe\n  SUBSCRIBE_") != std::string::npos);
    Click(Control<QRadioButton>(w.get(), kShortConnect));
    const std::string shortCli = RunCliOut({"catalogue", "--mode", "short"}, folder_.path());
    QCOMPARE(shortCli, WindowListing(w.get()));
    QVERIFY(shortCli.find("  GetEvent\n") != std::string::npos &&
            shortCli.find("\nMaintain\n  Reboot\n") != std::string::npos);
}

void CliWindowTest::previewIsTheEditorsBytesAfterAClick() {
    auto w = OpenWindow(folder_.path());
    QVERIFY(w);
    Click(Control<QRadioButton>(w.get(), kShortConnect));
    // First with the start values of both, then with the fields typed in.
    std::vector<std::string> settings;
    for (int round = 0; round < 2; ++round) {
        std::istringstream clicks(
            "Image/GetImageConfig Security/ModifyPassword PTZ/PtzControl PTZ/PtzModifyCruise "
            "Event/GetEvent Event/Reboot Smart/SetSmart Maintain/Reboot");
        for (std::string click; clicks >> click;) {
            const QString module = QString::fromStdString(click.substr(0, click.find('/')));
            const std::string name = click.substr(click.find('/') + 1);
            QVERIFY(ChooseModule(w.get(), module));
            QVERIFY2(ClickListItem(w.get(), name), name.c_str());
            std::vector<std::string> args = {"preview", name};
            args.insert(args.end(), settings.begin(), settings.end());
            QCOMPARE(RunCliOut(args, folder_.path()), w->RequestEditorBytes());
        }
        TypeIntoField(w.get(), kIp, QStringLiteral("127.0.0.1"));
        TypeIntoField(w.get(), kUser, QStringLiteral("operator"));
        TypeIntoField(w.get(), kPassword, QStringLiteral("pa:ss"));
        TypeIntoField(w.get(), kShortPort, QStringLiteral("8080"));
        settings = {"--ip",       "127.0.0.1", "--user",       "operator",
                    "--password", "pa:ss",     "--short-port", "8080"};
    }
}

QTEST_MAIN(CliWindowTest)
#include "cli_window_test.moc"
