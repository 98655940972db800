#include "psError.h"

#include "psDebugOutput.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace {

// Written once at start-up (if ever) and read by every exception built on any
// thread; atomic so that the read needs no lock.
std::atomic<uint16_t> g_errorTrace{1};

void traceException(psErrorWord code, const char *file, long line)
{
    char componentText[32];
    const char *component = psComponentName(code);
    if (component == nullptr) {
        std::snprintf(componentText, sizeof componentText, "component %d",
                      static_cast<int>(psErrorComponent(code)));
        component = componentText;
    }

    // Generic names mean something only for a known component's generic errors.
    const char *error = nullptr;
    if (psComponentName(code) != nullptr && !psIsSpecific(code))
        error = psGenericErrorName(code);
    char errorText[32];
    if (error == nullptr) {
        std::snprintf(errorText, sizeof errorText, "error 0x%04x", static_cast<unsigned>(psErrorCode(code)));
        error = errorText;
    }

    const char *kind = psIsSpecific(code) ? "specific" : "generic";
    psTrace("\npsError [%s %s: %s]  %s line %ld\n", component, kind, error, file, line);
}

} // namespace

psCException::psCException(psErrorWord code_, const char *file_, long line_)
    : code(code_), file(file_ != nullptr ? file_ : ""), line(static_cast<int32_t>(line_))
{
    if (g_errorTrace.load(std::memory_order_relaxed) != 0 && file_ != nullptr && line_ != 0)
        traceException(code, file, line);
}

void psRaiseIfError(psErrorWord result, const char *file, long line)
{
    if (result == 0)
        return;
    if (psIsSpecific(result))
        throw psCSpecificException(result, file, line);

    const uint32_t code = psErrorCode(result);
    if (code == psERR_MEM_ALLOC_FAILED || code == psERR_MEM_FREE_FAILED)
        throw psCMemException(result, file, line);
    if (code >= 1 && code <= 31)
        throw psCMiscException(result, file, line);
    if (code >= 32 && code <= 63)
        throw psCFileException(result, file, line);
    if (code >= 64 && code <= 79)
        throw psCDirException(result, file, line);
    if (code >= 80 && code <= 95)
        throw psCPropException(result, file, line);
    if (code >= 96 && code <= 127)
        throw psCParamException(result, file, line);
    if (code >= 128 && code <= 159)
        throw psCDeviceException(result, file, line);
    if (code >= 160 && code <= 191)
        throw psCStreamException(result, file, line);
    if (code >= 192 && code <= 229)
        throw psCCommException(result, file, line);
    // A word outside every block carries no usable position: nothing is traced.
    throw psCException(result, "", 0);
}

void psRaiseContainerError(uint32_t /*status*/, const char *file, long line)
{
    // Every container failure reads as a bad index to the caller.
    throw psCParamException(psHLSDK_INVALID_INDEX, file, line);
}

const char *psComponentName(psErrorWord word)
{
    switch (psErrorComponent(word)) {
    case psCOMPONENT_CLIENT: return "client";
    case psCOMPONENT_LLSDK: return "llsdk";
    case psCOMPONENT_HLSDK: return "hlsdk";
    case psCOMPONENT_PARSE: return "parse";
    case psCOMPONENT_DEVELOP: return "develop";
    case psCOMPONENT_DECODE: return "decode";
    case psCOMPONENT_COLORMAP: return "colormap";
    case psCOMPONENT_COLLECT: return "collect";
    case psCOMPONENT_SETUP: return "setup";
    default: return nullptr;
    }
}

const char *psGenericErrorName(psErrorWord word)
{
    switch (psErrorCode(word)) {
    case psERR_UNIMPLEMENTED: return "UNIMPLEMENTED";
    case psERR_INTERNAL_ERROR: return "INTERNAL_ERROR";
    case psERR_MEM_ALLOC_FAILED: return "MEM_ALLOC_FAILED";
    case psERR_MEM_FREE_FAILED: return "MEM_FREE_FAILED";
    case psERR_OPERATION_CANCELLED: return "OPERATION_CANCELLED";
    case psERR_INCOMPATIBLE_VERSION: return "INCOMPATIBLE_VERSION";
    case psERR_NOT_SUPPORTED: return "NOT_SUPPORTED";
    case psERR_UNEXPECTED_EXCEPTION: return "UNEXPECTED_EXCEPTION";
    case psERR_PROTECTION_VIOLATION: return "PROTECTION_VIOLATION";
    case psERR_MISSING_SUBCOMPONENT: return "MISSING_SUBCOMPONENT";
    case psERR_SELECTION_UNAVAILABLE: return "SELECTION_UNAVAILABLE";
    case psERR_FILE_IO_ERROR: return "FILE_IO_ERROR";
    case psERR_FILE_TOO_MANY_OPEN: return "FILE_TOO_MANY_OPEN";
    case psERR_FILE_NOT_FOUND: return "FILE_NOT_FOUND";
    case psERR_FILE_OPEN_ERROR: return "FILE_OPEN_ERROR";
    case psERR_FILE_CLOSE_ERROR: return "FILE_CLOSE_ERROR";
    case psERR_FILE_SEEK_ERROR: return "FILE_SEEK_ERROR";
    case psERR_FILE_TELL_ERROR: return "FILE_TELL_ERROR";
    case psERR_FILE_READ_ERROR: return "FILE_READ_ERROR";
    case psERR_FILE_WRITE_ERROR: return "FILE_WRITE_ERROR";
    case psERR_FILE_PERMISSION_ERROR: return "FILE_PERMISSION_ERROR";
    case psERR_FILE_DISK_FULL_ERROR: return "FILE_DISK_FULL_ERROR";
    case psERR_FILE_ALREADY_EXISTS: return "FILE_ALREADY_EXISTS";
    case psERR_FILE_FORMAT_UNRECOGNIZED: return "FILE_FORMAT_UNRECOGNIZED";
    case psERR_FILE_DATA_CORRUPT: return "FILE_DATA_CORRUPT";
    case psERR_DIR_NOT_FOUND: return "DIR_NOT_FOUND";
    case psERR_DIR_IO_ERROR: return "DIR_IO_ERROR";
    case psERR_DIR_ENTRY_NOT_FOUND: return "DIR_ENTRY_NOT_FOUND";
    case psERR_DIR_ENTRY_EXISTS: return "DIR_ENTRY_EXISTS";
    case psERR_DIR_NOT_EMPTY: return "DIR_NOT_EMPTY";
    case psERR_PROPERTIES_UNAVAILABLE: return "PROPERTIES_UNAVAILABLE";
    case psERR_PROPERTIES_MISMATCH: return "PROPERTIES_MISMATCH";
    case psERR_PROPERTIES_NOT_LOADED: return "PROPERTIES_NOT_LOADED";
    case psERR_INVALID_PARAMETER: return "INVALID_PARAMETER";
    case psERR_INVALID_HANDLE: return "INVALID_HANDLE";
    case psERR_INVALID_POINTER: return "INVALID_POINTER";
    case psERR_INVALID_INDEX: return "INVALID_INDEX";
    case psERR_INVALID_LENGTH: return "INVALID_LENGTH";
    case psERR_INVALID_FN_POINTER: return "INVALID_FN_POINTER";
    case psERR_INVALID_SORT_FN: return "INVALID_SORT_FN";
    case psERR_DEVICE_NOT_FOUND: return "DEVICE_NOT_FOUND";
    case psERR_DEVICE_BUSY: return "DEVICE_BUSY";
    case psERR_DEVICE_INVALID: return "DEVICE_INVALID";
    case psERR_DEVICE_EMERGENCY: return "DEVICE_EMERGENCY";
    case psERR_DEVICE_MEMORY_FULL: return "DEVICE_MEMORY_FULL";
    case psERR_DEVICE_INTERNAL_ERROR: return "DEVICE_INTERNAL_ERROR";
    case psERR_DEVICE_INVALID_PARAMETER: return "DEVICE_INVALID_PARAMETER";
    case psERR_DEVICE_NO_DISK: return "DEVICE_NO_DISK";
    case psERR_DEVICE_DISK_ERROR: return "DEVICE_DISK_ERROR";
    case psERR_DEVICE_CF_GATE_CHANGED: return "DEVICE_CF_GATE_CHANGED";
    case psERR_DEVICE_DIAL_CHANGED: return "DEVICE_DIAL_CHANGED";
    case psERR_DEVICE_NOT_INSTALLED: return "DEVICE_NOT_INSTALLED";
    case psERR_DEVICE_STAY_AWAKE: return "DEVICE_STAY_AWAKE";
    case psERR_STREAM_IO_ERROR: return "STREAM_IO_ERROR";
    case psERR_STREAM_NOT_OPEN: return "STREAM_NOT_OPEN";
    case psERR_STREAM_ALREADY_OPEN: return "STREAM_ALREADY_OPEN";
    case psERR_STREAM_OPEN_ERROR: return "STREAM_OPEN_ERROR";
    case psERR_STREAM_CLOSE_ERROR: return "STREAM_CLOSE_ERROR";
    case psERR_STREAM_SEEK_ERROR: return "STREAM_SEEK_ERROR";
    case psERR_STREAM_TELL_ERROR: return "STREAM_TELL_ERROR";
    case psERR_STREAM_READ_ERROR: return "STREAM_READ_ERROR";
    case psERR_STREAM_WRITE_ERROR: return "STREAM_WRITE_ERROR";
    case psERR_STREAM_PERMISSION_ERROR: return "STREAM_PERMISSION_ERROR";
    case psERR_STREAM_END_OF_STREAM: return "STREAM_END_OF_STREAM";
    case psERR_COMM_PORT_IS_IN_USE: return "COMM_PORT_IS_IN_USE";
    case psERR_COMM_DISCONNECTED: return "COMM_DISCONNECTED";
    case psERR_COMM_DEVICE_INCOMPATIBLE: return "COMM_DEVICE_INCOMPATIBLE";
    case psERR_COMM_BUFFER_FULL: return "COMM_BUFFER_FULL";
    default: return nullptr;
    }
}

void psTrace(const char *format, ...)
{
    char buffer[256];
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (written < 0)
        return;
    psDebugOutput(buffer);
}

void psSetErrorTrace(uint16_t on)
{
    g_errorTrace.store(on, std::memory_order_relaxed);
}
