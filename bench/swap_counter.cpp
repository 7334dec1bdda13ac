// Preloaded into a visualiser: counts its buffer swaps from outside the
// program. After a warm-up it measures for a while, writes one line of
// figures to $LUMIVIS_BENCH_OUT and ends the process.
#include <GL/glx.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

using SwapBuffers = void (*)(Display*, GLXDrawable);

double now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double setting(const char* name, double fallback) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::atof(value) : fallback;
}

long peakResidentKiB() {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) return -1;
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::strncmp(line, "VmHWM:", 6) == 0) kib = std::atol(line + 6);
    }
    std::fclose(status);
    return kib;
}

}  // namespace

extern "C" void glXSwapBuffers(Display* display, GLXDrawable drawable) {
    static const SwapBuffers real =
        reinterpret_cast<SwapBuffers>(dlsym(RTLD_NEXT, "glXSwapBuffers"));
    static const double warmUp = setting("LUMIVIS_BENCH_WARMUP", 3);
    static const double span = setting("LUMIVIS_BENCH_SECONDS", 10);
    static const double started = now();
    static double measureFrom = -1;
    static long swaps = 0;

    real(display, drawable);
    const double t = now();
    if (measureFrom < 0) {
        if (t - started < warmUp) return;
        measureFrom = t;
        return;
    }
    ++swaps;
    if (t - measureFrom < span) return;

    const double seconds = t - measureFrom;
    const char* out = std::getenv("LUMIVIS_BENCH_OUT");
    FILE* f = out != nullptr ? std::fopen(out, "w") : stderr;
    if (f != nullptr) {
        std::fprintf(f, "passes=%ld seconds=%.3f rate=%.2f peak_kib=%ld\n", swaps, seconds,
                     double(swaps) / seconds, peakResidentKiB());
        if (f != stderr) std::fclose(f);
    }
    _exit(0);
}
