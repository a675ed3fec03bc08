// The long connection of the window: connect, disconnect and "Long connect send".
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "app/control_ids.h"
#include "app/core_texts.h"
#include "app/dialog_seam.h"
#include "app/dorvik_lurvane_dlg.h"
#include "app/event_browser.h"
#include "app/latest_text_relay.h"
#include "app/status_strip.h"
#include "net/host_text.h"
#include "request/long_request.h"
#include "session/long_status.h"

void CDorvik_LurvaneDlg::RelayObserver::OnResponseText(std::string_view text) {
    relay->Post(text);
}

void CDorvik_LurvaneDlg::RelayObserver::OnMessage(const MessageReport& report) {
    tally->Message(report);
}

void CDorvik_LurvaneDlg::RelayObserver::OnRead(std::size_t asked, long result) {
    (void)asked;
    tally->Read(result);
}

void CDorvik_LurvaneDlg::ConnectLong() {
    m_strIp = ControlText(ControlId::kIp);
    SyncSettings();
    std::string reason;
    const ConnectResult result = m_session.ConnectLong(&reason);
    m_strLongFailure = result == ConnectResult::Ok ? std::string() : ConnectFailure(result, reason);
    ShowConnectOutcome(result);
}

std::string CDorvik_LurvaneDlg::ConnectFailure(ConnectResult result,
                                               const std::string& reason) const {
    // The connect's own reason when it gave one (libcurl's or the system's words), else the
    // result's, in the window's language.
    const ConnectionSettings& s = m_session.Settings();
    return tr("connect to %1 failed: %2")
        .arg(QString::fromStdString(s.ip + ":" + s.longPort),
             reason.empty() ? CoreText(ConnectFailureText(result)) : QString::fromStdString(reason))
        .toStdString();
}

void CDorvik_LurvaneDlg::ShowConnectOutcome(ConnectResult result) {
    const QString message = CoreText(ConnectResultMessage(result));
    if (!message.isEmpty())
        DialogSeam::information(this, message);
    switch (ConnectResultFocus(result)) {
        case FocusField::User:
            m_editUser->setFocus();
            break;
        case FocusField::Password:
            m_editPassword->setFocus();
            break;
        case FocusField::Ip:
            m_editIp->setFocus();
            break;
        case FocusField::None:
            break;
    }
}

void CDorvik_LurvaneDlg::DisconnectLong() {
    m_session.DisconnectLong();
    if (m_bLongStrip)
        UpdateLongStrip();
}

void CDorvik_LurvaneDlg::ShowLongStrip() {
    m_bLongStrip = true;
    UpdateLongStrip();
    m_longStripTimer->start();
}

QString CDorvik_LurvaneDlg::LongStripText() {
    const QString failure = QString::fromStdString(m_strLongFailure);
    if (!m_session.LongConnected())
        return failure.isEmpty() ? tr("Not connected") : tr("Not connected: %1").arg(failure);
    const ReceiveTally& tally = m_session.Tally();
    const QString messages = QString::number(tally.Messages());
    const QString bytes = ByteCountInWindow(tally.Bytes());
    QString counts = tally.Messages() == 1 ? tr("%1 message, %2 received").arg(messages, bytes)
                                           : tr("%1 messages, %2 received").arg(messages, bytes);
    if (const int status = tally.LastStatus())
        counts += tr(", last answer %1").arg(status);
    const ConnectionSettings& s = m_session.Settings();
    const QString address = QString::fromStdString(s.ip + ":" + s.longPort);
    if (!failure.isEmpty())
        return tr("Connected to %1, %2; %3").arg(address, failure, counts);
    if (m_session.NeedConnect()) {
        return tally.End() == ReadEnd::ReadFailed
                   ? tr("Reading failed (%1) after %2").arg(address, counts)
                   : tr("Closed by the device (%1) after %2").arg(address, counts);
    }
    return tr("Connected to %1, %2").arg(address, counts);
}

void CDorvik_LurvaneDlg::UpdateLongStrip() {
    m_stripResult->setText(LongStripText());
    if (!m_session.LongConnected())
        m_longStripTimer->stop();
}

bool CDorvik_LurvaneDlg::LongConnected() const {
    return m_session.LongConnected();
}

std::string CDorvik_LurvaneDlg::ServerAddressCopy() const {
    return m_session.ServerAddressCopy();
}

void CDorvik_LurvaneDlg::OnLongSend() {
    // One at a time: a second press while the first still connects or sends does nothing.
    if (m_session.LongSendRunning())
        return;
    LockConnectionFields();
    m_strLongFailure.clear();
    UpdateData(true);
    m_strIp = ControlText(ControlId::kIp);
    SyncSettings();
    // An edited request goes out as edited, but with the length of the body it now has.
    StartLongSend(RequestEditorPristine() ? RequestEditorBytes()
                                          : WithTrueContentLength(RequestEditorBytes()));
}

void CDorvik_LurvaneDlg::StartLongSend(const std::string& request) {
    const bool connecting = m_session.NeedConnect();
    // The outcome comes back on the send's thread; the window shows it on its own. A window
    // that is gone by then drops the call (its destructor has joined the thread first).
    const bool started = m_session.StartLongSend(request, [this, request](LongSendOutcome outcome) {
        QMetaObject::invokeMethod(
            this,
            [this, outcome = std::move(outcome), request] { FinishLongSend(outcome, request); },
            Qt::QueuedConnection);
    });
    if (!started) {
        DialogSeam::information(this, CoreText(SendResultMessage(SendResult::Failed)));
        return;
    }
    m_btnLongSend->setEnabled(false);
    m_bLongStrip = true;
    m_longStripTimer->stop();
    const ConnectionSettings& s = m_session.Settings();
    m_stripResult->setText(
        connecting ? tr("Connecting to %1...")
                         .arg(QString::fromStdString(UrlHostText(s.ip) + ":" + s.longPort))
                   : tr("Sending..."));
}

void CDorvik_LurvaneDlg::FinishLongSend(const LongSendOutcome& outcome,
                                        const std::string& request) {
    m_btnLongSend->setEnabled(m_radioLong->isChecked());
    const ConnectionSettings& s = m_session.Settings();
    if (outcome.connectTried && outcome.connect == ConnectResult::Cancelled) {
        // Given up (a field changed, short mode, closing): no box, as the user asked for it.
        m_strLongFailure = tr("connect given up").toStdString();
        ShowLongStrip();
        emit longSendFinished();
        return;
    }
    if (outcome.connectTried && outcome.connect != ConnectResult::Ok) {
        if (s.tls && OfferTrust(s, s.longPort, outcome.tls, outcome.fingerprint, outcome.reason)) {
            StartLongSend(request);  // trusted now: connect again with the key pinned
            return;
        }
        m_strLongFailure = ConnectFailure(outcome.connect, outcome.reason);
    }
    // The messages and the focus of a connect, then those of the send, as they always came.
    if (outcome.connectTried)
        ShowConnectOutcome(outcome.connect);
    if (outcome.send != SendResult::Ok && m_strLongFailure.empty())
        m_strLongFailure = (outcome.reason.empty()
                                ? tr("send failed")
                                : tr("send failed: %1").arg(QString::fromStdString(outcome.reason)))
                               .toStdString();
    ShowLongStrip();
    const QString message = CoreText(SendResultMessage(outcome.send));
    if (!message.isEmpty())
        DialogSeam::information(this, message);
    if (outcome.connectTried && outcome.send == SendResult::Ok)
        RememberDevice(s);
    emit longSendFinished();
}

bool CDorvik_LurvaneDlg::OfferTrust(const ConnectionSettings& settings, const std::string& portText,
                                    TlsStatus status, const std::string& fingerprint,
                                    const std::string& reason) {
    if (status == TlsStatus::PinChanged) {
        // Never trusted from here: the user must know why the key changed, and edit the file.
        DialogSeam::warning(this, tr("%1\n\nThe trusted keys are in %2.")
                                      .arg(QString::fromStdString(reason),
                                           QString::fromStdString(settings.knownDevices)));
        return false;
    }
    if ((status != TlsStatus::UnknownCertificate && status != TlsStatus::NameMismatch) ||
        fingerprint.empty())
        return false;
    const std::string address = UrlHostText(settings.ip) + ":" + portText;
    const QString question =
        tr("%1.\n\nTrust this key for %2 from now on? Compare it with the key the device itself "
           "shows first.")
            .arg(QString::fromStdString(reason), QString::fromStdString(address));
    if (!DialogSeam::question(this, question))
        return false;
    std::string error;
    if (!TrustKey(settings, portText, fingerprint, &error)) {
        ShowDeviceStatus(tr("The key is not stored: %1").arg(QString::fromStdString(error)));
        return false;
    }
    ShowDeviceStatus(tr("Trusted the key of %1.").arg(QString::fromStdString(address)));
    return true;
}

void CDorvik_LurvaneDlg::OnEvents() {
    if (m_browser == nullptr)
        m_browser = new EventBrowser(m_traffic, this);
    m_browser->show();
    m_browser->raise();
    m_browser->activateWindow();
}

void CDorvik_LurvaneDlg::OpenLogInBrowser(const QString& path) {
    OnEvents();
    m_browser->OpenLog(path);
    // Called before the window shows: the browser is raised once it has.
    QTimer::singleShot(0, m_browser, [browser = m_browser] {
        browser->raise();
        browser->activateWindow();
    });
}
