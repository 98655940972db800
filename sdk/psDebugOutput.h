// The debugger output channel: one replaceable sink for the trace lines of
// the SDK layer and the session's debug texts. Standard error by default;
// tests install their own sink to read what was written.
#ifndef QUILLOMAT_SDK_PSDEBUGOUTPUT_H
#define QUILLOMAT_SDK_PSDEBUGOUTPUT_H

#include <functional>
#include <string_view>

using psDebugSink = std::function<void(std::string_view text)>;

// Writes the text unchanged (no newline is added). Safe from any thread.
void psDebugOutput(std::string_view text);
// Replaces the sink and returns the previous one; an empty sink restores standard error.
psDebugSink psSetDebugSink(psDebugSink sink);

#endif
