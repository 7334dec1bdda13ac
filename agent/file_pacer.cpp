#include "file_pacer.h"

std::uint64_t FramePacer::place(std::optional<std::uint64_t> stamped) {
    std::uint64_t moment;
    if (!last_) {
        moment = stamped.value_or(0);
    } else if (stamped && *stamped >= *last_ + closestNanos_) {
        moment = *stamped;
    } else {
        moment = *last_ + frameNanos_;
    }
    last_ = moment;
    return moment;
}
