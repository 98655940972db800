// The main window's commands on the images saved in this run.
#include "CDezedoRavovadDlg.h"

#include <QAction>

void CDezedoRavovadDlg::connectImageCommands()
{
    for (QAction *later : {m_actions.renameImage, m_actions.deleteImage, m_actions.setupImageEditor,
                           m_actions.editComment, m_actions.editImage, m_actions.previousImage, m_actions.nextImage})
        later->setEnabled(false);
}

void CDezedoRavovadDlg::imageSavedFollowUp(const QString &) {}
