// The main window's "Register for Camera Events" commands.
#include "CDezedoRavovadDlg.h"

#include <QAction>

void CDezedoRavovadDlg::connectRegistration()
{
    m_actions.registerForEvents->setEnabled(false);
    m_actions.unregisterForEvents->setEnabled(false);
}
