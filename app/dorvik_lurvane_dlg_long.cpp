// The long connection of the window: connect, disconnect and "Long connect send".
#include <QLineEdit>
#include <QPlainTextEdit>

#include "app/control_ids.h"
#include "app/dialog_seam.h"
#include "app/dorvik_lurvane_dlg.h"
#include "app/latest_text_relay.h"
#include "request/long_connection.h"

void CDorvik_LurvaneDlg::RelayObserver::OnResponseText(std::string_view text) {
    m_relay->Post(text);
}

void CDorvik_LurvaneDlg::ConnectLong() {
    m_strIp = ControlText(ControlId::kIp);
    const ConnectResult result =
        m_long->Connect(m_strIp, ControlText(ControlId::kUser), ControlText(ControlId::kPassword),
                        ControlText(ControlId::kLongPort));
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
    if (m_long)
        m_long->Disconnect();
}

bool CDorvik_LurvaneDlg::LongConnected() const {
    return m_long && m_long->IsOpen();
}

std::string CDorvik_LurvaneDlg::ServerAddressCopy() const {
    return m_serverAddress.Get();
}

void CDorvik_LurvaneDlg::OnLongSend() {
    LockConnectionFields();
    if (m_long->NeedConnect()) {
        DisconnectLong();
        ConnectLong();  // its outcome is not examined: a failed connect makes the send fail
    }
    UpdateData(true);
    const SendResult result = m_long->Send(RequestEditorBytes());
    const QString message = QString::fromUtf8(SendResultMessage(result));
    if (!message.isEmpty())
        DialogSeam::information(this, message);
}
