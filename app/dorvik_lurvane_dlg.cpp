#include "app/dorvik_lurvane_dlg.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

#include "app/control_ids.h"
#include "app/dialog_seam.h"
#include "app/display_form.h"
#include "app/latest_text_relay.h"
#include "app/request_text.h"
#include "catalogue/builtin_interfaces.h"
#include "request/http_post.h"
#include "request/long_connection.h"
#include "request/long_request.h"
#include "request/short_request.h"

namespace {
// Least time the window keeps for itself between two texts of the receive thread.
constexpr int kResultRestMs = 250;

const QString kChangeAccountCaption = QStringLiteral("Change IP/username/password");
const QString kChangePortCaption = QStringLiteral("Change Port");
const QString kChangeOkCaption = QStringLiteral("Change OK");
const QString kSelectInterfaceText = QStringLiteral("Please select the interface!");
const QString kShortSendFailText =
    QStringLiteral("Send fail, Please Check the IP/Username/Password/ShortPort !");
}  // namespace

CDorvik_LurvaneDlg::CDorvik_LurvaneDlg(const std::string& programFolder, QWidget* parent)
    : QDialog(parent), m_strProgramFolder(programFolder), m_log(programFolder) {
    CreateControls();
    m_relay = new LatestTextRelay(this, kResultRestMs, kLongResponseBounds);
    m_observer = std::make_unique<RelayObserver>(m_relay);
    ReceiveContext context;
    context.programFolder = m_strProgramFolder;
    context.log = &m_log;
    context.serverAddress = &m_serverAddress;
    context.observer = m_observer.get();
    m_long = std::make_unique<LongConnection>(context);
    connect(m_relay, &LatestTextRelay::delivered, m_editResult, &QPlainTextEdit::setPlainText);

    connect(m_comboModule, &QComboBox::activated, this, &CDorvik_LurvaneDlg::OnCbnSelchangeModule);
    connect(m_btnShortSend, &QPushButton::clicked, this, &CDorvik_LurvaneDlg::OnShortSend);
    connect(m_listInterface, &QTableWidget::clicked, this,
            &CDorvik_LurvaneDlg::OnClickInterfaceList);
    connect(m_editIp, &QLineEdit::textChanged, this, &CDorvik_LurvaneDlg::OnEnChangeIp);
    connect(m_btnPairSend, &QPushButton::clicked, this, &CDorvik_LurvaneDlg::OnPairSend);
    connect(m_editUser, &QLineEdit::textChanged, this, &CDorvik_LurvaneDlg::OnEnChangeAccount);
    connect(m_editPassword, &QLineEdit::textChanged, this, &CDorvik_LurvaneDlg::OnEnChangeAccount);
    connect(m_editLongPort, &QLineEdit::textChanged, this, &CDorvik_LurvaneDlg::OnEnChangeAccount);
    connect(m_btnLongSend, &QPushButton::clicked, this, &CDorvik_LurvaneDlg::OnLongSend);
    connect(m_btnSelectProtocol, &QPushButton::clicked, this,
            &CDorvik_LurvaneDlg::OnSelectProtocol);
    connect(m_radioLong, &QRadioButton::clicked, this, &CDorvik_LurvaneDlg::OnBnClickedLongConnect);
    connect(m_radioShort, &QRadioButton::clicked, this,
            &CDorvik_LurvaneDlg::OnBnClickedShortConnect);
    connect(m_btnChangeAccount, &QPushButton::clicked, this,
            &CDorvik_LurvaneDlg::OnBnClickedChangeAccount);
    connect(m_btnChangePort, &QPushButton::clicked, this,
            &CDorvik_LurvaneDlg::OnBnClickedChangePort);
    connect(m_editRequest, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_bSettingEditor)
            m_bEditorPristine = false;
    });

    // Initial states of the layout.
    for (QWidget* field :
         {static_cast<QWidget*>(m_editIp), static_cast<QWidget*>(m_editUser),
          static_cast<QWidget*>(m_editPassword), static_cast<QWidget*>(m_editLongPort),
          static_cast<QWidget*>(m_editShortPort)}) {
        field->setEnabled(false);
    }
    m_btnShortSend->setEnabled(false);

    OnInitDialog();
}

CDorvik_LurvaneDlg::~CDorvik_LurvaneDlg() {
    OnDestroy();
}

void CDorvik_LurvaneDlg::OnInitDialog() {
    UpdateData(false);
    setWindowTitle(QStringLiteral("Tessaly 3.0.0.6"));
    BuildCatalogue();
    SetPairPaneEnabled(false);
    m_editUser->setText(QString::fromUtf8(kDefaultUser));
    m_editPassword->setText(QString::fromUtf8(kDefaultPassword));
    m_editIp->setText(QString::fromUtf8(kDefaultIp));
    m_editLongPort->setText(QString::fromUtf8(kDefaultLongPort));
    m_editShortPort->setText(QString::fromUtf8(kDefaultShortPort));
    m_btnSelectProtocol->setText(QStringLiteral("Select Protocol"));
    m_btnLongSend->setText(QStringLiteral("Long connect send"));
    m_btnShortSend->setText(QStringLiteral("Short connect send"));
    m_radioLong->setText(QStringLiteral("Long connect"));
    m_radioShort->setText(QStringLiteral("Short connect"));
    UpdateData(false);
}

void CDorvik_LurvaneDlg::OnDestroy() {
    if (m_bDestroyed)
        return;
    m_bDestroyed = true;
    DisconnectLong();
    if (m_shortThread.joinable())
        m_shortThread.join();
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
    m_btnChangeAccount->setText(kChangeAccountCaption);
    m_btnChangePort->setText(kChangePortCaption);
}

std::string CDorvik_LurvaneDlg::RequestEditorBytes() const {
    if (m_bEditorPristine)
        return m_strEditorRequest;
    return EditedTextToRequestBytes(m_editRequest->toPlainText());
}

void CDorvik_LurvaneDlg::SetRequestEditorBytes(const std::string& bytes) {
    m_bSettingEditor = true;
    m_editRequest->setPlainText(BytesForDisplay(bytes));
    m_bSettingEditor = false;
    m_strEditorRequest = bytes;
    m_bEditorPristine = true;
}

// ---- Catalogue and module choice ----

void CDorvik_LurvaneDlg::BuildCatalogue() {
    UpdateData(true);
    m_listInterface->setRowCount(0);
    m_comboModule->clear();
    m_catalogue.Build(m_nConnMode, m_strProgramFolder);
    for (const ModuleEntry& module : m_catalogue.Modules()) {
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
            m_catalogue.ListItems(m_nConnMode, m_strProgramFolder, m_strModule, moduleId);
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
    UpdateData(true);
    BuildCatalogue();
    UpdateData(false);
    m_btnShortSend->setEnabled(!m_bShortBusy);
    m_btnLongSend->setEnabled(false);
}

void CDorvik_LurvaneDlg::OnBnClickedChangeAccount() {
    const bool unlock = m_btnChangeAccount->text() == kChangeAccountCaption;
    m_editIp->setEnabled(unlock);
    m_editUser->setEnabled(unlock);
    m_editPassword->setEnabled(unlock);
    m_btnChangeAccount->setText(unlock ? kChangeOkCaption : kChangeAccountCaption);
}

void CDorvik_LurvaneDlg::OnBnClickedChangePort() {
    const bool unlock = m_btnChangePort->text() == kChangePortCaption;
    m_editLongPort->setEnabled(unlock);
    m_editShortPort->setEnabled(unlock);
    m_btnChangePort->setText(unlock ? kChangeOkCaption : kChangePortCaption);
}

void CDorvik_LurvaneDlg::OnEnChangeIp() {
    DisconnectLong();
    SetRequestEditorBytes(std::string());
    m_editResult->clear();
    m_editPairRequest->clear();
    m_editPairResult->clear();
    SetPairPaneEnabled(false);
    m_comboModule->setCurrentIndex(-1);
    m_listInterface->setRowCount(0);
}

void CDorvik_LurvaneDlg::OnEnChangeAccount() {
    DisconnectLong();
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
    const ShortRequest request =
        ComposeShortRequest(m_catalogue.Find(itemText), itemText, ControlText(ControlId::kIp),
                            ControlText(ControlId::kShortPort), ControlText(ControlId::kUser),
                            ControlText(ControlId::kPassword));
    m_editResult->clear();
    m_editPairRequest->clear();
    m_editPairResult->clear();
    SetPairPaneEnabled(false);
    m_strInterface = request.strInterface;
    m_strPairInterface = request.strPairInterface;
    m_strBody = request.strBody;
    m_strHost = request.strHost;
    m_strAuth = request.strAuth;
    SetRequestEditorBytes(request.preview);
}

void CDorvik_LurvaneDlg::ClickInLongMode(const std::string& itemText) {
    m_strProtocolFile = LongRequestFilePath(m_strProgramFolder, m_strModule, itemText);
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
    std::string request;
    if (::PrepareLongRequest(m_strProtocolFile, m_strIp, name, ControlText(ControlId::kUser),
                             ControlText(ControlId::kPassword), ServerAddressCopy(),
                             request) == 0) {
        SetRequestEditorBytes(request);
    }
}

// ---- Short connection ----

void CDorvik_LurvaneDlg::SetPairPaneEnabled(bool enabled) {
    m_bPairPaneEnabled = enabled;
    m_editPairRequest->setEnabled(enabled);
    m_editPairResult->setEnabled(enabled);
    m_btnPairSend->setEnabled(enabled && !m_bShortBusy);
}

void CDorvik_LurvaneDlg::SetShortBusy(bool busy) {
    m_bShortBusy = busy;
    m_labelStatus->setText(busy ? QStringLiteral("Sending request...") : QString());
    m_btnShortSend->setEnabled(!busy && m_radioShort->isChecked());
    m_btnPairSend->setEnabled(!busy && m_bPairPaneEnabled);
}

void CDorvik_LurvaneDlg::OnShortSend() {
    if (m_bShortBusy)
        return;
    LockConnectionFields();
    DisconnectLong();
    m_editPairRequest->clear();
    if (m_strInterface.empty()) {
        DialogSeam::information(this, kSelectInterfaceText);
        return;
    }
    m_editPairRequest->clear();
    m_editPairResult->clear();
    m_editResult->clear();
    StartShortTransfer(false, m_strInterface, m_strBody);
}

void CDorvik_LurvaneDlg::OnPairSend() {
    if (m_bShortBusy)
        return;
    if (m_strPairInterface.empty()) {
        DialogSeam::information(this, kSelectInterfaceText);
        return;
    }
    m_editPairResult->clear();
    const std::string request = EditedTextToRequestBytes(m_editPairRequest->toPlainText());
    StartShortTransfer(true, m_strPairInterface, BodyAfterBlankLine(request));
}

void CDorvik_LurvaneDlg::StartShortTransfer(bool pair, std::string path, std::string body) {
    // The controls are read now; the post runs on its own thread so the window keeps painting.
    const std::string ip = ControlText(ControlId::kIp);
    const std::string port = ControlText(ControlId::kShortPort);
    const std::string user = ControlText(ControlId::kUser);
    const std::string password = ControlText(ControlId::kPassword);
    if (m_shortThread.joinable())
        m_shortThread.join();
    SetShortBusy(true);
    m_shortThread = std::thread(
        [this, pair, ip, port, user, password, path = std::move(path), body = std::move(body)] {
            std::string response;
            const int ok = HttpPost(ip, port, user, password, path, body, response);
            // The box's text is made here, so a very large answer costs the window nothing.
            QString shown = DisplayForm(response, kShortAnswerBounds);
            QMetaObject::invokeMethod(
                this,
                [this, pair, ok, path, response = std::move(response), shown = std::move(shown)] {
                    FinishShortTransfer(pair, ok, response, shown, path);
                },
                Qt::QueuedConnection);
        });
}

void CDorvik_LurvaneDlg::FinishShortTransfer(bool pair, int ok, const std::string& response,
                                             const QString& shown, const std::string& path) {
    if (m_shortThread.joinable())
        m_shortThread.join();
    SetShortBusy(false);
    if (!ok)
        DialogSeam::information(this, kShortSendFailText);
    if (pair) {
        m_editPairResult->setPlainText(shown);
    } else {
        m_editResult->setPlainText(shown);
        if (const API_INTERFACE* record = m_catalogue.FindByPrefix(path)) {
            m_strPairInterface = record->strPairName;
        }
        if (ok && !m_strPairInterface.empty()) {
            SetPairPaneEnabled(true);
            if (path.find("/1") != std::string::npos)
                m_strPairInterface += "/1";
            // The partner's request carries the answer just received, so the setting can be
            // edited in place and sent back.
            const std::string body = WithCrLfLineEnds(response);
            m_editPairRequest->setPlainText(BytesForDisplay(
                FormatShortRequestHeader(m_strPairInterface, m_strAuth, m_strHost, body)));
        }
    }
    emit shortSendFinished();
}
