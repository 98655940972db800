#include "psDebugOutput.h"

#include <cstdio>
#include <mutex>
#include <utility>

namespace {

std::mutex &sinkMutex()
{
    static std::mutex mutex;
    return mutex;
}

psDebugSink &currentSink()
{
    static psDebugSink sink;
    return sink;
}

} // namespace

void psDebugOutput(std::string_view text)
{
    // Held while writing so that lines from several threads never interleave.
    std::lock_guard lock(sinkMutex());
    if (currentSink()) {
        currentSink()(text);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stderr);
}

psDebugSink psSetDebugSink(psDebugSink sink)
{
    std::lock_guard lock(sinkMutex());
    return std::exchange(currentSink(), std::move(sink));
}
