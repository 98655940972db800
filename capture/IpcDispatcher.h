// The commands of the IPC block: reads the client's command, acts on the
// window and writes the answer.
//
//   1 report state          1 no camera; 5 busy or 2 idle, with the model
//   2 release               1, 5, or 3 once a release has started (7 when refused)
//   3 no operation          1, or 7 while connected
//   4 Tv list position      1, 5 busy or not in Tv/Manual, 6 taken, 7 not taken
//   5 Av list position      1, 5 busy, 7 not in Av/Manual or not taken, 6 taken
//   6 set image directory   5 busy while connected, 6 set, 7 unusable path
//   7 report image directory  6 with the directory (ending in "/")
//   8 set comment           6, 7 when longer than 255 bytes or not text
//   anything else           nothing written
//
// Texts are UTF-8: a path or comment that is not valid UTF-8 is refused (7),
// since the window could not keep it as given.
//
// Notifications the channel kept while the client held the block's turn are
// written once the command has been read, just before the answer (or, for
// a code that is not a command, in place of one).
#ifndef QUILLOMAT_CAPTURE_IPCDISPATCHER_H
#define QUILLOMAT_CAPTURE_IPCDISPATCHER_H

#include "IpcChannel.h"
#include "IpcWindow.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class IpcDispatcher {
public:
    // Makes sure a directory exists, creating it with its missing parents;
    // false when it cannot be or is not a directory.
    using EnsureDirectory = std::function<bool(const std::string &)>;

    explicit IpcDispatcher(IpcWindow &window);
    // With another way of making directories (fuzzing touches no disk).
    IpcDispatcher(IpcWindow &window, EnsureDirectory ensureDirectory);

    // Handles the command in the block; the exchange's result, always 1.
    int32_t handle(IpcChannel &channel);

private:
    void setStepListPosition(IpcChannel &channel, IpcWindow::StepList list, int32_t position);
    void setImageDirectory(IpcChannel &channel);
    void reportImageDirectory(IpcChannel &channel);
    void setComment(IpcChannel &channel);
    void answer(IpcChannel &channel, IpcStatus status, std::string_view text = {});

    IpcWindow &m_window;
    EnsureDirectory m_ensureDirectory;
};

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool isValidUtf8(std::string_view text);

#endif
