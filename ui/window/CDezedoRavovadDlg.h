// The main window: the camera settings panel, the preview with its histogram,
// the shot's information, the status line, the menu and every command.
//
// It is the camera session's window (CameraWindow): the session's and the
// release thread's calls and messages arrive from their threads as events
// posted to the window, which handles them in the order made on the
// user-interface thread. It also holds the settings that live in its
// controls (SettingsControls).
#ifndef QUILLOMAT_UI_WINDOW_CDEZEDORAVOVADDLG_H
#define QUILLOMAT_UI_WINDOW_CDEZEDORAVOVADDLG_H

#include "Camera.h"
#include "CameraWindow.h"
#include "ControlRules.h"
#include "DesktopCameraMount.h"
#include "Histogram.h"
#include "ImageList.h"
#include "Settings.h"
#include "SettingsControls.h"
#include "SettingsLists.h"
#include "SystemctlManager.h"
#include "WindowActions.h"

#include <QImage>
#include <QMainWindow>
#include <QPointer>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class CTimeLapseDlg;
class CameraReturnWatch;
class ImageAttributesDialog;
class PreviewWindow;
class Prompts;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class SessionStrip;
class SettingsPanel;
class SettingsStore;
class WindowCallEvent;

// What the window is given from outside; the defaults are the program's.
struct WindowServices {
    Prompts *prompts = nullptr;              // null: the desktop's boxes and pickers
    QString settingsFile;                    // empty: the user's own settings
    CameraConfig cameraConfig;               // for the sessions the window makes
    std::chrono::milliseconds connectPause{500};  // the camera's time to settle after connecting
    std::function<int()> screenHeight;       // null: the primary screen's available height
    std::function<int()> screenWidth;        // null: the primary screen's available width
    std::function<LocalDate()> today = LocalDate::today;
    std::string ipcBlockName;                // empty: the user's own IPC block
    DesktopCameraMount::Runner desktopMountRunner;  // empty: gio from the PATH
    // How long "Register for Camera Events" waits for the service manager.
    std::chrono::milliseconds registrationTimeLimit = SystemctlManager::kTimeLimit;
};

class CDezedoRavovadDlg : public QMainWindow, public CameraWindow, public SettingsControls {
    Q_OBJECT
public:
    explicit CDezedoRavovadDlg(WindowServices services = {}, QWidget *parent = nullptr);
    ~CDezedoRavovadDlg() override;

    // CameraWindow: any thread; everything reaches the controls on the
    // user-interface thread, in the order called.
    void postMessage(PostedMessage message) override;
    void showError(const std::string &text) override;
    void setStatusText(const std::string &text) override;
    void setProgress(uint16_t value) override;
    void onImageSaved(const std::string &path) override;
    void endReleaseInUi(const std::string &first, const std::string &second, const std::string &error) override;
    void showExceptionBox(const std::string &text, ModalReply reply) override;
    ImageDirectorySettings imageDirectorySettings() const override;
    bool wantsThumbnails() const override { return m_thumbnailsWanted.load(); }

    // SettingsControls: the lists and check boxes that hold settings.
    int listPosition(List list) const override;
    void setListPosition(List list, int position) override;
    bool isChecked(CheckBox box) const override;
    void setChecked(CheckBox box, bool checked) override;

    // Connects when not connected, else disconnects; true when connected afterwards.
    bool toggleConnection();
    // True at once when connected, else the result of toggleConnection.
    bool ensureConnected();
    void updateControls();
    void updateDiskSpace();
    void refreshCameraSettings();
    void fillParameterSets();

    // The shooting commands.
    void OnReleaseButton();
    void OnPreview();

    // The commands on saved images (CDezedoRavovadDlgImages.cpp).
    void previousImage();
    void nextImage();
    void deleteImage();
    void renameImage();
    void editComment();
    void editImage();
    void setupImageEditor();
    // Empties the preview, the histogram and the texts (no image on show).
    void clearImageDisplay();

    // The time-lapse sequence (CDezedoRavovadDlgTimeLapse.cpp).
    void onTimeLapse();

    // Registration for camera events (CDezedoRavovadDlgRegistration.cpp).
    void registerForCameraEvents();
    void unregisterForCameraEvents();

    bool isConnected() const { return m_camera != nullptr; }
    bool isBusy() const { return m_busy; }
    // Busy, or a release from the PC is on its way to the camera's release
    // start (a self-timer can take seconds): no other release may start.
    bool isReleasePending() const { return m_busy || m_releaseLocked; }
    bool isCompactLayout() const { return m_compactLayout; }
    // Looking for a camera that went away by itself, to reconnect it.
    bool isWatchingForCamera() const;
    const CameraReturnWatch &returnWatch() const { return *m_returnWatch; }
    Settings &settings() { return m_settings; }
    const std::vector<ImageEntry> &imageList() const { return m_images.entries(); }
    int currentImage() const { return m_images.currentIndex(); }
    // The list the session strip and the IPC side follow.
    ImageList &images() { return m_images; }
    const WindowActions &actions() const { return m_actions; }
    Camera *camera() const { return m_camera.get(); }

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The session on USB; offers to release the camera from the desktop's mount.
    void connectOnUsb();
    // Construction.
    void createWidgets();
    void arrangeNormal();
    void arrangeCompact(const QSize &screen);
    // The compact layout's preview and histogram, as large as the screen
    // allows up to their full size, keeping their shape.
    void fitCompactPictures(const QSize &screen, const QGridLayout *grid, const QLayout *histogramBoxes);
    // The primary screen's available size, or the one the services give.
    QSize screenSize() const;
    void connectCommands();
    void initialise();

    // Camera messages and calls, on the user-interface thread.
    void handleCameraMessage(PostedMessage &message);
    void handleWindowCall(WindowCallEvent &call);
    void showErrorNow(const QString &text);
    void onReleaseStart();
    void onReleaseComplete();
    // Common end of a release: the black screen goes, the window is idle and
    // a lock taken for a release from the PC is given back (true then).
    bool releaseEnded();
    void onCameraShutdown(uint32_t reason);
    void onCardFull();
    void endOfRelease();
    void onNewJpeg(std::vector<uint8_t> bytes);
    void installPreview(const QImage &bitmap, const Histogram &histogram);
    // The drawing part of installPreview: paintPreview and the "Image
    // Preview" window.
    void showPreviewBitmap(const QImage &bitmap, const Histogram &histogram);
    // Clipping marks, grid, picture, histogram and the compact layout's switch.
    void paintPreview(const QImage &bitmap, const Histogram &histogram);

    // Shooting aids (CDezedoRavovadDlgAids.cpp).
    // The switches of Preferences take effect.
    void applyAidSettings();
    bool clippingShown() const;
    void onShowClipping();
    // A saved shot's thumbnail on show until its full view arrives.
    void onThumbnail(const std::vector<uint8_t> &bytes);
    // A release ended while its thumbnail stood in for the full view.
    void endProvisionalPicture(bool setStatus);
    void onCameraBack();
    void onImageSavedNow(const QString &path);
    void redrawHistogram();
    // The focus stays on `remembered` while it is enabled and shown, else it
    // goes to the "Red" check box.
    void keepFocus(QWidget *remembered);
    // The compact layout's shared place shows the preview picture or the settings lists.
    void showCompactPage(bool preview);
    void updateTitle();
    // Shows the image entry `index` of the list (rotation read from the file);
    // false when its file no longer loads (the old picture stays).
    bool showSavedImage(int index);
    // Makes entry `index` current and shows it, as "<" and ">" do.
    void goToImage(int index);
    // The File and Image menus are grayed afresh each time they open.
    void updateImageMenus();
    void showImageContextMenu(const QPoint &globalPosition);
    // Wires the image commands' actions, buttons, menus and context menu.
    void connectImageCommands();
    // Opens or closes the "Session" window and remembers it in the settings.
    void showSessionStrip(bool open);
    // After a file was saved and listed: the editor when AutoEdit is set.
    void imageSavedFollowUp(const QString &path);
    // Wires the "Time Lapse..." command.
    void connectTimeLapse();
    // Hands an error to the open time-lapse dialog; false when none is open.
    bool routeErrorToTimeLapse(const QString &text);
    // The channel other programs drive the window through (CDezedoRavovadDlgIpc.cpp).
    void connectIpc();
    void disconnectIpc();
    // A preview was installed: the saved file's path, or empty when nothing was saved.
    void notifyIpcImage(const QString &path);
    void notifyIpcProgress(uint16_t value);
    // The channel's listener, connections and block; it reaches into the window.
    class IpcSide;
    struct IpcSideDeleter {
        void operator()(IpcSide *side) const;
    };
    std::unique_ptr<IpcSide, IpcSideDeleter> m_ipc;
    // "Register for Camera Events" and its opposite (CDezedoRavovadDlgRegistration.cpp).
    void connectRegistration();

    // Commands.
    void startShot(bool preview);
    void onSettingChanged(QComboBox *list);
    void onCameraBeepChanged();
    void onStoreImagesOnChanged();
    void changeReleaseParams(const std::function<void(ReleaseParams &)> &write,
                             const std::function<void(const ReleaseParams &)> &show);
    void setIncrementMode(IncrementMode mode);
    // One camera setting's value (item 3: mirror lock-up, 4: third-stop steps); raises as the session does.
    uint16_t readSetting(uint16_t item);
    void onRefresh();
    void onForceUiUnlock();
    void onCameraSettings();
    void onPreferences();
    void onFullScreen();
    void onCompactToggle();
    void onOrientation(int degrees);
    void onRotate();
    void onViewImage();
    void onDisplayGrid();
    void onGridSettings();
    void onProperties();
    void onHelpContents();
    void onAbout();
    void showBlankScreen(bool on);
    // Decodes the held JPEG with its rotation and installs it.
    void redecodeHeldJpeg();
    void runMouseAction(const QString &action);
    // Ends the session here and now; the camera's names of the images it
    // gave up (Camera::unsavedImages).
    std::vector<std::string> disconnectSession(const QString &failureText);
    // Ends the session on a thread of its own, so that the window keeps
    // showing the last images' progress; SessionClosed follows.
    void endSessionInBackground();
    // The error box, with a line naming the images that were not saved.
    void showErrorWithUnsaved(const QString &text, const std::vector<std::string> &unsaved);
    void publishImageDirectorySettings();

    WindowServices m_services;
    std::unique_ptr<Prompts> m_ownPrompts;
    Prompts *m_prompts = nullptr;
    std::unique_ptr<SettingsStore> m_store;
    Settings m_settings;

    // The session; its existence is what "connected" means.
    std::unique_ptr<Camera> m_camera;
    QString m_modelName;
    bool m_isD60 = false;
    bool m_busy = false;
    bool m_releaseLocked = false;
    bool m_refreshPending = false;
    bool m_photoArrived = false;
    uint16_t m_lowApertureLimit = 24;
    uint16_t m_highApertureLimit = 80;
    std::optional<IncrementMode> m_incrementMode;
    bool m_compactLayout = false;
    bool m_compactShowsPreview = false;
    QPointer<QWidget> m_previousFocus;
    quint64 m_lastMousePress = 0;  // the press the mouse rules last looked at

    // What is on show.
    std::vector<uint8_t> m_heldJpeg;
    // The rotation the held JPEG is shown with: a browsed image's own, a new
    // shot's `Orientation`. Browsing leaves `Orientation` alone.
    int m_heldRotation = 0;
    QImage m_previewBitmap;
    bool m_previewHoldsImage = false;
    // The picture on show is a thumbnail whose full view has not arrived.
    bool m_provisionalOnShow = false;
    // Read by the release thread for each thumbnail.
    std::atomic<bool> m_thumbnailsWanted{false};
    std::unique_ptr<CameraReturnWatch> m_returnWatch;
    Histogram m_histogram;
    QImage m_histogramChart;
    QString m_cameraInfoText;
    // The images saved in this run and the one on show.
    ImageList m_images;

    // Read by the release thread while it names files.
    mutable std::mutex m_directoryMutex;
    ImageDirectorySettings m_directorySettings;

    // Closing, or disconnecting with images still to save: the session is
    // torn down off the user-interface thread so the window stays responsive
    // while the last images are saved.
    std::thread m_teardown;
    bool m_closing = false;
    bool m_closeReady = false;

    WindowActions m_actions;
    SettingsPanel *m_panel = nullptr;
    QPushButton *m_releaseButton = nullptr;
    QPushButton *m_previewButton = nullptr;
    QLabel *m_previewPicture = nullptr;
    QLabel *m_histogramPicture = nullptr;
    QLabel *m_clippingText = nullptr;
    QCheckBox *m_red = nullptr;
    QCheckBox *m_green = nullptr;
    QCheckBox *m_blue = nullptr;
    QCheckBox *m_intensity = nullptr;
    QLabel *m_imageInfoLabel = nullptr;
    QPlainTextEdit *m_imageInfo = nullptr;
    QLineEdit *m_comment = nullptr;
    QPushButton *m_previousButton = nullptr;
    QPushButton *m_nextButton = nullptr;
    QLineEdit *m_statusLine = nullptr;
    QProgressBar *m_progress = nullptr;
    QLineEdit *m_connectionText = nullptr;
    QLineEdit *m_freeSpaceText = nullptr;
    QStackedWidget *m_compactStack = nullptr;
    PreviewWindow *m_previewWindow = nullptr;
    SessionStrip *m_sessionStrip = nullptr;  // made when first opened
    QPointer<ImageAttributesDialog> m_attributesDialog;
    // Open while a time-lapse sequence is set up or runs: it takes the errors.
    QPointer<CTimeLapseDlg> m_timeLapseDialog;
    QPointer<QWidget> m_blankScreen;
};

#endif
