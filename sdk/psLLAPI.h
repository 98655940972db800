// The contract between the SDK layer and a camera runtime.
//
// Everything the layer calls in a runtime is declared here and nowhere else:
// the setup calls (port lookup, installed models, driver loading) and the
// driver object with its operations. A runtime implements exactly this header:
// the simulated camera in simcam/, the scriptable driver of the tests, or one
// day a runtime for real hardware. Only psCameraConnection and psReleaseControl
// call into it.
//
// Every call returns a psResult: 0 for success, otherwise an error word
// (psError.h gives its fields). Records are plain C structs so that a runtime
// can be written in C.
#ifndef QUILLOMAT_SDK_PSLLAPI_H
#define QUILLOMAT_SDK_PSLLAPI_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t psResult;
typedef uint32_t psDeviceHandle;

// Version of this contract. A driver object whose version or size differs is
// refused with hlsdk INCOMPATIBLE_VERSION before anything else is called.
#define PSL_API_VERSION 1u

// ---------------------------------------------------------------------------
// Ports

// Port types the program asks for, in this order.
#define PS_PORT_TYPE_USB 3u
#define PS_PORT_TYPE_SERIAL 2u

#define PS_PORT_NAME_SIZE 64
#define PS_PORT_DATA_SIZE 80

typedef struct psPortDescrip {
    uint16_t portType;
    char portName[PS_PORT_NAME_SIZE];       // zero-terminated
    uint8_t portData[PS_PORT_DATA_SIZE];    // the runtime's own, copied unchanged
} psPortDescrip;

// ---------------------------------------------------------------------------
// Models

#define PS_MODEL_NAME_SIZE 64

// One installed camera model.
typedef struct psModelDescripEx2 {
    uint32_t modelId;                       // never 0 for a real entry
    char modelName[PS_MODEL_NAME_SIZE];     // zero-terminated, e.g. "EOS D60"
    uint32_t driverFlags;                   // the runtime's own
    uint8_t reserved[56];
} psModelDescripEx2;

// The model name whose installed entry matches every camera name that starts with it.
#define PS_MODEL_PREFIX_MATCH "PowerShot 350"

// Device information (driver operation getDeviceInfo).
typedef struct psDeviceInfo {
    char modelName[PS_MODEL_NAME_SIZE];     // zero-terminated, matched against the installed models
    char firmwareVersion[32];               // e.g. "1.0.3"
    char ownerName[32];
    uint32_t serialNumber;
    uint32_t reserved[7];
} psDeviceInfo;

// ---------------------------------------------------------------------------
// Streams: the runtime hands image bytes and model descriptors to the layer
// through a stream object. A write that returns non-zero aborts the transfer;
// the runtime then returns that status from the call that was writing
// (this is how a transfer is cancelled).

typedef struct pslStream pslStream;

typedef struct pslStreamOps {
    psResult (*write)(pslStream *stream, const void *data, uint32_t size);
    // Transfer progress, 0 to 100. The result is ignored.
    psResult (*progress)(pslStream *stream, uint32_t percent);
} pslStreamOps;

struct pslStream {
    const pslStreamOps *ops;
};

// ---------------------------------------------------------------------------
// Events. The event code's bits 16 to 19 give the severity, its low 16 bits
// the event.

#define PS_EVENT_SEVERITY_MASK 0xF0000u
#define PS_EVENT_SEVERITY_NONE 0x00000u
#define PS_EVENT_SEVERITY_WARNING 0x20000u
#define PS_EVENT_SEVERITY_SHUTDOWN 0x40000u
#define PS_EVENT_MASK 0xFFFFu

// Events of no severity.
#define PS_EVENT_THUMBNAIL_ON_RELEASE 8u     // data: psImageEventRecord
#define PS_EVENT_RELEASE_CONTROL 10u         // data: uint32_t sub-event
#define PS_EVENT_FULLVIEW_ON_RELEASE 12u     // data: psImageEventRecord
#define PS_EVENT_TEMPORARY_FILES 14u         // the layer drops its temporary files and cached lists
#define PS_EVENT_CHANGE_LOCK_STATUS 15u      // data: uint32_t lock status (low 24 bits)

// Sub-events of PS_EVENT_RELEASE_CONTROL.
#define PS_RELEASE_EVENT_CHANGED_BY_UI 27u
#define PS_RELEASE_EVENT_RELEASE_START 28u
#define PS_RELEASE_EVENT_RELEASE_COMPLETE 29u

// Warning-severity events.
#define PS_WARNING_ABOUT_TO_SHUTDOWN 5u      // answer DEVICE_STAY_AWAKE (140) to stay awake

// Shutdown-severity events: the reason. The device is gone afterwards.
#define PS_SHUTDOWN_DIAL_CHANGED 2u
#define PS_SHUTDOWN_CF_GATE_CHANGED 3u
#define PS_SHUTDOWN_BATTERY_COVER 4u
#define PS_SHUTDOWN_AUTO_POWER_OFF 5u
#define PS_SHUTDOWN_DISCONNECTED 13u

// The driver's record for an image event. The first 16 bytes are what the
// program keeps (ReleasedImageRecord); the file name runs on beyond them.
#define PS_IMAGE_FORMAT_JPEG 1u
#define PS_IMAGE_FORMAT_RAW 2u
#define PS_SEQUENCE_ID_SHIFT 6u              // sequence word = sequence ID << 6

typedef struct psImageEventRecord {
    uint32_t sequence;
    uint8_t format;
    uint8_t reserved[3];
    uint32_t dataSize;
    char fileName[36];                       // zero-terminated camera name, e.g. "IMG_0042.JPG"
} psImageEventRecord;

// Called on the driver's own thread. The result goes back to the camera:
// 0, or an error word (DEVICE_STAY_AWAKE keeps the camera awake).
typedef psResult (*psEventCallback)(uint32_t eventCode, const void *eventData,
                                    uint32_t contextWord, void *context);

// ---------------------------------------------------------------------------
// Device properties (getDeviceProperty).

#define PS_PROP_CAPABILITIES 7u              // uint32_t capability word
#define PS_PROP_PROPERTY_TABLE 9u            // property count * 4 + 656 bytes
// uint32_t PS_FIELD_* bits: the release-parameter fields the runtime can read
// and change. A runtime that does not answer it reaches every field.
#define PS_PROP_REACHABLE_FIELDS 16u

#define PS_CAP_RELEASE_CONTROL 0x10000u
#define PS_CAP_CONTROL_LOCK 0x20000u
#define PS_CAP_READ_CAMERA_SETTING 0x200000u
#define PS_CAP_VERSION_MASK 0xFFFFu
#define PS_CAP_VERSION_WITH_PROPERTY_COUNT 0x600u
#define PS_DEFAULT_PROPERTY_COUNT 40u
#define PS_PROPERTY_TABLE_HEADER_SIZE 656u

// ---------------------------------------------------------------------------
// Release control (driver operation releaseControl).

#define PS_RC_ENTER 0u
#define PS_RC_LEAVE 1u
#define PS_RC_RELEASE 4u
#define PS_RC_SET_RELEASE_PARAMS 7u          // in: 48-byte block
#define PS_RC_SET_TRANSFER_FLAGS 9u          // in: 4 bytes (16-bit flags, 16 zero bits)
#define PS_RC_GET_RELEASE_PARAMS 10u         // out: 48-byte block
#define PS_RC_GET_SHOTS_REMAINING 13u        // out: uint32_t
#define PS_RC_READ_CAMERA_SETTING 15u        // in/out: 10-byte block

#define PS_RELEASE_PARAMS_SIZE 48u

// Fields of the release-parameter block (PS_PROP_REACHABLE_FIELDS).
#define PS_FIELD_SIZE_QUALITY 0x0001u        // bytes 1 to 3
#define PS_FIELD_BEEP 0x0002u                // byte 7
#define PS_FIELD_EXPOSURE_MODE 0x0004u       // byte 8 (read only)
#define PS_FIELD_IMAGE_ZONE 0x0008u          // byte 9 (read only)
#define PS_FIELD_DRIVE_MODE 0x0010u          // byte 10
#define PS_FIELD_METERING_MODE 0x0020u       // byte 12
#define PS_FIELD_AF_POINT 0x0040u            // word 14
#define PS_FIELD_WHITE_BALANCE 0x0080u       // byte 16
#define PS_FIELD_AF_MODE 0x0100u             // byte 18
#define PS_FIELD_PARAMETER_SET 0x0200u       // word 24
#define PS_FIELD_ISO 0x0400u                 // word 26
#define PS_FIELD_AV 0x0800u                  // word 28
#define PS_FIELD_TV 0x1000u                  // word 30
#define PS_FIELD_EXPOSURE_COMPENSATION 0x2000u  // byte 32
#define PS_FIELD_FLASH_COMPENSATION 0x4000u  // byte 33
#define PS_FIELD_LENS 0x8000u                // words 36 to 46
#define PS_FIELD_ALL 0xFFFFu
// A reachable field whose current value the runtime could not read holds this
// (in every byte of the field).
#define PS_FIELD_VALUE_UNKNOWN 0xFEu
#define PS_CAMERA_SETTING_SIZE 10u           // item number at 0 (16 bits), value at 4 (16 bits)

// Camera setting items (command 15).
#define PS_SETTING_MIRROR_LOCKUP 3u          // custom function: mirror lock-up
#define PS_SETTING_EXPOSURE_INCREMENTS 4u    // 0 half-stop, 1 third-stop

// Transfer flags (a 16-bit word). The value 1 sends the thumbnail to the PC,
// 2 the full view (the value absent from the card-only word 13), 8 keeps the
// image on the card (4 always goes with it in the words the program sends).
#define PS_TRANSFER_THUMBNAIL_TO_PC 0x1u
#define PS_TRANSFER_FULLVIEW_TO_PC 0x2u
#define PS_TRANSFER_TO_CARD 0x8u
#define PS_TRANSFER_PC_ONLY 3u
#define PS_TRANSFER_PC_AND_CARD 15u
#define PS_TRANSFER_CARD_ONLY 13u

// Image kinds of getReleasedImage.
#define PS_IMAGE_KIND_THUMBNAIL 1u
#define PS_IMAGE_KIND_FULLVIEW 2u

// Camera controls lock (lockControls).
#define PS_LOCK_MODE_UI 6u

// Parameter sets (readParameterSet): 32-bit fields; the caller fills field 0
// with the set number (1 to 3); field 1 is the defined flag, fields 2 on the values.
#define PS_PARAMETER_SET_FIELDS 8u
typedef struct psParameterSetRecord {
    uint32_t fields[PS_PARAMETER_SET_FIELDS];
} psParameterSetRecord;

// ---------------------------------------------------------------------------
// The driver object. PSULoadDriver hands one out; PSUUnloadDriver takes it back.

typedef struct pslBASE_API pslBASE_API;

struct pslBASE_API {
    uint32_t structSize;                     // sizeof(pslBASE_API) of the runtime
    uint32_t version;                        // PSL_API_VERSION of the runtime

    psResult (*openDevice)(pslBASE_API *api, const psPortDescrip *port,
                           psEventCallback callback, void *context, psDeviceHandle *handle);
    psResult (*closeDevice)(pslBASE_API *api, psDeviceHandle handle);
    // Copies at most size bytes of the property into buffer.
    psResult (*getDeviceProperty)(pslBASE_API *api, psDeviceHandle handle, uint32_t property,
                                  void *buffer, uint32_t size);
    psResult (*getPropertyCount)(pslBASE_API *api, psDeviceHandle handle, uint32_t *count);
    psResult (*getDeviceInfo)(pslBASE_API *api, psDeviceHandle handle, psDeviceInfo *info);
    psResult (*releaseControl)(pslBASE_API *api, psDeviceHandle handle, uint32_t command,
                               uint32_t inSize, const void *in, uint32_t outSize, void *out);
    // Blocks until the image is written into the stream (or the stream refused a write).
    psResult (*getReleasedImage)(pslBASE_API *api, psDeviceHandle handle, uint32_t kind,
                                 uint32_t sequence, pslStream *stream);
    psResult (*settingsDialog)(pslBASE_API *api, psDeviceHandle handle, void *window);
    psResult (*readParameterSet)(pslBASE_API *api, psDeviceHandle handle,
                                 psParameterSetRecord *record);
    psResult (*lockControls)(pslBASE_API *api, psDeviceHandle handle, uint32_t mode);
    psResult (*unlockControls)(pslBASE_API *api, psDeviceHandle handle);
};

// ---------------------------------------------------------------------------
// Setup calls, in the order of connecting.

psResult PSUGetDevicePort(uint16_t portType, uint32_t reserved, void *window,
                          psPortDescrip *port, uint32_t reserved2, uint32_t flags);
psResult PSULoadDriver(uint32_t modelId, pslBASE_API **driver, uint32_t flags);
// Writes one psModelDescripEx2 per installed model into the stream, one write each.
psResult PSUGetInstalledCameraModelsEx2(pslStream *stream);
psResult PSSetLastModel(uint32_t modelId);
psResult PSUUnloadDriver(uint32_t modelId, pslBASE_API *driver, uint32_t flags);

// Optional: where the runtime writes what the diagnostic log should keep
// (its library's own error texts). Any thread; one line per call, no newline.
typedef void (*psDiagnosticSink)(const char *text, void *context);
psResult PSUSetDiagnosticSink(psDiagnosticSink sink, void *context);

// ===========================================================================
// Parse library: the picture properties kept in an image file.
//
// A file's properties are a sequence of records, each a 16-bit property
// number, a 32-bit length and that many data bytes (all integers
// little-endian). Property 7 is the rotation in degrees (32 bits: 0, 90, 180
// or 270); property 11 the comment record (8-byte character code, 32-bit
// capacity, then capacity text bytes). Where they live in the files:
//   JPEG / THM: 11 the EXIF UserComment, 7 the EXIF Orientation of IFD0;
//   CRW:        11 the CIFF user-comment record (tag 0x0805), 7 the rotation
//               field of the CIFF image-info record (tag 0x1810).
// Errors are words of component 4 (parse).

#define PS_PROPERTY_ROTATION 7u
#define PS_PROPERTY_COMMENT 11u
#define PS_PROPERTY_RECORD_HEADER_SIZE 6u   // 16-bit number, 32-bit length

// Copies the property records of the file into buffer (at most size bytes) and
// stores their total length in *length. A buffer too small (or null) copies
// nothing and returns INVALID_LENGTH with *length set to the size needed.
// A file without any of the properties gives 0 records and success.
psResult PSParseReadProperties(const char *path, void *buffer, uint32_t size, uint32_t *length);

// Replaces one property in the file, in place: *record points at one record
// (number, length, data). The file is rewritten only when it holds a field of
// exactly that length; otherwise nothing is written and the result is
// PROPERTIES_UNAVAILABLE (no such field), PROPERTIES_MISMATCH (another
// length) or INVALID_PARAMETER (a value the field cannot hold). No other byte
// of the file changes, and its length never does. The three reserved words
// must be 0.
psResult PSParseReplaceProperties(const char *path, uint32_t reserved1, uint32_t reserved2,
                                  uint32_t reserved3, const void **record);

#ifdef __cplusplus
}
#endif

#endif
