// Quillomat: tethered shooting with the EOS D30 and EOS D60.
#include "CDezedoRavovadDlg.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillomat"));
    QApplication::setOrganizationName(QStringLiteral("VantorelSystems"));
    CDezedoRavovadDlg window;
    window.show();
    return application.exec();
}
