#include "app/dorvik_lurvane_dlg.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTableWidget>
#include <QTextBlock>
#include <QTimer>

#include "app/answer_box.h"
#include "app/box_look.h"
#include "app/control_ids.h"
#include "app/core_texts.h"
#include "app/dialog_seam.h"
#include "app/display_form.h"
#include "app/edit_tracker.h"
#include "app/event_browser.h"
#include "app/latest_text_relay.h"
#include "app/request_text.h"
#include "app/status_strip.h"
#include "catalogue/builtin_interfaces.h"
#include "net/known_devices.h"
#include "request/long_request.h"
#include "session/request_text.h"
#include "tessaly_version.h"

namespace {
// Least time the window keeps for itself between two texts of the receive thread.
constexpr int kResultRestMs = 250;

// The toggles' captions in the window's language; a toggle's state is read from its caption.
QString ChangeAccountCaption() {
    return CDorvik_LurvaneDlg::tr("Change IP/username/password");
}
QString ChangePortCaption() {
    return CDorvik_LurvaneDlg::tr("Change Port");
}
QString ChangeOkCaption() {
    return CDorvik_LurvaneDlg::tr("Change OK");
}

// Said once, quietly, where an edited request is posted: libcurl writes the headers.
const char kEditedShortNote[] =
    QT_TRANSLATE_NOOP("CDorvik_LurvaneDlg",
                      "; edited request: its path and body were sent, libcurl wrote the headers");
}  // namespace

namespace {

// The strip's line after a short post (ShortOutcomeLine) in the window's language; the
// device's status text and libcurl's reason stay as they came.
QString ShortOutcomeText(const HttpOutcome& outcome) {
    const QString time = CDorvik_LurvaneDlg::tr("%1 ms").arg(outcome.elapsedMs);
    if (!outcome.completed) {
        return CDorvik_LurvaneDlg::tr("Failed after %1: %2")
            .arg(time, QString::fromStdString(outcome.error));
    }
    const QString status = outcome.status != 0 ? QString::fromStdString(outcome.StatusText())
                                               : CDorvik_LurvaneDlg::tr("no status");
    const QString auth = outcome.auth.empty() ? CDorvik_LurvaneDlg::tr("no authentication")
                                              : QString::fromStdString(outcome.auth);
    return CDorvik_LurvaneDlg::tr("%1, %2, %3, %4")
        .arg(status, time,
             CDorvik_LurvaneDlg::ByteCountInWindow(static_cast<long long>(outcome.Bytes())), auth);
}
}  // namespace

// The results of one short post, made on the transfer thread so that a large answer costs the
// window's thread nothing but showing them.
struct CDorvik_LurvaneDlg::ShortResult {
    ShortPlan plan;
    bool edited = false;
    HttpOutcome outcome;
    std::shared_ptr<const std::string> bytes;  // the answer's body, whole
    QString shown;                             // its display form
    bool shortened = false;
    PairPane pane;
    QString paneText;
    std::unique_ptr<QTextDocument> paneDocument;  // paneText, made for the paired request box
    QString line;                                 // the status strip's line
};

QString CDorvik_LurvaneDlg::ByteCountInWindow(long long bytes) {
    const std::string text = ByteCountText(bytes);
    const std::string number = text.substr(0, text.find(' '));
    if (text.size() > 3 && text.compare(text.size() - 3, 3, " MB") == 0)
        return tr("%1 MB").arg(QString::fromStdString(number));
    return (bytes == 1 ? tr("%1 byte") : tr("%1 bytes")).arg(QString::fromStdString(number));
}

CDorvik_LurvaneDlg::CDorvik_LurvaneDlg(const std::string& programFolder, QWidget* parent)
    : QDialog(parent),
      m_traffic(programFolder, TrafficLogPath(programFolder)),
      m_session(programFolder, &m_observer, m_traffic.Inbox()) {
    CreateControls();
    m_relay = new LatestTextRelay(this, kResultRestMs, kLongResponseBounds);
    m_observer.relay = m_relay;
    m_observer.tally = &m_session.Tally();
    connect(m_relay, &LatestTextRelay::delivered, this, [this](const QString& text) {
        m_editResult->SetAnswer(m_relay->DeliveredBytes(), text, m_relay->DeliveredShortened());
        m_editResult->SetSuggestedName(QStringLiteral("message.xml"));
    });

    connect(m_comboModule, &QComboBox::activated, this, &CDorvik_LurvaneDlg::OnCbnSelchangeModule);
    connect(m_btnShortSend, &QPushButton::clicked, this, &CDorvik_LurvaneDlg::OnShortSend);
    connect(m_listInterface, &QTableWidget::clicked, this,
            &CDorvik_LurvaneDlg::OnClickInterfaceList);
    // Enter (activated) and a move of the current row by key do what a click does; a mouse
    // press moves the row too, and its click follows.
    connect(m_listInterface, &QTableWidget::activated, this,
            &CDorvik_LurvaneDlg::OnClickInterfaceList);
    connect(m_listInterface->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] {
                if (QApplication::mouseButtons() == Qt::NoButton)
                    OnClickInterfaceList();
            });
    connect(m_editIp, &QLineEdit::textChanged, this, &CDorvik_LurvaneDlg::OnEnChangeIp);
    connect(m_btnPairSend, &QPushButton::clicked, this, &CDorvik_LurvaneDlg::OnPairSend);
    connect(m_editUser, &QLineEdit::textChanged, this, &CDorvik_LurvaneDlg::OnEnChangeAccount);
    connect(m_editPassword, &QLineEdit::textChanged, this, &CDorvik_LurvaneDlg::OnEnChangeAccount);
    connect(m_editLongPort, &QLineEdit::textChanged, this, &CDorvik_LurvaneDlg::OnEnChangeAccount);
    connect(m_checkTls, &QCheckBox::toggled, this, &CDorvik_LurvaneDlg::OnTlsToggled);
    connect(m_btnStop, &QPushButton::clicked, this, &CDorvik_LurvaneDlg::CancelShortTransfer);
    connect(m_btnLongSend, &QPushButton::clicked, this, &CDorvik_LurvaneDlg::OnLongSend);
    connect(m_btnEvents, &QPushButton::clicked, this, &CDorvik_LurvaneDlg::OnEvents);
    auto* events = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_E), this);
    connect(events, &QShortcut::activated, this, &CDorvik_LurvaneDlg::OnEvents);
    connect(m_btnSelectProtocol, &QPushButton::clicked, this,
            &CDorvik_LurvaneDlg::OnSelectProtocol);
    connect(m_radioLong, &QRadioButton::clicked, this, &CDorvik_LurvaneDlg::OnBnClickedLongConnect);
    connect(m_radioShort, &QRadioButton::clicked, this,
            &CDorvik_LurvaneDlg::OnBnClickedShortConnect);
    connect(m_btnChangeAccount, &QPushButton::clicked, this,
            &CDorvik_LurvaneDlg::OnBnClickedChangeAccount);
    connect(m_btnChangePort, &QPushButton::clicked, this,
            &CDorvik_LurvaneDlg::OnBnClickedChangePort);
    connect(m_menuDevices, &QMenu::aboutToShow, this, [this] {
        m_devices.Reload();  // another window or program may have changed the list
        RebuildDevicesMenu();
    });
    m_editorEdits = new EditTracker(m_editRequest);
    m_pairEdits = new EditTracker(m_editPairRequest);
    connect(m_editPairRequest, &QPlainTextEdit::textChanged, this,
            &CDorvik_LurvaneDlg::UpdatePairSendEnabled);
    connect(m_editResult, &AnswerBox::saveRequested, this,
            [this] { OnSaveAnswer(ControlId::kResult); });
    connect(m_editPairResult, &AnswerBox::saveRequested, this,
            [this] { OnSaveAnswer(ControlId::kPairResult); });
    m_editRequest->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_editRequest, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        std::unique_ptr<QMenu> menu(m_editRequest->createStandardContextMenu(at));
        menu->addSeparator();
        QAction* curl =
            menu->addAction(tr("Copy as curl"), this, &CDorvik_LurvaneDlg::OnCopyAsCurl);
        curl->setEnabled(!ShortCurlCommand().empty());
        menu->exec(m_editRequest->viewport()->mapToGlobal(at));
    });
    m_longStripTimer = new QTimer(this);
    m_longStripTimer->setInterval(250);
    connect(m_longStripTimer, &QTimer::timeout, this, &CDorvik_LurvaneDlg::UpdateLongStrip);
    CreateShortcuts();

    // Initial states of the layout.
    for (QWidget* field :
         {static_cast<QWidget*>(m_editIp), static_cast<QWidget*>(m_editUser),
          static_cast<QWidget*>(m_editPassword), static_cast<QWidget*>(m_editLongPort),
          static_cast<QWidget*>(m_editShortPort), static_cast<QWidget*>(m_checkTls)}) {
        field->setEnabled(false);
    }
    m_btnShortSend->setEnabled(false);

    OnInitDialog();
    RebuildDevicesMenu();
}

CDorvik_LurvaneDlg::~CDorvik_LurvaneDlg() {
    OnDestroy();
}

void CDorvik_LurvaneDlg::OnInitDialog() {
    UpdateData(false);
    setWindowTitle(QStringLiteral("Tessaly ") + QString::fromLatin1(kTessalyVersion));
    BuildCatalogue();
    SetPairPaneEnabled(false);
    m_editUser->setText(QString::fromUtf8(kDefaultUser));
    m_editPassword->setText(QString::fromUtf8(kDefaultPassword));
    m_editIp->setText(QString::fromUtf8(kDefaultIp));
    m_editLongPort->setText(QString::fromUtf8(kDefaultLongPort));
    m_editShortPort->setText(QString::fromUtf8(kDefaultShortPort));
    m_btnSelectProtocol->setText(tr("Select Protocol"));
    m_btnLongSend->setText(tr("Long connect send"));
    m_btnShortSend->setText(tr("Short connect send"));
    m_radioLong->setText(tr("Long connect"));
    m_radioShort->setText(tr("Short connect"));
    UpdateData(false);
}

void CDorvik_LurvaneDlg::OnDestroy() {
    if (m_bDestroyed)
        return;
    m_bDestroyed = true;
    delete m_browser;  // before the rows it shows
    m_browser = nullptr;
    DisconnectLong();  // gives up a long send that is still connecting
    m_session.CloseLog();
    if (m_shortCancel)
        m_shortCancel->Cancel();  // the post ends within one of its ticks
    if (m_shortThread.joinable())
        m_shortThread.join();
    if (m_saveThread.joinable())
        m_saveThread.join();
}

void CDorvik_LurvaneDlg::UpdateData(bool bSaveAndValidate) {
    if (bSaveAndValidate) {
        m_nConnMode = m_radioLong->isChecked()    ? kConnLong
                      : m_radioShort->isChecked() ? kConnShort
                                                  : -1;
        m_strModule = m_comboModule->currentText().toStdString();
        return;
    }
    // An exclusive group cannot show "neither checked": lift exclusivity while writing.
    m_groupMode->setExclusive(false);
    m_radioLong->setChecked(m_nConnMode == kConnLong);
    m_radioShort->setChecked(m_nConnMode == kConnShort);
    m_groupMode->setExclusive(true);
    if (m_strModule.empty()) {
        m_comboModule->setCurrentIndex(-1);
    } else {
        const int index = m_comboModule->findText(QString::fromStdString(m_strModule),
                                                  Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index >= 0)
            m_comboModule->setCurrentIndex(index);
    }
}

std::string CDorvik_LurvaneDlg::ControlText(int id) const {
    if (const auto* edit = findChild<const QLineEdit*>(ControlName(id))) {
        return edit->text().toStdString();
    }
    return std::string();
}

void CDorvik_LurvaneDlg::LockConnectionFields() {
    m_editIp->setEnabled(false);
    m_editUser->setEnabled(false);
    m_editPassword->setEnabled(false);
    m_editLongPort->setEnabled(false);
    m_editShortPort->setEnabled(false);
    m_checkTls->setEnabled(false);
    m_btnChangeAccount->setText(ChangeAccountCaption());
    m_btnChangePort->setText(ChangePortCaption());
}

bool CDorvik_LurvaneDlg::RequestEditorPristine() const {
    return m_editorEdits->Pristine();
}

std::string CDorvik_LurvaneDlg::RequestEditorBytes() const {
    if (RequestEditorPristine())
        return m_strEditorRequest;
    return EditedTextToRequestBytes(m_editRequest->toPlainText());
}

void CDorvik_LurvaneDlg::SetRequestEditorBytes(const std::string& bytes) {
    const QString shown = BytesForDisplay(bytes);
    m_editorEdits->SetByTool(shown, [&] { m_lookRequest->SetText(shown); });
    m_strEditorRequest = bytes;
}

void CDorvik_LurvaneDlg::SetPairRequestText(const std::string& bytes, const QString& shown) {
    m_pairEdits->SetByTool(shown, [&] { m_lookPairRequest->SetText(shown); });
    m_strPairRequest = bytes;
    UpdatePairSendEnabled();
}

std::shared_ptr<const std::string> CDorvik_LurvaneDlg::AnswerBytes(int id) const {
    const AnswerBox* box = AnswerBoxOf(id);
    return box ? box->Bytes() : nullptr;
}

AnswerBox* CDorvik_LurvaneDlg::AnswerBoxOf(int id) const {
    return id == ControlId::kResult       ? m_editResult
           : id == ControlId::kPairResult ? m_editPairResult
                                          : nullptr;
}

StatusStrip* CDorvik_LurvaneDlg::StripOf(int id) const {
    return id == ControlId::kPairResult ? m_stripPairResult : m_stripResult;
}

// ---- Catalogue and module choice ----

void CDorvik_LurvaneDlg::BuildCatalogue() {
    UpdateData(true);
    m_listInterface->setRowCount(0);
    m_comboModule->clear();
    m_session.BuildCatalogue(m_nConnMode);
    for (const ModuleEntry& module : m_session.GetCatalogue().Modules()) {
        m_comboModule->addItem(QString::fromStdString(module.name), module.id);
    }
    // Filling the combo must not choose an entry: the choice comes from the exchange only.
    m_comboModule->setCurrentIndex(-1);
    UpdateData(false);
}

void CDorvik_LurvaneDlg::OnCbnSelchangeModule() {
    UpdateData(true);
    if (m_nConnMode == kConnLong || m_nConnMode == kConnShort) {
        const int index = m_comboModule->currentIndex();
        const int moduleId = index >= 0 ? m_comboModule->itemData(index).toInt() : kNoModuleId;
        const std::vector<std::string> items =
            m_session.ListItems(m_nConnMode, m_strModule, moduleId);
        m_listInterface->setRowCount(0);
        m_listInterface->setRowCount(static_cast<int>(items.size()));
        for (size_t row = 0; row < items.size(); ++row) {
            m_listInterface->setItem(static_cast<int>(row), 0,
                                     new QTableWidgetItem(QString::fromStdString(items[row])));
        }
    }
    UpdateData(false);
}

// ---- Connection settings ----

void CDorvik_LurvaneDlg::OnBnClickedLongConnect() {
    UpdateData(true);
    BuildCatalogue();
    UpdateData(false);
    m_btnShortSend->setEnabled(false);
    m_btnLongSend->setEnabled(true);
}

void CDorvik_LurvaneDlg::OnBnClickedShortConnect() {
    // Short mode gives up a long send that is still connecting or sending.
    if (m_session.LongSendRunning())
        DisconnectLong();
    UpdateData(true);
    BuildCatalogue();
    UpdateData(false);
    m_btnShortSend->setEnabled(!m_bShortBusy);
    m_btnLongSend->setEnabled(false);
}

void CDorvik_LurvaneDlg::OnBnClickedChangeAccount() {
    const bool unlock = m_btnChangeAccount->text() == ChangeAccountCaption();
    m_editIp->setEnabled(unlock);
    m_editUser->setEnabled(unlock);
    m_editPassword->setEnabled(unlock);
    m_btnChangeAccount->setText(unlock ? ChangeOkCaption() : ChangeAccountCaption());
    if (!unlock)
        RefreshUneditedRequests();
}

void CDorvik_LurvaneDlg::OnBnClickedChangePort() {
    const bool unlock = m_btnChangePort->text() == ChangePortCaption();
    m_editLongPort->setEnabled(unlock);
    m_editShortPort->setEnabled(unlock);
    m_checkTls->setEnabled(unlock);
    m_btnChangePort->setText(unlock ? ChangeOkCaption() : ChangePortCaption());
    if (!unlock)
        RefreshUneditedRequests();
}

void CDorvik_LurvaneDlg::RefreshUneditedRequests() {
    // "Change OK": requests that nobody edited get the Host and credentials of the fields.
    SyncSettings();
    const bool editorPristine = RequestEditorPristine();
    if (editorPristine && m_editorSource == EditorSource::ShortChoice &&
        m_session.RefreshChoice()) {
        SetRequestEditorBytes(m_session.Choice().preview);
    } else if (editorPristine && m_editorSource == EditorSource::LongFile) {
        m_strIp = ControlText(ControlId::kIp);
        PrepareLongRequest(SubscriptionInterfaceName(m_strProtocolFile));
    }
    if (m_pairEdits->Pristine() && m_bPairPaneEnabled) {
        const std::string pair = m_session.PairRequest(BodyAfterBlankLine(m_strPairRequest));
        if (!pair.empty())
            SetPairRequestText(pair, BytesForDisplay(pair));
    }
}

void CDorvik_LurvaneDlg::OnEnChangeIp() {
    DisconnectLong();
    SetRequestEditorBytes(std::string());
    m_editorSource = EditorSource::None;
    m_editResult->ClearAnswer();
    SetPairRequestText(std::string(), QString());
    m_editPairResult->ClearAnswer();
    SetPairPaneEnabled(false);
    m_comboModule->setCurrentIndex(-1);
    m_listInterface->setRowCount(0);
}

void CDorvik_LurvaneDlg::OnEnChangeAccount() {
    DisconnectLong();
}

void CDorvik_LurvaneDlg::OnTlsToggled() {
    DisconnectLong();
}

void CDorvik_LurvaneDlg::CancelShortTransfer() {
    if (m_bShortBusy && m_shortCancel)
        m_shortCancel->Cancel();
}

void CDorvik_LurvaneDlg::TrustForThisRun(const std::string& pin) {
    m_session.Settings().trust = TlsTrust{pin, false};
}

// ---- Interface list and request files ----

void CDorvik_LurvaneDlg::OnClickInterfaceList() {
    const QModelIndexList rows = m_listInterface->selectionModel()->selectedRows(0);
    if (rows.isEmpty())
        return;
    int first = rows.front().row();
    for (const QModelIndex& index : rows)
        first = std::min(first, index.row());
    const QTableWidgetItem* item = m_listInterface->item(first, 0);
    const std::string text = item ? item->text().toStdString() : std::string();
    if (m_nConnMode == kConnShort) {
        ClickInShortMode(text);
    } else if (m_nConnMode == kConnLong) {
        ClickInLongMode(text);
    }
}

void CDorvik_LurvaneDlg::ClickInShortMode(const std::string& itemText) {
    SyncSettings();
    const ShortRequest& request = m_session.Choose(itemText);
    m_editResult->ClearAnswer();
    SetPairRequestText(std::string(), QString());
    m_editPairResult->ClearAnswer();
    SetPairPaneEnabled(false);
    SetRequestEditorBytes(request.preview);
    m_editorSource = EditorSource::ShortChoice;
}

void CDorvik_LurvaneDlg::ClickInLongMode(const std::string& itemText) {
    m_strProtocolFile = LongRequestFilePath(m_session.Folder(), m_strModule, itemText);
    m_strIp = ControlText(ControlId::kIp);
    PrepareLongRequest(SubscriptionInterfaceName(m_strProtocolFile));
}

void CDorvik_LurvaneDlg::OnSelectProtocol() {
    const QString path = DialogSeam::openFile(this, QStringLiteral("(*.xml)"));
    if (path.isEmpty())
        return;
    m_strProtocolFile = path.toStdString();
    m_strIp = ControlText(ControlId::kIp);
    PrepareLongRequest(SubscriptionInterfaceName(m_strProtocolFile));
}

void CDorvik_LurvaneDlg::PrepareLongRequest(const std::string& name) {
    SyncSettings();
    std::string request;
    if (m_session.PrepareLongRequest(m_strProtocolFile, m_strIp, name, request) ==
        PrepareResult::Ok) {
        SetRequestEditorBytes(request);
        m_editorSource = EditorSource::LongFile;
    }
}

void CDorvik_LurvaneDlg::SyncSettings() {
    ConnectionSettings& s = m_session.Settings();
    s.ip = ControlText(ControlId::kIp);
    s.user = ControlText(ControlId::kUser);
    s.password = ControlText(ControlId::kPassword);
    s.longPort = ControlText(ControlId::kLongPort);
    s.shortPort = ControlText(ControlId::kShortPort);
    s.tls = m_checkTls->isChecked();
    s.knownDevices = KnownDevices::DefaultPath();
}

// ---- Short connection ----

void CDorvik_LurvaneDlg::SetPairPaneEnabled(bool enabled) {
    m_bPairPaneEnabled = enabled;
    m_editPairRequest->setEnabled(enabled);
    m_editPairResult->setEnabled(enabled);
    UpdatePairSendEnabled();
}

void CDorvik_LurvaneDlg::UpdatePairSendEnabled() {
    // The pane's Send posts the path of the pane's request line: without one there is none.
    const bool requestLine =
        m_editPairRequest->document()->firstBlock().text().startsWith(QLatin1String("POST /"));
    m_btnPairSend->setEnabled(m_bPairPaneEnabled && !m_bShortBusy && requestLine);
}

void CDorvik_LurvaneDlg::SetShortBusy(bool busy) {
    m_bShortBusy = busy;
    m_labelStatus->setText(busy ? tr("Sending request...") : QString());
    m_btnShortSend->setEnabled(!busy && m_radioShort->isChecked());
    // Stop takes the send button's place while a post runs; the focus goes with it, so that
    // Enter never lands on a button that a post just disabled.
    const bool stopHadFocus = m_btnStop->hasFocus();
    m_btnShortSend->setVisible(!busy);
    m_btnStop->setVisible(busy);
    if (busy && m_btnShortSend->hasFocus())
        m_btnStop->setFocus();
    else if (!busy && stopHadFocus)
        m_btnShortSend->setFocus();
    UpdatePairSendEnabled();
}

void CDorvik_LurvaneDlg::OnShortSend() {
    if (m_bShortBusy)
        return;
    LockConnectionFields();
    DisconnectLong();
    SetPairRequestText(std::string(), QString());
    SyncSettings();
    // While the editor holds what the tool put there the stored request goes out as it always
    // did; an edited one is posted with the path and body it shows.
    ShortPlanResult planned;
    const bool edited = !RequestEditorPristine();
    if (!edited) {
        if (std::optional<ShortPlan> plan = m_session.PlanShortSend()) {
            planned.status = ShortPlanStatus::Ok;
            planned.plan = std::move(*plan);
        }
    } else {
        planned = m_session.PlanEditedShortSend(RequestEditorBytes());
    }
    if (planned.status != ShortPlanStatus::Ok) {
        DialogSeam::information(
            this, CoreText(planned.status == ShortPlanStatus::NoInterface ? kSelectInterfaceText
                                                                          : kNoRequestLineText));
        return;
    }
    SetPairRequestText(std::string(), QString());
    m_editPairResult->ClearAnswer();
    m_editResult->ClearAnswer();
    StartShortTransfer(std::move(planned.plan), edited);
}

void CDorvik_LurvaneDlg::OnPairSend() {
    if (m_bShortBusy)
        return;
    SyncSettings();
    std::optional<ShortPlan> plan =
        m_session.PlanPairSend(EditedTextToRequestBytes(m_editPairRequest->toPlainText()));
    if (!plan) {
        DialogSeam::information(this, CoreText(kSelectInterfaceText));
        return;
    }
    m_editPairResult->ClearAnswer();
    StartShortTransfer(std::move(*plan), false);
}

std::string CDorvik_LurvaneDlg::ShortCurlCommand() {
    if (!m_radioShort->isChecked())
        return std::string();
    SyncSettings();
    if (RequestEditorPristine()) {
        const std::optional<ShortPlan> plan = m_session.PlanShortSend();
        return plan ? ::ShortCurlCommand(*plan) : std::string();
    }
    const ShortPlanResult planned = m_session.PlanEditedShortSend(RequestEditorBytes());
    return planned.status == ShortPlanStatus::Ok ? ::ShortCurlCommand(planned.plan) : std::string();
}

void CDorvik_LurvaneDlg::StartShortTransfer(ShortPlan plan, bool edited) {
    // The plan holds the controls' texts as read now; the post runs on its own thread so the
    // window keeps painting.
    if (m_shortThread.joinable())
        m_shortThread.join();
    SetShortBusy(true);
    StatusStrip* strip = StripOf(plan.pair ? ControlId::kPairResult : ControlId::kResult);
    strip->setText(tr("Sending to %1 ...")
                       .arg(QString::fromStdString(
                           ShortPostUrl(plan.settings.ip, plan.settings.shortPort, plan.path))));
    if (!plan.pair) {
        m_bLongStrip = false;
        m_longStripTimer->stop();
    }
    auto result = std::make_shared<ShortResult>();
    result->plan = std::move(plan);
    result->edited = edited;
    m_shortCancel = std::make_shared<HttpCancel>();
    m_shortThread = std::thread([this, result, cancel = m_shortCancel,
                                 look = m_lookPairRequest->Look(), window = thread()]() mutable {
        ShortResult& r = *result;
        r.outcome = PostShort(r.plan, cancel.get());
        // Everything that grows with the answer is made here: the box's display form and the
        // paired pane's request.
        r.shown = DisplayForm(r.outcome.body, kShortAnswerBounds);
        r.shortened = !FitsDisplayBounds(r.outcome.body, kShortAnswerBounds);
        r.pane = PairPaneAfter(r.plan, r.outcome);
        r.paneText = BytesForDisplay(r.pane.request);
        if (r.pane.open) {
            // A body of megabytes takes longer to lay into a document than a window may wait.
            r.paneDocument = BoxLook::MakeDocument(r.paneText, look);
            r.paneDocument->moveToThread(window);
        }
        r.line = ShortOutcomeText(r.outcome);
        if (r.edited)
            r.line += tr(kEditedShortNote);
        r.bytes = std::make_shared<const std::string>(std::move(r.outcome.body));
        r.outcome.body.clear();
        // The window's thread holds the last reference: the document goes where it lives.
        QMetaObject::invokeMethod(
            this, [this, result = std::move(result)] { FinishShortTransfer(*result); },
            Qt::QueuedConnection);
    });
}

void CDorvik_LurvaneDlg::FinishShortTransfer(ShortResult& result) {
    if (m_shortThread.joinable())
        m_shortThread.join();
    SetShortBusy(false);
    const ShortPlan& plan = result.plan;
    StatusStrip* strip = StripOf(plan.pair ? ControlId::kPairResult : ControlId::kResult);
    if (result.outcome.cancelled) {
        // Given up by the user: said in the strip, no box.
        strip->setText(tr("Cancelled"));
        emit shortSendFinished();
        return;
    }
    if (!result.outcome.completed && plan.settings.tls &&
        OfferTrust(plan.settings, plan.settings.shortPort, result.outcome.tls,
                   result.outcome.fingerprint, result.outcome.error)) {
        // Trusted now: the same post again, with the key just pinned.
        ShortPlan again = plan;
        again.settings.trust = TlsTrust{result.outcome.fingerprint, false};
        StartShortTransfer(std::move(again), result.edited);
        return;
    }
    if (!result.outcome.completed)
        DialogSeam::information(this, CoreText(kShortSendFailText));
    else if (result.outcome.status != 401)  // the device knows the user: worth remembering
        RememberDevice(plan.settings);
    AnswerBox* box = plan.pair ? m_editPairResult : m_editResult;
    box->SetAnswer(result.bytes, result.shown, result.shortened);
    QString name = QString::fromStdString(plan.path);
    box->SetSuggestedName(name.replace(QLatin1Char('/'), QLatin1Char('_')) +
                          QStringLiteral(".xml"));
    strip->setText(result.line);
    if (!plan.pair) {
        m_session.RecordShortSend(plan, result.outcome);
        if (result.pane.open) {
            SetPairPaneEnabled(true);
            m_pairEdits->SetByTool(result.paneText, [&] {
                m_lookPairRequest->AdoptDocument(std::move(result.paneDocument), result.paneText);
            });
            m_strPairRequest = std::move(result.pane.request);
            UpdatePairSendEnabled();
        }
    }
    emit shortSendFinished();
}
