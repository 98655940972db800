// Error words and the exceptions that carry them through the SDK layer.
//
// An error word is a 32-bit value; 0 is success. Bit 31 marks an error
// specific to its component (1) or a generic one (0), bits 24 to 30 name the
// component, bits 0 to 15 hold the code. Callers outside the layer test only
// the low 16 bits (psErrorCode).
//
// Inside the layer errors travel as the exception values below; every
// callback or thread boundary catches them and turns them back into words.
#ifndef QUILLOMAT_SDK_PSERROR_H
#define QUILLOMAT_SDK_PSERROR_H

#include <cstdint>

using psErrorWord = uint32_t;

// Components (bits 24 to 30).
enum psComponent : uint32_t {
    psCOMPONENT_CLIENT = 1,
    psCOMPONENT_LLSDK = 2,
    psCOMPONENT_HLSDK = 3,
    psCOMPONENT_PARSE = 4,
    psCOMPONENT_DEVELOP = 5,
    psCOMPONENT_DECODE = 6,
    psCOMPONENT_COLORMAP = 7,
    psCOMPONENT_COLLECT = 8,
    psCOMPONENT_SETUP = 9,
};

// Generic error codes (bits 0 to 15 of a word whose bit 31 is clear).
// Blocks: 1-31 general, 32-63 file, 64-79 directory, 80-95 properties,
// 96-127 parameter, 128-159 device, 160-191 stream, 192-229 communication.
enum psGenericError : uint32_t {
    psERR_UNIMPLEMENTED = 0x01,
    psERR_INTERNAL_ERROR = 0x02,
    psERR_MEM_ALLOC_FAILED = 0x03,
    psERR_MEM_FREE_FAILED = 0x04,
    psERR_OPERATION_CANCELLED = 0x05,
    psERR_INCOMPATIBLE_VERSION = 0x06,
    psERR_NOT_SUPPORTED = 0x07,
    psERR_UNEXPECTED_EXCEPTION = 0x08,
    psERR_PROTECTION_VIOLATION = 0x09,
    psERR_MISSING_SUBCOMPONENT = 0x0A,
    psERR_SELECTION_UNAVAILABLE = 0x0B,
    psERR_FILE_IO_ERROR = 0x20,
    psERR_FILE_TOO_MANY_OPEN = 0x21,
    psERR_FILE_NOT_FOUND = 0x22,
    psERR_FILE_OPEN_ERROR = 0x23,
    psERR_FILE_CLOSE_ERROR = 0x24,
    psERR_FILE_SEEK_ERROR = 0x25,
    psERR_FILE_TELL_ERROR = 0x26,
    psERR_FILE_READ_ERROR = 0x27,
    psERR_FILE_WRITE_ERROR = 0x28,
    psERR_FILE_PERMISSION_ERROR = 0x29,
    psERR_FILE_DISK_FULL_ERROR = 0x2A,
    psERR_FILE_ALREADY_EXISTS = 0x2B,
    psERR_FILE_FORMAT_UNRECOGNIZED = 0x2C,
    psERR_FILE_DATA_CORRUPT = 0x2D,
    psERR_DIR_NOT_FOUND = 0x40,
    psERR_DIR_IO_ERROR = 0x41,
    psERR_DIR_ENTRY_NOT_FOUND = 0x42,
    psERR_DIR_ENTRY_EXISTS = 0x43,
    psERR_DIR_NOT_EMPTY = 0x44,
    psERR_PROPERTIES_UNAVAILABLE = 0x50,
    psERR_PROPERTIES_MISMATCH = 0x51,
    psERR_PROPERTIES_NOT_LOADED = 0x53,
    psERR_INVALID_PARAMETER = 0x60,
    psERR_INVALID_HANDLE = 0x61,
    psERR_INVALID_POINTER = 0x62,
    psERR_INVALID_INDEX = 0x63,
    psERR_INVALID_LENGTH = 0x64,
    psERR_INVALID_FN_POINTER = 0x65,
    psERR_INVALID_SORT_FN = 0x66,
    psERR_DEVICE_NOT_FOUND = 0x80,
    psERR_DEVICE_BUSY = 0x81,
    psERR_DEVICE_INVALID = 0x82,
    psERR_DEVICE_EMERGENCY = 0x83,
    psERR_DEVICE_MEMORY_FULL = 0x84,
    psERR_DEVICE_INTERNAL_ERROR = 0x85,
    psERR_DEVICE_INVALID_PARAMETER = 0x86,
    psERR_DEVICE_NO_DISK = 0x87,
    psERR_DEVICE_DISK_ERROR = 0x88,
    psERR_DEVICE_CF_GATE_CHANGED = 0x89,
    psERR_DEVICE_DIAL_CHANGED = 0x8A,
    psERR_DEVICE_NOT_INSTALLED = 0x8B,
    psERR_DEVICE_STAY_AWAKE = 0x8C,
    psERR_STREAM_IO_ERROR = 0xA0,
    psERR_STREAM_NOT_OPEN = 0xA1,
    psERR_STREAM_ALREADY_OPEN = 0xA2,
    psERR_STREAM_OPEN_ERROR = 0xA3,
    psERR_STREAM_CLOSE_ERROR = 0xA4,
    psERR_STREAM_SEEK_ERROR = 0xA5,
    psERR_STREAM_TELL_ERROR = 0xA6,
    psERR_STREAM_READ_ERROR = 0xA7,
    psERR_STREAM_WRITE_ERROR = 0xA8,
    psERR_STREAM_PERMISSION_ERROR = 0xA9,
    psERR_STREAM_END_OF_STREAM = 0xAC,
    psERR_COMM_PORT_IS_IN_USE = 0xC0,
    psERR_COMM_DISCONNECTED = 0xC1,
    psERR_COMM_DEVICE_INCOMPATIBLE = 0xC2,
    psERR_COMM_BUFFER_FULL = 0xC3,
};

constexpr psErrorWord psSPECIFIC_FLAG = 0x80000000u;

// The word of a generic error of a component, e.g. psMakeError(psCOMPONENT_HLSDK, psERR_INVALID_INDEX).
constexpr psErrorWord psMakeError(uint32_t component, uint32_t code)
{
    return ((component & 0x7Fu) << 24) | (code & 0xFFFFu);
}
constexpr uint32_t psErrorCode(psErrorWord word) { return word & 0xFFFFu; }
constexpr uint32_t psErrorComponent(psErrorWord word) { return (word >> 24) & 0x7Fu; }
constexpr bool psIsSpecific(psErrorWord word) { return (word & psSPECIFIC_FLAG) != 0; }

// Words the layer raises for its own faults.
constexpr psErrorWord psHLSDK_INTERNAL_ERROR = psMakeError(psCOMPONENT_HLSDK, psERR_INTERNAL_ERROR);
constexpr psErrorWord psHLSDK_MEM_ALLOC_FAILED = psMakeError(psCOMPONENT_HLSDK, psERR_MEM_ALLOC_FAILED);
constexpr psErrorWord psHLSDK_OPERATION_CANCELLED = psMakeError(psCOMPONENT_HLSDK, psERR_OPERATION_CANCELLED);
constexpr psErrorWord psHLSDK_INCOMPATIBLE_VERSION = psMakeError(psCOMPONENT_HLSDK, psERR_INCOMPATIBLE_VERSION);
constexpr psErrorWord psHLSDK_INVALID_POINTER = psMakeError(psCOMPONENT_HLSDK, psERR_INVALID_POINTER);
constexpr psErrorWord psHLSDK_INVALID_LENGTH = psMakeError(psCOMPONENT_HLSDK, psERR_INVALID_LENGTH);
constexpr psErrorWord psHLSDK_NOT_SUPPORTED = psMakeError(psCOMPONENT_HLSDK, psERR_NOT_SUPPORTED);
constexpr psErrorWord psHLSDK_UNEXPECTED_EXCEPTION = psMakeError(psCOMPONENT_HLSDK, psERR_UNEXPECTED_EXCEPTION);
constexpr psErrorWord psHLSDK_PROTECTION_VIOLATION = psMakeError(psCOMPONENT_HLSDK, psERR_PROTECTION_VIOLATION);
constexpr psErrorWord psHLSDK_INVALID_PARAMETER = psMakeError(psCOMPONENT_HLSDK, psERR_INVALID_PARAMETER);
constexpr psErrorWord psHLSDK_INVALID_INDEX = psMakeError(psCOMPONENT_HLSDK, psERR_INVALID_INDEX);
constexpr psErrorWord psSETUP_SELECTION_UNAVAILABLE = psMakeError(psCOMPONENT_SETUP, psERR_SELECTION_UNAVAILABLE);
// What the event entry point answers for a device exception, and what a
// session raises to keep a camera awake: component 0, DEVICE_STAY_AWAKE.
constexpr psErrorWord psSTAY_AWAKE = psERR_DEVICE_STAY_AWAKE;

// The base of every SDK exception: a plain value of (word, file, line).
// Building one with a file and a line writes the trace line while the trace
// switch is on. file is never null.
class psCException {
public:
    psCException(psErrorWord code, const char *file, long line);

    psErrorWord code;
    const char *file;
    int32_t line;
};

class psCGenericException : public psCException {
public:
    using psCException::psCException;
};
class psCMemException : public psCGenericException {        // codes 3, 4
public:
    using psCGenericException::psCGenericException;
};
class psCMiscException : public psCGenericException {       // 1-31 but 3, 4
public:
    using psCGenericException::psCGenericException;
};
class psCFileException : public psCGenericException {       // 32-63
public:
    using psCGenericException::psCGenericException;
};
class psCDirException : public psCGenericException {        // 64-79
public:
    using psCGenericException::psCGenericException;
};
class psCPropException : public psCGenericException {       // 80-95
public:
    using psCGenericException::psCGenericException;
};
class psCParamException : public psCGenericException {      // 96-127
public:
    using psCGenericException::psCGenericException;
};
class psCDeviceException : public psCGenericException {     // 128-159
public:
    using psCGenericException::psCGenericException;
};
class psCStreamException : public psCGenericException {     // 160-191
public:
    using psCGenericException::psCGenericException;
};
class psCCommException : public psCGenericException {       // 192-229
public:
    using psCGenericException::psCGenericException;
};
class psCSpecificException : public psCException {          // bit 31 set
public:
    using psCException::psCException;
};

// Throws the exception class the word selects; returns when the word is 0.
void psRaiseIfError(psErrorWord result, const char *file, long line);
// The array container failed: throws psCParamException(hlsdk INVALID_INDEX).
[[noreturn]] void psRaiseContainerError(uint32_t status, const char *file, long line);

// Short name of the word's component ("hlsdk"), or nullptr for an unknown number.
const char *psComponentName(psErrorWord word);
// Name of the low 16 bits as a generic code ("INVALID_INDEX"), or nullptr.
const char *psGenericErrorName(psErrorWord word);

// printf-style into a 256-byte buffer (longer text is cut), then to the debug output.
void psTrace(const char *format, ...) __attribute__((format(printf, 1, 2)));
// The process-wide trace switch; on (1) at start.
void psSetErrorTrace(uint16_t on);

#endif
