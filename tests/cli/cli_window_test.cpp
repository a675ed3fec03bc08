// tessaly-cli lists and previews exactly what the window shows.
#include <QtTest>
#include <sstream>

#include "cli/cli_commands.h"
#include "window_fixture.h"

using namespace ControlId;

namespace {

struct Listing {
    std::vector<std::string> modules;
    std::vector<std::vector<std::string>> items;  // per module
};

std::string RunCliOut(const std::vector<std::string>& args, const std::string& home,
                      int* status = nullptr) {
    std::ostringstream out;
    std::ostringstream err;
    const int result = RunCommand(ParseCliArguments(args, home), out, err, {});
    if (status != nullptr)
        *status = result;
    return out.str();
}

Listing ParseListing(const std::string& text) {
    Listing listing;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("  ", 0) == 0 && !listing.items.empty()) {
            listing.items.back().push_back(line.substr(2));
        } else {
            listing.modules.push_back(line);
            listing.items.emplace_back();
        }
    }
    return listing;
}

// What the window shows for every module of its current mode, chosen one after the other.
Listing WindowListing(CDorvik_LurvaneDlg* w) {
    Listing listing;
    for (const QString& module : ComboTexts(w)) {
        listing.modules.push_back(module.toStdString());
        if (!ChooseModule(w, module))
            return Listing{};
        listing.items.push_back(ListTexts(w));
    }
    return listing;
}

}  // namespace

class CliWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void settingsDefaultToTheWindowsStartValues();
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

void CliWindowTest::settingsDefaultToTheWindowsStartValues() {
    auto w = OpenWindow(folder_.path());
    QVERIFY(w);
    const CliArguments args = ParseCliArguments({"catalogue"}, folder_.path());
    QCOMPARE(Field(w.get(), kIp)->text().toStdString(), args.settings.ip);
    QCOMPARE(Field(w.get(), kUser)->text().toStdString(), args.settings.user);
    QCOMPARE(Field(w.get(), kPassword)->text().toStdString(), args.settings.password);
    QCOMPARE(Field(w.get(), kLongPort)->text().toStdString(), args.settings.longPort);
    QCOMPARE(Field(w.get(), kShortPort)->text().toStdString(), args.settings.shortPort);
    // The window starts in long mode, and so does the listing.
    QCOMPARE(RunCliOut({"catalogue"}, folder_.path()),
             RunCliOut({"catalogue", "--mode", "long"}, folder_.path()));
}

void CliWindowTest::catalogueListsWhatTheWindowLists() {
    auto w = OpenWindow(folder_.path());
    QVERIFY(w);
    const Listing longWindow = WindowListing(w.get());
    const Listing longCli = ParseListing(RunCliOut({"catalogue"}, folder_.path()));
    QCOMPARE(longCli.modules, longWindow.modules);
    QCOMPARE(longCli.items, longWindow.items);
    QVERIFY(longCli.modules.size() == 2);

    Click(Control<QRadioButton>(w.get(), kShortConnect));
    const Listing shortWindow = WindowListing(w.get());
    const Listing shortCli =
        ParseListing(RunCliOut({"catalogue", "--mode", "short"}, folder_.path()));
    QCOMPARE(shortCli.modules, shortWindow.modules);
    QCOMPARE(shortCli.items, shortWindow.items);
    QCOMPARE(shortCli.modules.size(), size_t(3 + 7));
}

void CliWindowTest::previewIsTheEditorsBytesAfterAClick() {
    auto w = OpenWindow(folder_.path());
    QVERIFY(w);
    TypeIntoField(w.get(), kIp, QStringLiteral("127.0.0.1"));
    TypeIntoField(w.get(), kUser, QStringLiteral("operator"));
    TypeIntoField(w.get(), kPassword, QStringLiteral("pa:ss"));
    TypeIntoField(w.get(), kShortPort, QStringLiteral("8080"));
    Click(Control<QRadioButton>(w.get(), kShortConnect));
    const std::vector<std::string> settings = {
        "--ip", "127.0.0.1", "--user", "operator", "--password", "pa:ss", "--short-port", "8080"};

    const std::vector<std::pair<QString, std::string>> clicks = {
        {"Image", "GetImageConfig"}, {"Security", "ModifyPassword"}, {"PTZ", "PtzControl"},
        {"PTZ", "PtzModifyCruise"},  {"Event", "GetEvent"},          {"Event", "Reboot"},
        {"Smart", "SetSmart"},       {"Maintain", "Reboot"},
    };
    for (const auto& [module, name] : clicks) {
        QVERIFY(ChooseModule(w.get(), module));
        QVERIFY2(ClickListItem(w.get(), name), name.c_str());
        std::vector<std::string> args = {"preview", name};
        args.insert(args.end(), settings.begin(), settings.end());
        int status = -1;
        const std::string preview = RunCliOut(args, folder_.path(), &status);
        QCOMPARE(status, kExitOk);
        QCOMPARE(preview, w->RequestEditorBytes());
    }
}

QTEST_MAIN(CliWindowTest)
#include "cli_window_test.moc"
