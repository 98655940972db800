// What the time-lapse dialog needs of the window that opens it: the camera's
// busy state, the Release command and the connection. The dialog never talks
// to the camera itself. All calls are on the user-interface thread.
#ifndef QUILLOMAT_UI_DIALOGS_TIMELAPSEHOST_H
#define QUILLOMAT_UI_DIALOGS_TIMELAPSEHOST_H

class TimeLapseHost {
public:
    virtual ~TimeLapseHost() = default;

    // True while the camera is taking or transferring a photo.
    virtual bool isBusy() const = 0;
    // True while a camera session exists.
    virtual bool isConnected() const = 0;
    // The Release command; it does nothing while the camera is busy.
    virtual void release() = 0;
    // Connects when there is no session; true when connected afterwards.
    virtual bool ensureConnected() = 0;
};

#endif
