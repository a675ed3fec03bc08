// The long connection of the window: connect, disconnect and "Long connect send".
#include <QLineEdit>
#include <QPlainTextEdit>

#include "app/control_ids.h"
#include "app/dialog_seam.h"
#include "app/dorvik_lurvane_dlg.h"
#include "app/latest_text_relay.h"

void CDorvik_LurvaneDlg::RelayObserver::OnResponseText(std::string_view text) {
    relay->Post(text);
}

void CDorvik_LurvaneDlg::ConnectLong() {
    m_strIp = ControlText(ControlId::kIp);
    SyncSettings();
    const ConnectResult result = m_session.ConnectLong();
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
}

bool CDorvik_LurvaneDlg::LongConnected() const {
    return m_session.LongConnected();
}

std::string CDorvik_LurvaneDlg::ServerAddressCopy() const {
    return m_session.ServerAddressCopy();
}

void CDorvik_LurvaneDlg::OnLongSend() {
    LockConnectionFields();
    const bool connecting = m_session.NeedConnect();
    if (connecting) {
        DisconnectLong();
        ConnectLong();  // its outcome is not examined: a failed connect makes the send fail
    }
    UpdateData(true);
    const SendResult result = m_session.SendLong(RequestEditorBytes());
    const QString message = QString::fromUtf8(SendResultMessage(result));
    if (!message.isEmpty())
        DialogSeam::information(this, message);
    if (connecting && result == SendResult::Ok)
        RememberDevice(m_session.Settings());
}
