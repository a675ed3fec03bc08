// tessaly-cli lists and previews exactly what the window shows.
#include <QtTest>
#include <sstream>

#include "cli/cli_commands.h"
#include "window_fixture.h"

using namespace ControlId;

namespace {

using Listing = std::vector<std::vector<std::string>>;  // per module: its name, then its items

std::string RunCliOut(const std::vector<std::string>& args, const std::string& home) {
    std::ostringstream out, err;
    return RunCommand(ParseCliArguments(args, home), out, err, {}) == kExitOk ? out.str() : "";
}

Listing ParseListing(const std::string& text) {
    Listing listing;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("  ", 0) == 0 && !listing.empty())
            listing.back().push_back(line.substr(2));
        else
            listing.push_back({line});
    }
    return listing;
}

// What the window shows for every module of its current mode, chosen one after the other.
Listing WindowListing(CDorvik_LurvaneDlg* w) {
    Listing listing;
    for (const QString& module : ComboTexts(w)) {
        listing.push_back({module.toStdString()});
        if (!ChooseModule(w, module))
            return {};
        for (const std::string& item : ListTexts(w))
            listing.back().push_back(item);
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
    const Listing longCli = ParseListing(RunCliOut({"catalogue"}, folder_.path()));
    QCOMPARE(longCli, WindowListing(w.get()));
    QCOMPARE(longCli.size(), size_t(2));
    Click(Control<QRadioButton>(w.get(), kShortConnect));
    const Listing shortCli =
        ParseListing(RunCliOut({"catalogue", "--mode", "short"}, folder_.path()));
    QCOMPARE(shortCli, WindowListing(w.get()));
    QCOMPARE(shortCli.size(), size_t(3 + 7));
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
