#include "app/dorvik_lurvane_dlg.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
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
#include "request/long_request.h"
#include "session/request_text.h"
#include "tessaly_version.h"

namespace {
// Least time the window keeps for itself between two texts of the receive thread.
constexpr int kResultRestMs = 250;

const QString kChangeAccountCaption = QStringLiteral("Change IP/username/password");
const QString kChangePortCaption = QStringLiteral("Change Port");
const QString kChangeOkCaption = QStringLiteral("Change OK");
}  // namespace

CDorvik_LurvaneDlg::CDorvik_LurvaneDlg(const std::string& programFolder, QWidget* parent)
    : QDialog(parent), m_session(programFolder, &m_observer) {
    CreateControls();
    m_relay = new LatestTextRelay(this, kResultRestMs, kLongResponseBounds);
    m_observer.relay = m_relay;
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
    connect(m_menuDevices, &QMenu::aboutToShow, this, [this] {
        m_devices.Reload();  // another window or program may have changed the list
        RebuildDevicesMenu();
    });
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
    m_session.CloseLog();
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
    SyncSettings();
    const ShortRequest& request = m_session.Choose(itemText);
    m_editResult->clear();
    m_editPairRequest->clear();
    m_editPairResult->clear();
    SetPairPaneEnabled(false);
    SetRequestEditorBytes(request.preview);
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
    }
}

void CDorvik_LurvaneDlg::SyncSettings() {
    ConnectionSettings& s = m_session.Settings();
    s.ip = ControlText(ControlId::kIp);
    s.user = ControlText(ControlId::kUser);
    s.password = ControlText(ControlId::kPassword);
    s.longPort = ControlText(ControlId::kLongPort);
    s.shortPort = ControlText(ControlId::kShortPort);
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
    SyncSettings();
    std::optional<ShortPlan> plan = m_session.PlanShortSend();
    if (!plan) {
        DialogSeam::information(this, QString::fromUtf8(kSelectInterfaceText));
        return;
    }
    m_editPairRequest->clear();
    m_editPairResult->clear();
    m_editResult->clear();
    StartShortTransfer(std::move(*plan));
}

void CDorvik_LurvaneDlg::OnPairSend() {
    if (m_bShortBusy)
        return;
    SyncSettings();
    std::optional<ShortPlan> plan =
        m_session.PlanPairSend(EditedTextToRequestBytes(m_editPairRequest->toPlainText()));
    if (!plan) {
        DialogSeam::information(this, QString::fromUtf8(kSelectInterfaceText));
        return;
    }
    m_editPairResult->clear();
    StartShortTransfer(std::move(*plan));
}

void CDorvik_LurvaneDlg::StartShortTransfer(ShortPlan plan) {
    // The plan holds the controls' texts as read now; the post runs on its own thread so the
    // window keeps painting.
    if (m_shortThread.joinable())
        m_shortThread.join();
    SetShortBusy(true);
    m_shortThread = std::thread([this, plan = std::move(plan)] {
        HttpOutcome outcome = PostShort(plan);
        // The box's text is made here, so a very large answer costs the window nothing.
        QString shown = DisplayForm(outcome.body, kShortAnswerBounds);
        QMetaObject::invokeMethod(
            this,
            [this, plan, outcome = std::move(outcome), shown = std::move(shown)] {
                FinishShortTransfer(plan, outcome, shown);
            },
            Qt::QueuedConnection);
    });
}

void CDorvik_LurvaneDlg::FinishShortTransfer(const ShortPlan& plan, const HttpOutcome& outcome,
                                             const QString& shown) {
    if (m_shortThread.joinable())
        m_shortThread.join();
    SetShortBusy(false);
    if (!outcome.completed)
        DialogSeam::information(this, QString::fromUtf8(kShortSendFailText));
    else if (outcome.status != 401)  // the device knows the user: worth remembering
        RememberDevice(plan.settings);
    if (plan.pair) {
        m_editPairResult->setPlainText(shown);
    } else {
        m_editResult->setPlainText(shown);
        const PairPane pane = m_session.FinishShortSend(plan, outcome);
        if (pane.open) {
            SetPairPaneEnabled(true);
            m_editPairRequest->setPlainText(BytesForDisplay(pane.request));
        }
    }
    emit shortSendFinished();
}
