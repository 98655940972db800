// Every command of the main window as one QAction, made once with its
// caption, key, objectName and identifier (the `controlId` property), and
// shared by the menu, the buttons, the keys and the image's context menu.
#ifndef QUILLOMAT_UI_WINDOW_WINDOWACTIONS_H
#define QUILLOMAT_UI_WINDOW_WINDOWACTIONS_H

#include <QObject>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

struct WindowActions {
    // File
    QAction *renameImage = nullptr;
    QAction *deleteImage = nullptr;
    QAction *fullScreen = nullptr;
    QAction *setupImageEditor = nullptr;
    QAction *preferences = nullptr;
    QAction *exit = nullptr;
    // Camera
    QAction *cameraSettings = nullptr;
    QAction *refresh = nullptr;
    QAction *forceUiUnlock = nullptr;
    QAction *registerForEvents = nullptr;
    QAction *unregisterForEvents = nullptr;
    QAction *releaseShutter = nullptr;
    QAction *preview = nullptr;
    QAction *connect = nullptr;
    QAction *blankScreen = nullptr;
    QAction *timeLapse = nullptr;
    // Image
    QAction *landscape = nullptr;
    QAction *inverted = nullptr;
    QAction *portrait1 = nullptr;
    QAction *portrait2 = nullptr;
    QAction *rotate = nullptr;
    QAction *viewImage = nullptr;
    QAction *sessionStrip = nullptr;
    QAction *displayGrid = nullptr;
    QAction *gridSettings = nullptr;
    QAction *showClipping = nullptr;
    QAction *editComment = nullptr;
    QAction *editImage = nullptr;
    QAction *properties = nullptr;
    // Help
    QAction *helpContents = nullptr;
    QAction *about = nullptr;
    // Keys without a menu entry
    QAction *compactToggle = nullptr;
    QAction *previousImage = nullptr;
    QAction *nextImage = nullptr;

    QMenu *fileMenu = nullptr;
    QMenu *cameraMenu = nullptr;
    QMenu *imageMenu = nullptr;
    QMenu *helpMenu = nullptr;

    // Makes the actions, owned by `window` (which also receives the
    // key-only ones), and fills `menuBar`.
    void create(QWidget *window, QMenuBar *menuBar);
};

#endif
