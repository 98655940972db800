// The main window's side of the channel other programs drive it through.
#include "CDezedoRavovadDlg.h"

void CDezedoRavovadDlg::connectIpc() {}
void CDezedoRavovadDlg::disconnectIpc() {}
void CDezedoRavovadDlg::notifyIpcImage(const QString &) {}
void CDezedoRavovadDlg::notifyIpcProgress(uint16_t) {}
