#pragma once

#include <QDialog>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "app/live_traffic.h"
#include "catalogue/catalogue.h"
#include "catalogue/program_folder.h"
#include "devices/device_list.h"
#include "receive/receive_observer.h"
#include "session/device_session.h"

class AnswerBox;
class BoxLook;
class HttpCancel;
class QCheckBox;
class EditTracker;
class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;
class EventBrowser;
class QToolButton;
class QTimer;
class LatestTextRelay;
class StatusStrip;
struct HttpOutcome;
struct KeychainResult;
struct ShortPlan;

// The one window of the tool. Its device session (session/) holds the catalogue, the stored
// parts of the last short-mode request and the long connection; the handlers read the
// controls, call the session and show the outcome. Controls carry their numeric ids as object
// names (see app/control_ids.h); controls without an id carry descriptive names
// ("resultStatus", "pairResultStatus", "findBar", "findText").
//
// Keys: Enter presses only a button that has the focus (in the interface list it loads the
// request, as a click does); Ctrl+Enter sends in the current mode, Ctrl+Shift+Enter sends the
// paired pane; Ctrl+F finds text in the focused box; Ctrl+S saves the answer of the focused
// pane; Escape cancels a running short transfer and never closes the window (Ctrl+Q and the
// title bar do).
//
// Nothing here waits on the network: a short post and "Long connect send" run on threads of
// their own and hand their outcome back to the window's thread, where the messages are shown.
// Closing gives both up (the post through its cancel, the long send through a disconnect).
class CDorvik_LurvaneDlg : public QDialog {
    Q_OBJECT
  public:
    // Builds the window and runs its first-time set-up. Request folders, the traffic log and
    // the picture folder are taken from programFolder (an empty folder finds no request files).
    explicit CDorvik_LurvaneDlg(const std::string& programFolder = GetProgramFolder(),
                                QWidget* parent = nullptr);
    // Runs OnDestroy if it has not run yet: gives up a short transfer and a long send, and
    // waits for their threads and the receive thread (each ends within a few ticks).
    ~CDorvik_LurvaneDlg() override;

    // Data exchange. true (read): m_nConnMode := index of the checked radio (-1 for none) and
    // m_strModule := the combo's text. false (write): checks the radio of m_nConnMode (none for
    // other values) and chooses the combo entry whose text is m_strModule (an empty text
    // chooses nothing; an unknown text keeps the choice).
    void UpdateData(bool bSaveAndValidate);

    // Disables the IP, user name, password and both port fields and restores the captions of
    // both "change" toggles.
    void LockConnectionFields();

    // The editor's request: the bytes the tool put into the editor, byte for byte, while the
    // user has not edited it since; after an edit, the editor's text as UTF-8 with every line
    // end as CR LF. "Long connect send" transmits them (an edited request with its
    // Content-Length made true, see WithTrueContentLength); "Short connect send" posts the
    // stored request while they are the tool's, else the path and body they hold.
    std::string RequestEditorBytes() const;

    // True while the editor holds exactly what the tool put there.
    bool RequestEditorPristine() const;

    // Shows bytes in the request editor (decoded for display) and remembers them as its
    // request bytes until the user edits the editor.
    void SetRequestEditorBytes(const std::string& bytes);

    // Checks user name, password and IP, connects to the long port and starts the receive
    // thread; a failure shows its message box and moves the focus to the field at fault.
    void ConnectLong();

    // Closes the long connection and waits for its receive thread. Safe in any state.
    void DisconnectLong();

    // True while the long connection is open.
    bool LongConnected() const;

    // Read-only views of the values the handlers work with.
    int ConnMode() const { return m_nConnMode; }
    const std::string& Module() const { return m_strModule; }
    const std::string& Interface() const { return m_strInterface; }
    const std::string& PairInterface() const { return m_strPairInterface; }
    const std::string& Body() const { return m_strBody; }
    const std::string& ProtocolFile() const { return m_strProtocolFile; }
    const std::string& ProgramFolder() const { return m_session.Folder(); }
    const Catalogue& GetCatalogue() const { return m_session.GetCatalogue(); }
    // True from the start of a short or paired send until its outcome has been shown.
    bool ShortSendInProgress() const { return m_bShortBusy; }
    // The whole answer the response box with this id (1001 or 1011) shows; null when none.
    std::shared_ptr<const std::string> AnswerBytes(int id) const;
    // The curl command line of the request "Short connect send" would post now; "" when it
    // would post nothing (see OnShortSend) or the window is not in short mode.
    std::string ShortCurlCommand();

    // True from "Long connect send" until its outcome has been shown.
    bool LongSendRunning() const { return m_session.LongSendRunning(); }
    // The long connect's limit (tests make it short).
    void SetLongConnectLimit(std::chrono::milliseconds limit) { m_session.SetConnectLimit(limit); }
    // Trusts the TLS key `pin` ("sha256//...") for both ports of any address for this run only,
    // nothing stored (the demo device's own key); "" takes it back.
    void TrustForThisRun(const std::string& pin);

    // The event browser, made when first opened ("Events", Ctrl+E); null before.
    EventBrowser* Browser() const { return m_browser; }
    // Every message of the long connection since the window was made.
    LiveTraffic& Traffic() { return m_traffic; }
    // Opens the event browser on the messages of a captured log (tessaly --open-log FILE).
    void OpenLogInBrowser(const QString& path);

    // "12,345 bytes", "1 byte" or "3.4 MB" (as ByteCountText) in the window's language.
    static QString ByteCountInWindow(long long bytes);

  public slots:
    void OnCbnSelchangeModule();
    void OnClickInterfaceList();
    void OnShortSend();
    void OnPairSend();
    void OnLongSend();
    void OnSelectProtocol();
    void OnBnClickedLongConnect();
    void OnBnClickedShortConnect();
    void OnBnClickedChangeAccount();
    void OnBnClickedChangePort();
    void OnEnChangeIp();
    void OnEnChangeAccount();
    // Shows the event browser (made on first use) beside the window.
    void OnEvents();
    // Gives up a running short transfer (Escape, "Stop"): its strip says "Cancelled" and no
    // box is shown. Nothing when none runs.
    void CancelShortTransfer();
    // Saves the whole answer of a response box (1001 or 1011) to a file the user chooses.
    void OnSaveAnswer(int id);
    // Shows the find bar for the box with this id (1001, 1008, 1009 or 1011).
    void OnFind(int id);
    // Puts the curl command line of the short request on the clipboard (nothing when none).
    void OnCopyAsCurl();

  signals:
    // Emitted on the window's thread once the outcome of a short or paired send is shown.
    void shortSendFinished();
    // Emitted on the window's thread once the outcome of "Long connect send" is shown (also
    // when it was given up).
    void longSendFinished();
    // Emitted on the window's thread once a save has ended: ok false after a failure, which
    // was also reported in a message box.
    void answerSaved(const QString& path, bool ok);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // What the editor shows while nobody has edited it.
    enum class EditorSource { None, ShortChoice, LongFile };
    // The results of one short post, made on the transfer thread.
    struct ShortResult;

    void CreateShortcuts();
    void CreateFindBar();
    void FindNext(bool backwards);
    void RefreshUneditedRequests();
    void UpdatePairSendEnabled();
    void UpdateLongStrip();
    void ShowLongStrip();
    void SetPairRequestText(const std::string& bytes, const QString& shown);
    AnswerBox* AnswerBoxOf(int id) const;
    StatusStrip* StripOf(int id) const;
    void CreateControls();
    void OnInitDialog();
    void OnDestroy();
    void BuildCatalogue();
    void ClickInShortMode(const std::string& itemText);
    void ClickInLongMode(const std::string& itemText);
    void PrepareLongRequest(const std::string& name);
    std::string ServerAddressCopy() const;
    // Copies the connection fields into the session's settings.
    void SyncSettings();
    void StartShortTransfer(ShortPlan plan, bool edited);
    // Starts the long send of `request` off the window's thread; FinishLongSend shows it.
    void StartLongSend(const std::string& request);
    void FinishLongSend(const LongSendOutcome& outcome, const std::string& request);
    // The long connection's strip in the window's language: "Connected to IP:PORT, 3
    // messages, 1.2 MB received, last answer 200", "Closed by the device (...) after ...",
    // "Reading failed (...) after ...", or "Not connected" with ": <m_strLongFailure>".
    QString LongStripText();
    // The strip's words for a failed connect: the address and the reason.
    std::string ConnectFailure(ConnectResult result, const std::string& reason) const;
    // A connect's message box (none for Ok and the silent outcomes) and the field to focus.
    void ShowConnectOutcome(ConnectResult result);
    // A TLS refusal of a key that nobody pinned: shows the key and asks whether to trust it
    // for the settings' address and this port; true once it is pinned (see TrustKey). False for any
    // other outcome, after a warning naming both keys when a pinned key changed.
    bool OfferTrust(const ConnectionSettings& settings, const std::string& portText,
                    TlsStatus status, const std::string& fingerprint, const std::string& reason);
    // The TLS box was ticked or cleared: as an edit of a port, the long connection closes.
    void OnTlsToggled();
    void FinishShortTransfer(ShortResult& result);
    void SetShortBusy(bool busy);
    void SetPairPaneEnabled(bool enabled);
    std::string ControlText(int id) const;

    // Remembered devices (dorvik_lurvane_dlg_devices.cpp). The "Devices" menu lists the list's
    // devices and names or forgets the device that the fields show.
    void RebuildDevicesMenu();
    // Fills the connection fields with the device's values as typing would, then its password
    // from the keychain once that answers.
    void OnChooseDevice(const DeviceRecord& record);
    void OnNameDevice();
    void OnForgetDevice();
    // The device of a send that reached it: first in the list, its password in the keychain.
    void RememberDevice(const ConnectionSettings& settings, const std::string& name = "");
    // Shows a keychain failure: "no keychain" once per window, nothing after that.
    void ReportKeychain(const KeychainResult& result);
    // The one place where the window tells the user about devices and the keychain; the
    // detail (the keychain's own words) shows as a tool tip.
    void ShowDeviceStatus(const QString& text, const QString& detail = QString());

    // Controls.
    QComboBox* m_comboModule = nullptr;           // 1000
    AnswerBox* m_editResult = nullptr;            // 1001
    QPushButton* m_btnShortSend = nullptr;        // 1002
    QTableWidget* m_listInterface = nullptr;      // 1004
    QLineEdit* m_editIp = nullptr;                // 1007
    QPlainTextEdit* m_editRequest = nullptr;      // 1008
    QPlainTextEdit* m_editPairRequest = nullptr;  // 1009
    QPushButton* m_btnPairSend = nullptr;         // 1010
    AnswerBox* m_editPairResult = nullptr;        // 1011
    QLineEdit* m_editUser = nullptr;              // 1016
    QLineEdit* m_editPassword = nullptr;          // 1017
    QPushButton* m_btnLongSend = nullptr;         // 1020
    QPushButton* m_btnEvents = nullptr;           // "events": opens the event browser
    QPushButton* m_btnSelectProtocol = nullptr;   // 1021
    QRadioButton* m_radioLong = nullptr;          // 1023
    QLineEdit* m_editLongPort = nullptr;          // 1024
    QPushButton* m_btnChangeAccount = nullptr;    // 1025
    QRadioButton* m_radioShort = nullptr;         // 1026
    QLineEdit* m_editShortPort = nullptr;         // 1028
    QPushButton* m_btnChangePort = nullptr;       // 1030
    QCheckBox* m_checkTls = nullptr;              // "tls": both connections over TLS
    QPushButton* m_btnStop = nullptr;  // "stop": in place of the send button while a post runs
    QButtonGroup* m_groupMode = nullptr;
    QToolButton* m_btnDevices = nullptr;  // "Devices", beside the IP field
    QMenu* m_menuDevices = nullptr;
    QLabel* m_labelDeviceStatus = nullptr;     // see ShowDeviceStatus
    QLabel* m_labelStatus = nullptr;           // "Sending request..." while a post runs
    StatusStrip* m_stripResult = nullptr;      // under 1001: short outcome or long state
    StatusStrip* m_stripPairResult = nullptr;  // under 1011: the paired send's outcome
    BoxLook* m_lookRequest = nullptr;          // 1008
    BoxLook* m_lookPairRequest = nullptr;      // 1009
    QWidget* m_findBar = nullptr;
    QLineEdit* m_editFind = nullptr;
    QLabel* m_labelFound = nullptr;
    QPlainTextEdit* m_findTarget = nullptr;  // the box the find bar searches
    QTimer* m_longStripTimer = nullptr;

    // State of the window's own; the rest lives in the session (below).
    std::string m_strIp;
    std::string m_strProtocolFile;
    int m_nConnMode = 0;
    std::string m_strModule;

    // The request editor's bytes as the tool put them there, valid while it is not edited.
    std::string m_strEditorRequest;
    EditTracker* m_editorEdits = nullptr;
    EditorSource m_editorSource = EditorSource::None;
    // The paired pane's request as the tool put it, valid while it is not edited.
    std::string m_strPairRequest;
    EditTracker* m_pairEdits = nullptr;

    // The long connection's strip: shown under 1001 from a long send until a short send, with
    // the reason of the last failed connect or send ("" none).
    bool m_bLongStrip = false;
    std::string m_strLongFailure;

    // The short connection's transfer thread and its state (window thread only).
    std::thread m_shortThread;
    std::thread m_saveThread;
    bool m_bShortBusy = false;
    std::shared_ptr<HttpCancel> m_shortCancel;  // the running post's; shared with its thread
    bool m_bPairPaneEnabled = false;            // what the paired pane shows once no post runs

    // Remembered devices, and what this window knows the keychain holds (device key to
    // password), so that a send with an unchanged password writes nothing.
    DeviceList m_devices;
    std::map<std::string, std::string> m_keychainHolds;
    int m_nPasswordRead = 0;  // counts choices; a keychain answer for an older one is stale
    bool m_bKeychainReported = false;

    bool m_bDestroyed = false;
    LatestTextRelay* m_relay = nullptr;
    EventBrowser* m_browser = nullptr;  // a child window, made on first use

    // The receive thread's results reach the window through this observer: the response box
    // text goes to the relay, which never waits for the window's thread.
    class RelayObserver : public ReceiveObserver {
      public:
        void OnResponseText(std::string_view text) override;
        void OnMessage(const MessageReport& report) override;
        void OnRead(std::size_t asked, long result) override;
        LatestTextRelay* relay = nullptr;  // set before anything connects
        ReceiveTally* tally = nullptr;     // set before anything connects
    };
    RelayObserver m_observer;  // declared before the session, which it outlives
    // Every message of the long connection since the start, for the event browser; declared
    // before the session, which fills it.
    LiveTraffic m_traffic;

    // The device session, and the window's names for the stored parts of the last short-mode
    // click, which the session keeps.
    DeviceSession m_session;
    const std::string& m_strInterface = m_session.Choice().strInterface;
    const std::string& m_strPairInterface = m_session.Choice().strPairInterface;
    const std::string& m_strBody = m_session.Choice().strBody;
    const std::string& m_strHost = m_session.Choice().strHost;
    const std::string& m_strAuth = m_session.Choice().strAuth;
};
