// The long connection of the window: connect, disconnect and "Long connect send".
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>

#include "app/control_ids.h"
#include "app/dialog_seam.h"
#include "app/dorvik_lurvane_dlg.h"
#include "app/event_browser.h"
#include "app/latest_text_relay.h"
#include "app/status_strip.h"
#include "request/long_request.h"

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
    m_strLongFailure = result == ConnectResult::Ok
                           ? std::string()
                           : std::string("connect to ") + m_session.Settings().ip + ":" +
                                 m_session.Settings().longPort + " failed: " +
                                 (reason.empty() ? ConnectFailureText(result) : reason);
    const QString message = QString::fromUtf8(ConnectResultMessage(result));
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

void CDorvik_LurvaneDlg::UpdateLongStrip() {
    m_stripResult->setText(QString::fromStdString(m_session.LongStatusLine(m_strLongFailure)));
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
    LockConnectionFields();
    m_strLongFailure.clear();
    const bool connecting = m_session.NeedConnect();
    if (connecting) {
        DisconnectLong();
        ConnectLong();  // its outcome is not examined: a failed connect makes the send fail
    }
    UpdateData(true);
    // An edited request goes out as edited, but with the length of the body it now has.
    const std::string request = RequestEditorPristine()
                                    ? RequestEditorBytes()
                                    : WithTrueContentLength(RequestEditorBytes());
    const SendResult result = m_session.SendLong(request);
    if (result != SendResult::Ok && m_strLongFailure.empty())
        m_strLongFailure = "send failed";
    ShowLongStrip();
    const QString message = QString::fromUtf8(SendResultMessage(result));
    if (!message.isEmpty())
        DialogSeam::information(this, message);
    if (connecting && result == SendResult::Ok)
        RememberDevice(m_session.Settings());
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
