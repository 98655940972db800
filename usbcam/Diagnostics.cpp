#include "Diagnostics.h"

#include <cstdio>
#include <mutex>

namespace usbcam {
namespace {

struct Sink {
    std::mutex mutex;
    psDiagnosticSink sink = nullptr;
    void *context = nullptr;
};

Sink &sink()
{
    static Sink instance;
    return instance;
}

} // namespace

void setDiagnosticSink(psDiagnosticSink function, void *context)
{
    std::lock_guard lock(sink().mutex);
    sink().sink = function;
    sink().context = context;
}

void diagnose(const std::string &text)
{
    const std::string line = "USB camera: " + text;
    std::lock_guard lock(sink().mutex);
    if (sink().sink)
        sink().sink(line.c_str(), sink().context);
    else
        std::fprintf(stderr, "%s\n", line.c_str());
}

} // namespace usbcam
