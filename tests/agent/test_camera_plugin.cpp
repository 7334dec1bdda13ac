// A GStreamer device provider of pretend cameras, for testing the agent's
// camera handling on machines without a camera. Loaded through
// GST_PLUGIN_PATH; it offers cameras only when LUMIGRAB_TEST_CAMERAS names a
// folder. Each regular file in that folder is one camera: the file's name is
// the camera's name and its contents, six hex digits RRGGBB, its solid
// colour. Creating a file plugs a camera in, removing it pulls it out: the
// camera then vanishes from the device list and a running capture from it
// fails, as a real camera's does.
#define PACKAGE "lumigrab-tests"

#include <dirent.h>
#include <gst/gst.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

namespace {

constexpr const char* foldersVariable = "LUMIGRAB_TEST_CAMERAS";
constexpr gulong pollMicros = 50 * 1000;
// Larger than the agent's frame, so it has to scale as with a real camera.
constexpr const char* cameraCaps = "video/x-raw,format=BGR,width=320,height=240,framerate=30/1";

std::string readColour(const std::string& path) {
    std::ifstream in(path);
    std::string text;
    in >> text;
    return text.size() == 6 && text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos
               ? text
               : "808080";
}

// Name to colour for every camera file in the folder, in name order.
std::map<std::string, std::string> listCameras(const std::string& folder) {
    std::map<std::string, std::string> cameras;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return cameras;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        const std::string path = folder + "/" + name;
        struct stat info;
        if (name[0] == '.' || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        cameras[name] = readColour(path);
    }
    closedir(dir);
    return cameras;
}

bool stillPlugged(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

}  // namespace

#define LUMI_TYPE_TEST_CAMERA (lumi_test_camera_get_type())
G_DECLARE_FINAL_TYPE(LumiTestCamera, lumi_test_camera, LUMI, TEST_CAMERA, GstDevice)

struct _LumiTestCamera {
    GstDevice parent;
    gchar* path;
    gchar* colour;
};

G_DEFINE_TYPE(LumiTestCamera, lumi_test_camera, GST_TYPE_DEVICE)

namespace {

struct UnplugWatch {
    GstElement* bin;
    gchar* path;
    bool failed;
};

void freeUnplugWatch(gpointer data) {
    auto* watch = static_cast<UnplugWatch*>(data);
    g_free(watch->path);
    g_free(watch);
}

// Every frame looks whether the camera is still plugged in; once it is not,
// the capture fails with an error, as a pulled-out camera's does.
GstPadProbeReturn checkPlugged(GstPad*, GstPadProbeInfo*, gpointer data) {
    auto* watch = static_cast<UnplugWatch*>(data);
    if (stillPlugged(watch->path)) return GST_PAD_PROBE_OK;
    if (!watch->failed) {
        watch->failed = true;
        GST_ELEMENT_ERROR(watch->bin, RESOURCE, READ, ("The camera was unplugged."),
                          ("%s is gone", watch->path));
    }
    return GST_PAD_PROBE_DROP;
}

GstElement* createCameraElement(GstDevice* device, const gchar* name) {
    LumiTestCamera* camera = LUMI_TEST_CAMERA(device);
    gchar* description = g_strdup_printf(
        "videotestsrc is-live=true pattern=solid-color foreground-color=0xff%s ! "
        "capsfilter caps=\"%s\"",
        camera->colour, cameraCaps);
    GError* error = nullptr;
    GstElement* bin = gst_parse_bin_from_description(description, TRUE, &error);
    g_free(description);
    if (bin == nullptr) {
        g_clear_error(&error);
        return nullptr;
    }
    if (name != nullptr) gst_object_set_name(GST_OBJECT(bin), name);
    GstPad* pad = gst_element_get_static_pad(bin, "src");
    auto* watch = g_new0(UnplugWatch, 1);
    watch->bin = bin;
    watch->path = g_strdup(camera->path);
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, checkPlugged, watch, freeUnplugWatch);
    gst_object_unref(pad);
    return bin;
}

void finalizeCamera(GObject* object) {
    LumiTestCamera* camera = LUMI_TEST_CAMERA(object);
    g_free(camera->path);
    g_free(camera->colour);
    G_OBJECT_CLASS(lumi_test_camera_parent_class)->finalize(object);
}

}  // namespace

static void lumi_test_camera_class_init(LumiTestCameraClass* klass) {
    GST_DEVICE_CLASS(klass)->create_element = createCameraElement;
    G_OBJECT_CLASS(klass)->finalize = finalizeCamera;
}

static void lumi_test_camera_init(LumiTestCamera*) {}

namespace {

GstDevice* newCamera(const std::string& folder, const std::string& name,
                     const std::string& colour) {
    const std::string path = folder + "/" + name;
    GstCaps* caps = gst_caps_from_string(cameraCaps);
    GstStructure* properties = gst_structure_new("lumigrab-test-camera", "device.path",
                                                 G_TYPE_STRING, path.c_str(), nullptr);
    auto* camera = static_cast<LumiTestCamera*>(
        g_object_new(LUMI_TYPE_TEST_CAMERA, "display-name", name.c_str(), "device-class",
                     "Video/Source", "caps", caps, "properties", properties, nullptr));
    gst_caps_unref(caps);
    gst_structure_free(properties);
    camera->path = g_strdup(path.c_str());
    camera->colour = g_strdup(colour.c_str());
    return GST_DEVICE(camera);
}

}  // namespace

#define LUMI_TYPE_TEST_CAMERA_PROVIDER (lumi_test_camera_provider_get_type())
G_DECLARE_FINAL_TYPE(LumiTestCameraProvider, lumi_test_camera_provider, LUMI, TEST_CAMERA_PROVIDER,
                     GstDeviceProvider)

struct _LumiTestCameraProvider {
    GstDeviceProvider parent;
    GThread* thread;
    gint running;
    // "name#RRGGBB" to device, as last announced; only the thread touches it
    // once started.
    std::map<std::string, GstDevice*>* announced;
};

G_DEFINE_TYPE(LumiTestCameraProvider, lumi_test_camera_provider, GST_TYPE_DEVICE_PROVIDER)

namespace {

const char* cameraFolder() { return std::getenv(foldersVariable); }

// Brings the announced devices in line with the folder: a camera whose file
// went or whose colour changed is removed, a new one is added.
void syncCameras(LumiTestCameraProvider* self, const std::string& folder) {
    std::map<std::string, std::string> now = listCameras(folder);
    std::map<std::string, GstDevice*>& announced = *self->announced;
    for (auto it = announced.begin(); it != announced.end();) {
        const std::string name = it->first.substr(0, it->first.size() - 7);
        const std::string colour = it->first.substr(it->first.size() - 6);
        auto found = now.find(name);
        if (found == now.end() || found->second != colour) {
            gst_device_provider_device_remove(GST_DEVICE_PROVIDER(self), it->second);
            gst_object_unref(it->second);
            it = announced.erase(it);
        } else {
            ++it;
        }
    }
    for (const auto& [name, colour] : now) {
        const std::string key = name + "#" + colour;
        if (announced.count(key) != 0) continue;
        GstDevice* device = newCamera(folder, name, colour);
        announced[key] = GST_DEVICE(gst_object_ref(device));
        gst_device_provider_device_add(GST_DEVICE_PROVIDER(self), device);
    }
}

gpointer watchFolder(gpointer data) {
    auto* self = static_cast<LumiTestCameraProvider*>(data);
    const std::string folder = cameraFolder();
    while (g_atomic_int_get(&self->running)) {
        syncCameras(self, folder);
        g_usleep(pollMicros);
    }
    return nullptr;
}

GList* probeCameras(GstDeviceProvider*) {
    GList* devices = nullptr;
    const char* folder = cameraFolder();
    if (folder == nullptr) return nullptr;
    for (const auto& [name, colour] : listCameras(folder)) {
        devices = g_list_append(devices, gst_object_ref_sink(newCamera(folder, name, colour)));
    }
    return devices;
}

gboolean startWatching(GstDeviceProvider* provider) {
    auto* self = LUMI_TEST_CAMERA_PROVIDER(provider);
    if (cameraFolder() == nullptr) return TRUE;
    // The first sync runs here, so the cameras are listed once start returns.
    syncCameras(self, cameraFolder());
    g_atomic_int_set(&self->running, 1);
    self->thread = g_thread_new("lumigrab-test-cameras", watchFolder, self);
    return TRUE;
}

void stopWatching(GstDeviceProvider* provider) {
    auto* self = LUMI_TEST_CAMERA_PROVIDER(provider);
    if (self->thread == nullptr) return;
    g_atomic_int_set(&self->running, 0);
    g_thread_join(self->thread);
    self->thread = nullptr;
    for (auto& [key, device] : *self->announced) {
        gst_device_provider_device_remove(provider, device);
        gst_object_unref(device);
    }
    self->announced->clear();
}

void finalizeProvider(GObject* object) {
    delete LUMI_TEST_CAMERA_PROVIDER(object)->announced;
    G_OBJECT_CLASS(lumi_test_camera_provider_parent_class)->finalize(object);
}

}  // namespace

static void lumi_test_camera_provider_class_init(LumiTestCameraProviderClass* klass) {
    GstDeviceProviderClass* provider = GST_DEVICE_PROVIDER_CLASS(klass);
    provider->probe = probeCameras;
    provider->start = startWatching;
    provider->stop = stopWatching;
    G_OBJECT_CLASS(klass)->finalize = finalizeProvider;
    gst_device_provider_class_set_static_metadata(provider, "Lumigrab test cameras", "Source/Video",
                                                  "Pretend cameras for tests", "lumigrab tests");
}

static void lumi_test_camera_provider_init(LumiTestCameraProvider* self) {
    self->announced = new std::map<std::string, GstDevice*>();
}

static gboolean plugin_init(GstPlugin* plugin) {
    return gst_device_provider_register(plugin, "lumigrabtestcameras", GST_RANK_PRIMARY,
                                        LUMI_TYPE_TEST_CAMERA_PROVIDER);
}

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, lumigrabtestcameras,
                  "Pretend cameras for the agent's tests", plugin_init, "1.0", "LGPL", PACKAGE,
                  "https://localhost/")
