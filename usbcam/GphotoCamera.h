// One camera opened through libgphoto2: the calls the USB runtime makes, each
// raising a GphotoFailure with libgphoto2's own text. Not thread-safe, like
// libgphoto2 itself: the runtime's camera thread is its only user.
#ifndef QUILLOMAT_USBCAM_GPHOTOCAMERA_H
#define QUILLOMAT_USBCAM_GPHOTOCAMERA_H

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

typedef struct _Camera Camera;
typedef struct _GPContext GPContext;
typedef struct _CameraWidget CameraWidget;

namespace usbcam {

struct GphotoFailure {
    int code;             // a GP_ERROR_* value
    std::string text;     // what libgphoto2 said, with the call that failed
};

// A camera found on USB: libgphoto2's model name and port ("usb:001,004").
struct DetectedCamera {
    std::string model;
    std::string port;
};

struct CardFile {
    std::string folder;   // "/DCIM/100CANON"
    std::string name;     // "IMG_0042.JPG"
    uint64_t size = 0;
    bool operator==(const CardFile &other) const { return folder == other.folder && name == other.name; }
};

struct CardSpace {
    bool present = false;
    uint64_t capacityBytes = 0;
    uint64_t freeBytes = 0;
};

enum class CameraEventKind { None, FileAdded, Other };
struct CameraEvent {
    CameraEventKind kind = CameraEventKind::None;
    CardFile file;         // FileAdded
    std::string text;      // Other
};

// A file read from the camera, held in libgphoto2's own buffer (no copy).
struct Download {
    std::shared_ptr<const void> holder;
    const uint8_t *data = nullptr;
    size_t size = 0;
};

// Transfer progress, 0 to 100, while a file comes across the cable.
using ProgressFunction = std::function<void(uint32_t percent)>;

class GphotoCamera {
public:
    // The first camera libgphoto2 detects on USB; throws on a library failure.
    static std::optional<DetectedCamera> detectUsb();

    GphotoCamera(const DetectedCamera &camera);
    ~GphotoCamera();
    GphotoCamera(const GphotoCamera &) = delete;
    GphotoCamera &operator=(const GphotoCamera &) = delete;

    // A configuration tree, freed with the object.
    class Config {
    public:
        explicit Config(CameraWidget *root) : m_root(root) {}
        ~Config();
        Config(Config &&other) noexcept : m_root(other.m_root) { other.m_root = nullptr; }
        Config(const Config &) = delete;
        Config &operator=(const Config &) = delete;
        Config &operator=(Config &&) = delete;

        // The widget's choices in the library's order, and the one now chosen
        // (its index), or nullopt when the widget is missing.
        std::optional<std::vector<std::string>> choices(const char *name) const;
        std::optional<int> chosen(const char *name) const;
        bool choose(const char *name, int index);
        std::optional<std::string> text(const char *name) const;
        bool setText(const char *name, const std::string &value);
        bool setToggle(const char *name, bool on);
        CameraWidget *root() const { return m_root; }

    private:
        CameraWidget *widget(const char *name) const;
        CameraWidget *m_root;
    };

    Config config();
    void applyConfig(Config &config);

    // Releases the shutter; the new file on the card.
    CardFile capture();
    // Releases the shutter with the image coming straight to the PC (no card
    // needed): the whole image with "Full Image" as the capture size class.
    Download captureToHost();
    // The whole file. For a whole image libgphoto2's cache of it is dropped
    // at once, so that the image is held only once, by the caller.
    enum class Part { File, Thumbnail, ThmFile };
    // ThmFile: the THM beside a CRW (which the driver lists no more than it
    // lets one fetch it by name), whole, EXIF included.
    Download download(const CardFile &file, Part part, const ProgressFunction &progress);
    void remove(const CardFile &file);
    std::vector<CardFile> listCard();
    CardSpace cardSpace();
    CameraEvent waitForEvent(int milliseconds);

    // The texts libgphoto2 reported since the last call.
    std::vector<std::string> takeMessages();

private:
    [[noreturn]] void fail(const char *call, int code);
    void check(const char *call, int code);
    void listFolder(const std::string &folder, std::vector<CardFile> &files, int depth);

    static void onError(GPContext *, const char *text, void *data);
    static unsigned int onProgressStart(GPContext *, float target, const char *, void *data);
    static void onProgressUpdate(GPContext *, unsigned int, float current, void *data);
    static void onProgressStop(GPContext *, unsigned int, void *data);

    GPContext *m_context = nullptr;
    Camera *m_camera = nullptr;
    std::vector<std::string> m_messages;
    bool m_fullImageClass = false;   // the driver's capture size class is "Full Image"
    const ProgressFunction *m_progress = nullptr;
    float m_progressTarget = 0;
};

} // namespace usbcam

#endif
