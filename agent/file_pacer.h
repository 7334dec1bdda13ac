#pragma once

#include <cstdint>
#include <optional>

// Gives each decoded frame of a video file its moment, so that a file plays
// at its own pace where its timestamps advance, and at the agent's frame
// rate where they do not (a file whose header claims thousands of frames a
// second and stamps them all at zero would otherwise show only its first).
class FramePacer {
   public:
    // `frameNanos`: the agent's frame interval; `closestNanos`: frames closer
    // together than this are taken as badly stamped.
    FramePacer(std::uint64_t frameNanos, std::uint64_t closestNanos)
        : frameNanos_(frameNanos), closestNanos_(closestNanos) {}

    // The file starts again from the beginning (a seek or a restart).
    void restart() { last_.reset(); }

    // The moment for the next frame, given the file's own, if any.
    std::uint64_t place(std::optional<std::uint64_t> stamped);

   private:
    std::uint64_t frameNanos_;
    std::uint64_t closestNanos_;
    std::optional<std::uint64_t> last_;
};
