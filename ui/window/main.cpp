// Quillomat: tethered shooting with the EOS D30 and EOS D60.
#include "CDezedoRavovadDlg.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillomat"));
    QApplication::setOrganizationName(QStringLiteral("VantorelSystems"));
    // The desktop entry's name, so the desktop matches the window to its entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.vantorelsystems.Quillomat"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("com.vantorelsystems.Quillomat")));
    CDezedoRavovadDlg window;
    window.show();
    return application.exec();
}
