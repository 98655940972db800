#include "WindowActions.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace {

QAction *makeAction(QWidget *owner, const char *caption, const char *objectName, int id,
                    QKeySequence key = QKeySequence())
{
    auto *action = new QAction(QString::fromUtf8(caption), owner);
    action->setObjectName(QString::fromLatin1(objectName));
    action->setProperty("controlId", id);
    if (!key.isEmpty()) {
        action->setShortcut(key);
        // A key held down must not repeat the command (a held F8 releases once).
        action->setAutoRepeat(false);
        // Keys work wherever the focus is in the window, also in the
        // "Image Preview" window that forwards its keys here.
        action->setShortcutContext(Qt::WindowShortcut);
    }
    return action;
}

QAction *checkable(QAction *action)
{
    action->setCheckable(true);
    return action;
}

}  // namespace

void WindowActions::create(QWidget *w, QMenuBar *menuBar)
{
    renameImage = makeAction(w, "&Rename Image", "renameImageAction", 32789, QKeySequence(Qt::CTRL | Qt::Key_R));
    deleteImage = makeAction(w, "&Delete Image", "deleteImageAction", 1082, QKeySequence(Qt::Key_Delete));
    fullScreen = makeAction(w, "&Full Screen", "fullScreenAction", 32784, QKeySequence(Qt::Key_F11));
    setupImageEditor = makeAction(w, "&Setup Image Editor", "setupImageEditorAction", 32810);
    preferences = makeAction(w, "&Preferences", "preferencesAction", 32775);
    exit = makeAction(w, "E&xit", "exitAction", 2);

    cameraSettings = makeAction(w, "&Settings...", "cameraSettingsAction", 32781);
    refresh = makeAction(w, "&Refresh", "refreshAction", 32782, QKeySequence(Qt::Key_F5));
    forceUiUnlock = makeAction(w, "&Force UI Unlock", "forceUiUnlockAction", 32783,
                               QKeySequence(Qt::SHIFT | Qt::Key_F5));
    registerForEvents = makeAction(w, "Register for Camera &Events", "registerForEventsAction", 1083);
    unregisterForEvents = makeAction(w, "&Unregister for Camera Events", "unregisterForEventsAction", 1084);
    releaseShutter = makeAction(w, "Release Shutter", "releaseShutterAction", 1002, QKeySequence(Qt::Key_F8));
    preview = makeAction(w, "Preview", "previewAction", 1020, QKeySequence(Qt::Key_F9));
    connect = makeAction(w, "&Connect", "connectAction", 32774);
    blankScreen = checkable(makeAction(w, "Blank screen when taking photo", "blankScreenAction", 32795));
    timeLapse = makeAction(w, "&Time Lapse...", "timeLapseAction", 1072);

    landscape = checkable(makeAction(w, "&Landscape", "landscapeAction", 32780));
    inverted = checkable(makeAction(w, "&Inverted", "invertedAction", 32778));
    portrait1 = checkable(makeAction(w, "Portrait &1", "portrait1Action", 32776));
    portrait2 = checkable(makeAction(w, "Portrait &2", "portrait2Action", 32777));
    rotate = makeAction(w, "&Rotate", "rotateAction", 32787, QKeySequence(Qt::Key_F6));
    viewImage = makeAction(w, "&View Image", "viewImageAction", 32786, QKeySequence(Qt::Key_F7));
    sessionStrip = checkable(makeAction(w, "Session Strip", "sessionStripAction", 32811,
                                        QKeySequence(Qt::CTRL | Qt::Key_T)));
    displayGrid = checkable(makeAction(w, "Display &Grid", "displayGridAction", 32793, QKeySequence(Qt::CTRL | Qt::Key_G)));
    gridSettings = makeAction(w, "Grid &Settings...", "gridSettingsAction", 32794);
    showClipping = checkable(makeAction(w, "Show &Clipping", "showClippingAction", 32796,
                                        QKeySequence(Qt::CTRL | Qt::Key_H)));
    editComment = makeAction(w, "&Edit Comment", "editCommentAction", 32790, QKeySequence(Qt::CTRL | Qt::Key_E));
    editImage = makeAction(w, "E&dit Image", "editImageAction", 32791, QKeySequence(Qt::Key_F3));
    properties = makeAction(w, "&Properties", "propertiesAction", 32779);

    helpContents = makeAction(w, "&Contents", "helpContentsAction", 32771);
    about = makeAction(w, "&About Quillomat", "aboutAction", 32772);

    compactToggle = makeAction(w, "Compact View", "compactToggleAction", 32788, QKeySequence(Qt::Key_F4));
    previousImage = makeAction(w, "Previous Image", "previousImageAction", 1116, QKeySequence(Qt::Key_Left));
    nextImage = makeAction(w, "Next Image", "nextImageAction", 1117, QKeySequence(Qt::Key_Right));
    w->addAction(compactToggle);
    w->addAction(previousImage);
    w->addAction(nextImage);

    fileMenu = menuBar->addMenu(QStringLiteral("&File"));
    fileMenu->setObjectName(QStringLiteral("fileMenu"));
    fileMenu->addActions({renameImage, deleteImage});
    fileMenu->addSeparator();
    fileMenu->addActions({fullScreen, setupImageEditor, preferences});
    fileMenu->addSeparator();
    fileMenu->addAction(exit);

    cameraMenu = menuBar->addMenu(QStringLiteral("&Camera"));
    cameraMenu->setObjectName(QStringLiteral("cameraMenu"));
    cameraMenu->addActions({cameraSettings, refresh, forceUiUnlock});
    cameraMenu->addSeparator();
    cameraMenu->addActions({registerForEvents, unregisterForEvents});
    cameraMenu->addSeparator();
    cameraMenu->addActions({releaseShutter, preview, connect});
    cameraMenu->addSeparator();
    cameraMenu->addActions({blankScreen, timeLapse});

    imageMenu = menuBar->addMenu(QStringLiteral("&Image"));
    imageMenu->setObjectName(QStringLiteral("imageMenu"));
    imageMenu->addActions({landscape, inverted, portrait1, portrait2, rotate});
    imageMenu->addSeparator();
    imageMenu->addAction(viewImage);
    imageMenu->addAction(sessionStrip);
    imageMenu->addSeparator();
    imageMenu->addActions({displayGrid, gridSettings, showClipping});
    imageMenu->addSeparator();
    imageMenu->addActions({editComment, editImage, properties});

    helpMenu = menuBar->addMenu(QStringLiteral("&Help"));
    helpMenu->setObjectName(QStringLiteral("helpMenu"));
    helpMenu->addActions({helpContents, about});
}
