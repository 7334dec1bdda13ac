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

}  // namespace

std::vector<Camera> findCameras() {
    std::vector<Camera> cameras;
    GstDeviceMonitor* monitor = gst_device_monitor_new();
    gst_device_monitor_add_filter(monitor, "Video/Source", nullptr);
    if (!gst_device_monitor_start(monitor)) {
        gst_object_unref(monitor);
        return cameras;
    }
    GList* devices = gst_device_monitor_get_devices(monitor);
    for (GList* item = devices; item != nullptr; item = item->next) {
        GstDevice* device = GST_DEVICE(item->data);
        Camera camera;
        gchar* name = gst_device_get_display_name(device);
        camera.name = name != nullptr ? name : "camera";
        g_free(name);
        camera.node = deviceNode(device);
        camera.device.reset(GST_DEVICE(gst_object_ref(device)), gst_object_unref);
        cameras.push_back(std::move(camera));
    }
    g_list_free_full(devices, gst_object_unref);
    gst_device_monitor_stop(monitor);
    gst_object_unref(monitor);
    return cameras;
}
