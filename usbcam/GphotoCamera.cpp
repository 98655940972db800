#include "GphotoCamera.h"

#include <gphoto2/gphoto2.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>

namespace usbcam {
namespace {

// Folders below the card's root that hold images (DCIM/nnnCANON) are two deep.
constexpr int kCardFolderDepth = 3;
// The driver's capture size classes: compatibility, thumbnail, full image.
constexpr const char *kCaptureSizeClass = "capturesizeclass";
constexpr size_t kCaptureSizeClasses = 3;
constexpr int kFullImageClass = 2;

std::string callText(const char *call, int code)
{
    return std::string(call) + ": " + gp_result_as_string(code) + " (" + std::to_string(code) + ")";
}

[[noreturn]] void raise(const char *call, int code)
{
    throw GphotoFailure{code, callText(call, code)};
}

template <typename T, int (*Free)(T *)>
struct Freed {
    void operator()(T *object) const { Free(object); }
};
using AbilitiesList = std::unique_ptr<CameraAbilitiesList, Freed<CameraAbilitiesList, gp_abilities_list_free>>;
using PortList = std::unique_ptr<GPPortInfoList, Freed<GPPortInfoList, gp_port_info_list_free>>;
using List = std::unique_ptr<CameraList, Freed<CameraList, gp_list_free>>;
// The library's file cache keeps its own reference: let go of ours only.
using File = std::unique_ptr<CameraFile, Freed<CameraFile, gp_file_unref>>;

// Loading every camera library takes a while; the list never changes while we run.
CameraAbilitiesList *abilities(GPContext *context)
{
    static std::mutex mutex;
    static CameraAbilitiesList *loaded = nullptr;
    std::lock_guard lock(mutex);
    if (!loaded) {
        CameraAbilitiesList *list = nullptr;
        if (const int status = gp_abilities_list_new(&list); status < GP_OK)
            raise("gp_abilities_list_new", status);
        AbilitiesList owned(list);
        if (const int status = gp_abilities_list_load(list, context); status < GP_OK)
            raise("gp_abilities_list_load", status);
        loaded = owned.release();
    }
    return loaded;
}

PortList loadPorts()
{
    GPPortInfoList *ports = nullptr;
    if (const int status = gp_port_info_list_new(&ports); status < GP_OK)
        raise("gp_port_info_list_new", status);
    PortList owned(ports);
    if (const int status = gp_port_info_list_load(ports); status < GP_OK)
        raise("gp_port_info_list_load", status);
    return owned;
}

List newList()
{
    CameraList *list = nullptr;
    if (const int status = gp_list_new(&list); status < GP_OK)
        raise("gp_list_new", status);
    return List(list);
}

} // namespace

std::optional<DetectedCamera> GphotoCamera::detectUsb()
{
    GPContext *context = gp_context_new();
    struct ContextRef {
        GPContext *context;
        ~ContextRef() { gp_context_unref(context); }
    } ref{context};
    PortList ports = loadPorts();
    List found = newList();
    if (const int status = gp_abilities_list_detect(abilities(context), ports.get(), found.get(), context); status < GP_OK)
        raise("gp_abilities_list_detect", status);
    for (int i = 0; i < gp_list_count(found.get()); ++i) {
        const char *model = nullptr;
        const char *port = nullptr;
        gp_list_get_name(found.get(), i, &model);
        gp_list_get_value(found.get(), i, &port);
        if (model && port && std::strncmp(port, "usb:", 4) == 0)
            return DetectedCamera{model, port};
    }
    return std::nullopt;
}

GphotoCamera::GphotoCamera(const DetectedCamera &detected)
{
    m_context = gp_context_new();
    gp_context_set_error_func(m_context, &GphotoCamera::onError, this);
    gp_context_set_progress_funcs(m_context, &GphotoCamera::onProgressStart, &GphotoCamera::onProgressUpdate,
                                  &GphotoCamera::onProgressStop, this);
    try {
        check("gp_camera_new", gp_camera_new(&m_camera));
        CameraAbilitiesList *list = abilities(m_context);
        const int model = gp_abilities_list_lookup_model(list, detected.model.c_str());
        check("gp_abilities_list_lookup_model", model);
        CameraAbilities cameraAbilities;
        check("gp_abilities_list_get_abilities", gp_abilities_list_get_abilities(list, model, &cameraAbilities));
        check("gp_camera_set_abilities", gp_camera_set_abilities(m_camera, cameraAbilities));
        PortList ports = loadPorts();
        const int port = gp_port_info_list_lookup_path(ports.get(), detected.port.c_str());
        check("gp_port_info_list_lookup_path", port);
        GPPortInfo info;
        check("gp_port_info_list_get_info", gp_port_info_list_get_info(ports.get(), port, &info));
        check("gp_camera_set_port_info", gp_camera_set_port_info(m_camera, info));
        check("gp_camera_init", gp_camera_init(m_camera, m_context));
    } catch (...) {
        if (m_camera)
            gp_camera_unref(m_camera);
        gp_context_unref(m_context);
        throw;
    }
}

GphotoCamera::~GphotoCamera()
{
    // Leaves the camera's remote mode; a camera already gone just fails.
    gp_camera_exit(m_camera, m_context);
    gp_camera_unref(m_camera);
    gp_context_unref(m_context);
}

void GphotoCamera::fail(const char *call, int code)
{
    std::string text = callText(call, code);
    for (const std::string &message : m_messages)
        text += "; " + message;
    throw GphotoFailure{code, text};
}

void GphotoCamera::check(const char *call, int code)
{
    if (code < GP_OK)
        fail(call, code);
}

std::vector<std::string> GphotoCamera::takeMessages()
{
    return std::exchange(m_messages, {});
}

void GphotoCamera::onError(GPContext *, const char *text, void *data)
{
    auto *self = static_cast<GphotoCamera *>(data);
    if (text && self->m_messages.size() < 16)
        self->m_messages.emplace_back(text);
}

unsigned int GphotoCamera::onProgressStart(GPContext *, float target, const char *, void *data)
{
    static_cast<GphotoCamera *>(data)->m_progressTarget = target;
    return 1;
}

void GphotoCamera::onProgressUpdate(GPContext *, unsigned int, float current, void *data)
{
    auto *self = static_cast<GphotoCamera *>(data);
    if (self->m_progress && *self->m_progress && self->m_progressTarget > 0) {
        const float share = current / self->m_progressTarget;
        (*self->m_progress)(static_cast<uint32_t>(std::min(100.0f, std::max(0.0f, share * 100.0f))));
    }
}

void GphotoCamera::onProgressStop(GPContext *, unsigned int, void *data)
{
    static_cast<GphotoCamera *>(data)->m_progressTarget = 0;
}

GphotoCamera::Config::~Config()
{
    if (m_root)
        gp_widget_free(m_root);
}

CameraWidget *GphotoCamera::Config::widget(const char *name) const
{
    CameraWidget *child = nullptr;
    if (!m_root || gp_widget_get_child_by_name(m_root, name, &child) < GP_OK)
        return nullptr;
    return child;
}

std::optional<std::vector<std::string>> GphotoCamera::Config::choices(const char *name) const
{
    CameraWidget *menu = widget(name);
    if (!menu)
        return std::nullopt;
    std::vector<std::string> labels;
    const int count = gp_widget_count_choices(menu);
    for (int i = 0; i < count; ++i) {
        const char *label = nullptr;
        gp_widget_get_choice(menu, i, &label);
        labels.emplace_back(label ? label : "");
    }
    return labels;
}

std::optional<int> GphotoCamera::Config::chosen(const char *name) const
{
    CameraWidget *menu = widget(name);
    const char *value = nullptr;
    if (!menu || gp_widget_get_value(menu, &value) < GP_OK || !value)
        return std::nullopt;
    // Labels are translated; the position in the list is what means the same everywhere.
    const int count = gp_widget_count_choices(menu);
    for (int i = 0; i < count; ++i) {
        const char *label = nullptr;
        if (gp_widget_get_choice(menu, i, &label) >= GP_OK && label && std::strcmp(label, value) == 0)
            return i;
    }
    return std::nullopt;
}

bool GphotoCamera::Config::choose(const char *name, int index)
{
    CameraWidget *menu = widget(name);
    const char *label = nullptr;
    return menu && gp_widget_get_choice(menu, index, &label) >= GP_OK && label &&
           gp_widget_set_value(menu, label) >= GP_OK;
}

std::optional<std::string> GphotoCamera::Config::text(const char *name) const
{
    CameraWidget *field = widget(name);
    const char *value = nullptr;
    if (!field || gp_widget_get_value(field, &value) < GP_OK || !value)
        return std::nullopt;
    return std::string(value);
}

bool GphotoCamera::Config::setText(const char *name, const std::string &value)
{
    CameraWidget *field = widget(name);
    return field && gp_widget_set_value(field, value.c_str()) >= GP_OK;
}

bool GphotoCamera::Config::setToggle(const char *name, bool on)
{
    CameraWidget *toggle = widget(name);
    const int value = on ? 1 : 0;
    return toggle && gp_widget_set_value(toggle, &value) >= GP_OK;
}

GphotoCamera::Config GphotoCamera::config()
{
    CameraWidget *root = nullptr;
    check("gp_camera_get_config", gp_camera_get_config(m_camera, &root, m_context));
    return Config(root);
}

void GphotoCamera::applyConfig(Config &config)
{
    check("gp_camera_set_config", gp_camera_set_config(m_camera, config.root(), m_context));
}

CardFile GphotoCamera::capture()
{
    CameraFilePath path{};
    check("gp_camera_capture", gp_camera_capture(m_camera, GP_CAPTURE_IMAGE, &path, m_context));
    CardFile file{path.folder, path.name, 0};
    CameraFileInfo info{};
    if (gp_camera_file_get_info(m_camera, path.folder, path.name, &info, m_context) >= GP_OK &&
        (info.file.fields & GP_FILE_INFO_SIZE))
        file.size = info.file.size;
    return file;
}

Download GphotoCamera::captureToHost()
{
    if (!m_fullImageClass) {
        // The driver's own setting, kept for as long as the camera is open.
        Config settings = config();
        const auto choices = settings.choices(kCaptureSizeClass);
        if (!choices || choices->size() != kCaptureSizeClasses || !settings.choose(kCaptureSizeClass, kFullImageClass))
            throw GphotoFailure{GP_ERROR_NOT_SUPPORTED, "no full-image capture size class"};
        applyConfig(settings);
        m_fullImageClass = true;
    }
    CameraFile *raw = nullptr;
    check("gp_file_new", gp_file_new(&raw));
    std::shared_ptr<CameraFile> owned(raw, [](CameraFile *f) { gp_file_unref(f); });
    check("gp_camera_capture_preview", gp_camera_capture_preview(m_camera, raw, m_context));
    const char *data = nullptr;
    unsigned long size = 0;
    check("gp_file_get_data_and_size", gp_file_get_data_and_size(raw, &data, &size));
    // The driver calls whatever comes back a JPEG: make sure it is one.
    const auto *bytes = reinterpret_cast<const uint8_t *>(data);
    if (size < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8)
        throw GphotoFailure{GP_ERROR_CORRUPTED_DATA, "the image sent to the PC is not a JPEG"};
    return Download{owned, bytes, static_cast<size_t>(size)};
}

Download GphotoCamera::download(const CardFile &file, Part part, const ProgressFunction &progress)
{
    CameraFile *raw = nullptr;
    check("gp_file_new", gp_file_new(&raw));
    std::shared_ptr<CameraFile> owned(raw, [](CameraFile *f) { gp_file_unref(f); });
    m_progress = &progress;
    // The driver answers a CRW's EXIF with its THM file; its preview is only
    // the small picture inside.
    const CameraFileType type = part == Part::File        ? GP_FILE_TYPE_NORMAL
                                : part == Part::Thumbnail ? GP_FILE_TYPE_PREVIEW
                                                          : GP_FILE_TYPE_EXIF;
    const int status = gp_camera_file_get(m_camera, file.folder.c_str(), file.name.c_str(), type, raw, m_context);
    m_progress = nullptr;
    // The library keeps every file it fetched in its cache; a whole image is
    // held by the caller, once. (Small pictures may stay: dropping the cache
    // costs a new listing of the folder.)
    if (part == Part::File)
        gp_filesystem_reset(m_camera->fs);
    check("gp_camera_file_get", status);
    const char *data = nullptr;
    unsigned long size = 0;
    check("gp_file_get_data_and_size", gp_file_get_data_and_size(raw, &data, &size));
    return Download{owned, reinterpret_cast<const uint8_t *>(data), static_cast<size_t>(size)};
}

void GphotoCamera::remove(const CardFile &file)
{
    check("gp_camera_file_delete",
          gp_camera_file_delete(m_camera, file.folder.c_str(), file.name.c_str(), m_context));
}

void GphotoCamera::listFolder(const std::string &folder, std::vector<CardFile> &files, int depth)
{
    List names = newList();
    check("gp_camera_folder_list_files",
          gp_camera_folder_list_files(m_camera, folder.c_str(), names.get(), m_context));
    for (int i = 0; i < gp_list_count(names.get()); ++i) {
        const char *name = nullptr;
        gp_list_get_name(names.get(), i, &name);
        if (!name)
            continue;
        CardFile file{folder, name, 0};
        CameraFileInfo info{};
        if (gp_camera_file_get_info(m_camera, folder.c_str(), name, &info, m_context) >= GP_OK &&
            (info.file.fields & GP_FILE_INFO_SIZE))
            file.size = info.file.size;
        files.push_back(std::move(file));
    }
    if (depth <= 0)
        return;
    List folders = newList();
    check("gp_camera_folder_list_folders",
          gp_camera_folder_list_folders(m_camera, folder.c_str(), folders.get(), m_context));
    for (int i = 0; i < gp_list_count(folders.get()); ++i) {
        const char *name = nullptr;
        gp_list_get_name(folders.get(), i, &name);
        if (!name)
            continue;
        std::string child = folder;
        if (child.back() != '/')
            child += '/';
        child += name;
        listFolder(child, files, depth - 1);
    }
}

std::vector<CardFile> GphotoCamera::listCard()
{
    // The library caches listings; the camera's own button adds files behind its back.
    gp_filesystem_reset(m_camera->fs);
    std::vector<CardFile> files;
    listFolder("/", files, kCardFolderDepth);
    return files;
}

CardSpace GphotoCamera::cardSpace()
{
    CameraStorageInformation *storages = nullptr;
    int count = 0;
    const int status = gp_camera_get_storageinfo(m_camera, &storages, &count, m_context);
    CardSpace space;
    if (status < GP_OK) {
        // Without a card the camera names no drive; only a vanished camera is a failure here.
        if (status == GP_ERROR_IO_USB_FIND || status == GP_ERROR_IO_READ || status == GP_ERROR_IO_WRITE)
            fail("gp_camera_get_storageinfo", status);
        takeMessages();
        return space;
    }
    for (int i = 0; i < count; ++i) {
        const CameraStorageInformation &storage = storages[i];
        if ((storage.fields & GP_STORAGEINFO_MAXCAPACITY) && storage.capacitykbytes > 0) {
            space.present = true;
            space.capacityBytes += storage.capacitykbytes * 1024;
            if (storage.fields & GP_STORAGEINFO_FREESPACEKBYTES)
                space.freeBytes += storage.freekbytes * 1024;
        }
    }
    std::free(storages);
    return space;
}

CameraEvent GphotoCamera::waitForEvent(int milliseconds)
{
    CameraEventType type = GP_EVENT_UNKNOWN;
    void *data = nullptr;
    const int status = gp_camera_wait_for_event(m_camera, milliseconds, &type, &data, m_context);
    std::unique_ptr<void, decltype(&std::free)> owned(data, &std::free);
    // An empty wait ends in a time-out on some ports and in GP_EVENT_TIMEOUT on others.
    if (status == GP_ERROR_TIMEOUT) {
        takeMessages();
        return {};
    }
    check("gp_camera_wait_for_event", status);
    CameraEvent event;
    switch (type) {
    case GP_EVENT_FILE_ADDED: {
        const auto *path = static_cast<const CameraFilePath *>(data);
        event.kind = CameraEventKind::FileAdded;
        event.file = {path->folder, path->name, 0};
        break;
    }
    case GP_EVENT_UNKNOWN:
        event.kind = CameraEventKind::Other;
        if (data)
            event.text = static_cast<const char *>(data);
        break;
    default:
        break;
    }
    return event;
}

} // namespace usbcam
