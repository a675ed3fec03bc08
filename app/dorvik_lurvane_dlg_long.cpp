// The long connection of the window.
#include "app/dorvik_lurvane_dlg.h"

void CDorvik_LurvaneDlg::DisconnectLong() {}

std::string CDorvik_LurvaneDlg::ServerAddressCopy() const {
    return std::string();
}

void CDorvik_LurvaneDlg::OnLongSend() {
    LockConnectionFields();
}
