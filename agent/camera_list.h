#pragma once

#include <gst/gst.h>

#include <memory>
#include <string>
#include <vector>

struct Camera {
    std::string name;
    std::string node;  // device path or PipeWire node, where known
    std::shared_ptr<GstDevice> device;

    std::string label() const { return node.empty() ? name : name + " (" + node + ")"; }
};

// The cameras GStreamer's device providers can see, in their order. Where
// the desktop offers cameras through PipeWire, its provider hides the same
// cameras' V4L2 nodes, so each camera appears once.
std::vector<Camera> findCameras();
