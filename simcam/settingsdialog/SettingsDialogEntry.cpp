// The companion library's one entry point (see SettingsDialogApi.h).
#include "CameraSettingsDlg.h"

#include <QApplication>
#include <QThread>

namespace {

// The window handle comes from the program as an untyped pointer; it is used
// as the parent only when it is one of this application's widgets.
QWidget *knownWidget(void *pointer)
{
    if (pointer == nullptr)
        return nullptr;
    const QWidgetList widgets = QApplication::allWidgets();
    for (QWidget *widget : widgets)
        if (static_cast<void *>(widget) == pointer)
            return widget;
    return nullptr;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int quillomatSimSettingsDialog(QSimCameraSettings *settings,
                                                                                  void *parentWidget)
{
    if (settings == nullptr || settings->structSize != sizeof(QSimCameraSettings)
        || settings->version != QSIM_SETTINGS_DIALOG_VERSION)
        return QSIM_DIALOG_BAD_RECORD;
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    if (app == nullptr)
        return QSIM_DIALOG_NO_DISPLAY;
    if (QThread::currentThread() != app->thread())
        return QSIM_DIALOG_WRONG_THREAD;
    try {
        CCameraSettingsDlg dialog(*settings, knownWidget(parentWidget));
        if (dialog.exec() != QDialog::Accepted)
            return QSIM_DIALOG_CANCELLED;
        *settings = dialog.settings();
        return QSIM_DIALOG_ACCEPTED;
    } catch (...) {
        // Nothing may leave a library entry point; the record stays as it was.
        return QSIM_DIALOG_CANCELLED;
    }
}
