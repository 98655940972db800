// The main window's side of a time-lapse sequence.
#include "CDezedoRavovadDlg.h"

#include <QAction>

void CDezedoRavovadDlg::connectTimeLapse()
{
    m_actions.timeLapse->setEnabled(false);
}

bool CDezedoRavovadDlg::routeErrorToTimeLapse(const QString &)
{
    return false;
}
