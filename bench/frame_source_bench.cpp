// The frame source's per-pass work without GL, beside the least any pass
// must do: read the capture file and copy an image of the texture's size.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "capture_file.h"
#include "frame_source.h"

// Counts the allocations made through the C library while a pass runs.
namespace {
long allocations = 0;
}

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);

void* malloc(std::size_t size) {
    ++allocations;
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
    ++allocations;
    return __libc_calloc(count, size);
}
void* realloc(void* block, std::size_t size) {
    ++allocations;
    return __libc_realloc(block, size);
}
}

namespace {

std::string directory;

void prepareCaptureFile() {
    if (!directory.empty()) return;
    char pattern[] = "/tmp/frame-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    directory = pattern;
    setenv("XDG_RUNTIME_DIR", pattern, 1);
    std::vector<unsigned char> frame(captureFrameBytes);
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = (i * 7 + i / 480) & 0xFF;
    std::string path = directory + "/" + captureFileName;
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(frame.data(), 1, frame.size(), f);
    std::fclose(f);
    frameWidth = captureFrameWidth;
    frameHeight = captureFrameHeight;
}

// updateFrame without the texture upload.
void passWithoutGl(const CaptureSettings& settings) {
    readCaptureFile(rawFrame, captureFrameBytes);
    convertFrame(settings.alphaRule);
    smoothFrame(settings.blendFactor);
}

void BM_FrameSource(benchmark::State& state, CaptureSettings settings) {
    prepareCaptureFile();
    passWithoutGl(settings);  // one-time set-up stays out of the count
    long made = 0;
    for (auto _ : state) {
        const long before = allocations;
        passWithoutGl(settings);
        made += allocations - before;
        benchmark::DoNotOptimize(smoothedImage);
        benchmark::ClobberMemory();
    }
    state.counters["allocations_per_pass"] = double(made) / double(state.iterations());
}

std::uint8_t copyTarget[imageBytes];

void BM_PlainReadAndCopy(benchmark::State& state) {
    prepareCaptureFile();
    std::string path = directory + "/" + captureFileName;
    const long before = allocations;
    for (auto _ : state) {
        FILE* f = std::fopen(path.c_str(), "rb");
        std::size_t got = std::fread(rawFrame, 1, captureFrameBytes, f);
        std::fclose(f);
        benchmark::DoNotOptimize(got);
        std::memcpy(copyTarget, smoothedImage, imageBytes);
        benchmark::DoNotOptimize(copyTarget);
        benchmark::ClobberMemory();
    }
    // fopen's buffer shows that the count sees the C library's allocations.
    state.counters["allocations_per_pass"] =
        double(allocations - before) / double(state.iterations());
}

}  // namespace

BENCHMARK_CAPTURE(BM_FrameSource, brightness_alpha_factor_0_1,
                  CaptureSettings{AlphaRule::brightness, defaultBlendFactor, false});
BENCHMARK_CAPTURE(BM_FrameSource, inverse_alpha_factor_0_1,
                  CaptureSettings{AlphaRule::inverseBrightness, defaultBlendFactor, false});
BENCHMARK_CAPTURE(BM_FrameSource, constant_alpha_factor_0_1,
                  CaptureSettings{AlphaRule::evenTranslucency, defaultBlendFactor, false});
BENCHMARK_CAPTURE(BM_FrameSource, brightness_alpha_factor_1_70,
                  CaptureSettings{AlphaRule::brightness, slowBlendFactor, false});
BENCHMARK(BM_PlainReadAndCopy);

BENCHMARK_MAIN();
// Where a pass's time goes.
namespace {
void BM_ReadOnly(benchmark::State& state) {
    prepareCaptureFile();
    for (auto _ : state) benchmark::DoNotOptimize(readCaptureFile(rawFrame, captureFrameBytes));
}
void BM_ConvertOnly(benchmark::State& state) {
    prepareCaptureFile();
    for (auto _ : state) {
        convertFrame(AlphaRule::brightness);
        benchmark::ClobberMemory();
    }
}
void BM_SmoothOnly(benchmark::State& state) {
    prepareCaptureFile();
    for (auto _ : state) {
        smoothFrame(defaultBlendFactor);
        benchmark::ClobberMemory();
    }
}
}  // namespace
BENCHMARK(BM_ReadOnly);
BENCHMARK(BM_ConvertOnly);
BENCHMARK(BM_SmoothOnly);
