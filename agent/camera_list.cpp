#include "camera_list.h"

namespace {

std::string deviceNode(GstDevice* device) {
    GstStructure* properties = gst_device_get_properties(device);
    if (properties == nullptr) return {};
    std::string node;
    for (const char* key : {"api.v4l2.path", "device.path", "object.path", "node.name"}) {
        const char* value = gst_structure_get_string(properties, key);
        if (value != nullptr) {
            node = value;
            break;
        }
    }
    gst_structure_free(properties);
    return node;
}

Camera describe(GstDevice* device) {
    Camera camera;
    gchar* name = gst_device_get_display_name(device);
    camera.name = name != nullptr ? name : "camera";
    g_free(name);
    camera.node = deviceNode(device);
    camera.device.reset(GST_DEVICE(gst_object_ref(device)), gst_object_unref);
    return camera;
}

}  // namespace

namespace {
// Never destroyed, for the reason the header gives.
CameraMonitor* theMonitor = nullptr;
}  // namespace

CameraMonitor& CameraMonitor::instance() {
    if (theMonitor == nullptr) theMonitor = new CameraMonitor();
    return *theMonitor;
}

bool CameraMonitor::running() { return theMonitor != nullptr; }

CameraMonitor::CameraMonitor() {
    monitor_ = gst_device_monitor_new();
    gst_device_monitor_add_filter(monitor_, "Video/Source", nullptr);
    GstBus* bus = gst_device_monitor_get_bus(monitor_);
    gst_bus_add_watch(bus, onBusMessage, this);
    // Without any provider that can watch, the list is still probed on demand.
    gst_device_monitor_start(monitor_);
    // The cameras present at start are listed; only later changes matter.
    while (GstMessage* message = gst_bus_pop(bus)) gst_message_unref(message);
    gst_object_unref(bus);
}

std::vector<Camera> CameraMonitor::cameras() const {
    std::vector<Camera> cameras;
    GList* devices = gst_device_monitor_get_devices(monitor_);
    for (GList* item = devices; item != nullptr; item = item->next) {
        cameras.push_back(describe(GST_DEVICE(item->data)));
    }
    g_list_free_full(devices, gst_object_unref);
    return cameras;
}

void CameraMonitor::setListener(Listener listener) { listener_ = std::move(listener); }

gboolean CameraMonitor::onBusMessage(GstBus*, GstMessage* message, gpointer data) {
    auto* self = static_cast<CameraMonitor*>(data);
    GstDevice* device = nullptr;
    Change change;
    switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_DEVICE_ADDED:
            gst_message_parse_device_added(message, &device);
            change = Change::Added;
            break;
        case GST_MESSAGE_DEVICE_REMOVED:
            gst_message_parse_device_removed(message, &device);
            change = Change::Removed;
            break;
        default: return G_SOURCE_CONTINUE;
    }
    const Camera camera = describe(device);
    gst_object_unref(device);
    if (self->listener_) self->listener_(change, camera);
    return G_SOURCE_CONTINUE;
}
