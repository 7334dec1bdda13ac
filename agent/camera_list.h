#pragma once

#include <gst/gst.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct Camera {
    std::string name;
    std::string node;  // device path or PipeWire node, where known
    std::shared_ptr<GstDevice> device;

    std::string label() const { return node.empty() ? name : name + " (" + node + ")"; }
    bool sameAs(const Camera& other) const { return name == other.name && node == other.node; }
};

// The cameras GStreamer's device providers can see, watched for the agent's
// whole life by one device monitor. The monitor is started once and never
// stopped: stopping the PipeWire provider races with its own thread and can
// free memory twice, so the process ends with it still running. Where the
// desktop offers cameras through PipeWire, its provider hides the same
// cameras' V4L2 nodes, so each camera appears once.
class CameraMonitor {
   public:
    enum class Change { Added, Removed };
    using Listener = std::function<void(Change, const Camera&)>;

    // The one monitor, started on first use.
    static CameraMonitor& instance();
    // Whether instance() was ever called, so the monitor runs.
    static bool running();

    // The cameras now present, in the order a bare start tries them.
    std::vector<Camera> cameras() const;

    // Calls `listener` from the default main context whenever a camera
    // appears or goes away. One listener at a time; null stops the calls.
    void setListener(Listener listener);

   private:
    CameraMonitor();
    static gboolean onBusMessage(GstBus*, GstMessage* message, gpointer self);

    GstDeviceMonitor* monitor_ = nullptr;
    Listener listener_;
};
