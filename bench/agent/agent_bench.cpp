// Runs the agent for a while and prints what it costs: CPU time as a share
// of one core, how old the newest frame is when a reader looks, and peak
// memory; each built-in source with the capture folder on tmpfs (where
// $XDG_RUNTIME_DIR lives on a desktop) and on disk (where the /tmp fallback
// may be). Usage: agent_bench LUMIGRAB [SECONDS] [-- AGENT ARGS...]
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

double now(clockid_t clock) {
    timespec t;
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

void pause(double seconds) {
    timespec t{time_t(seconds), long((seconds - double(time_t(seconds))) * 1e9)};
    nanosleep(&t, nullptr);
}

// utime + stime of the process, in seconds.
double cpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    // After the command: state is field 3; utime and stime are fields 14 and 15.
    for (int index = 3; index <= 15 && fields >> field; ++index) {
        if (index == 14) utime = std::stoull(field);
        if (index == 15) stime = std::stoull(field);
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

long statusKilobytes(pid_t pid, const char* key) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, std::strlen(key), key) == 0) {
            return std::strtol(line.c_str() + std::strlen(key) + 1, nullptr, 10);
        }
    }
    return -1;
}

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[std::size_t(fraction * double(values.size() - 1))];
}

constexpr long tmpfsMagic = 0x01021994;
constexpr long ext4Magic = 0xEF53;

std::string fileSystemOf(const std::string& path) {
    struct statfs info;
    if (statfs(path.c_str(), &info) != 0) return "unknown";
    if (long(info.f_type) == tmpfsMagic) return "tmpfs";
    if (long(info.f_type) == ext4Magic) return "ext4";
    char text[32];
    std::snprintf(text, sizeof text, "type 0x%lx", long(info.f_type));
    return text;
}

int runOnce(const std::string& agent, double seconds, const std::vector<std::string>& args,
            const std::string& base) {
    std::string dir = base + "/lumigrab-bench-XXXXXX";
    if (mkdtemp(&dir[0]) == nullptr) {
        std::printf("cannot make a folder in %s\n\n", base.c_str());
        return 1;
    }
    const std::string frame = dir + "/lumigrabtemp.raw";

    std::string shown;
    for (const std::string& arg : args) shown += " " + arg;
    std::printf("lumigrab%s, %.0f s, capture directory %s (%s)\n", shown.c_str(), seconds,
                dir.c_str(), fileSystemOf(dir).c_str());

    const pid_t pid = fork();
    if (pid == 0) {
        setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
        unsetenv("DISPLAY");
        int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 2);
        std::vector<char*> argv{const_cast<char*>(agent.c_str())};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(agent.c_str(), argv.data());
        _exit(127);
    }

    struct stat info;
    const double startDeadline = now(CLOCK_MONOTONIC) + 20;
    while (stat(frame.c_str(), &info) != 0 && now(CLOCK_MONOTONIC) < startDeadline) pause(0.01);
    pause(1);  // past start-up, so only the steady state is measured

    const double cpuStart = cpuSeconds(pid), wallStart = now(CLOCK_MONOTONIC);
    std::vector<double> ages;
    long frames = 0;
    timespec lastMtime{};
    // Look at irregular moments, as a visualiser's redraws would.
    unsigned seed = 12345;
    while (now(CLOCK_MONOTONIC) - wallStart < seconds) {
        if (stat(frame.c_str(), &info) == 0) {
            const double mtime = double(info.st_mtim.tv_sec) + double(info.st_mtim.tv_nsec) / 1e9;
            ages.push_back(now(CLOCK_REALTIME) - mtime);
            if (info.st_mtim.tv_sec != lastMtime.tv_sec ||
                info.st_mtim.tv_nsec != lastMtime.tv_nsec) {
                ++frames;
                lastMtime = info.st_mtim;
            }
        }
        seed = seed * 1103515245u + 12345u;
        pause(0.002 + double((seed >> 16) % 8000) / 1e6);
    }
    const double cpu = cpuSeconds(pid) - cpuStart, wall = now(CLOCK_MONOTONIC) - wallStart;
    const long peak = statusKilobytes(pid, "VmHWM:"), resident = statusKilobytes(pid, "VmRSS:");

    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    unlink(frame.c_str());
    unlink((dir + "/lumigrab.lock").c_str());
    rmdir(dir.c_str());

    std::printf("  CPU            %.2f %% of one core (%.3f s over %.1f s)\n", 100 * cpu / wall,
                cpu, wall);
    std::printf("  frames seen    %.1f a second (distinct file times)\n", double(frames) / wall);
    std::printf("  frame age      median %.1f ms, 95th %.1f ms, max %.1f ms over %zu reads\n",
                1000 * percentile(ages, 0.5), 1000 * percentile(ages, 0.95),
                1000 * percentile(ages, 1.0), ages.size());
    std::printf("  memory         peak %ld KiB (VmHWM), now %ld KiB (VmRSS)\n", peak, resident);
    std::printf("  exit status    %d\n\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s LUMIGRAB [SECONDS] [-- AGENT ARGS...]\n", argv[0]);
        return 2;
    }
    const std::string agent = argv[1];
    // Long enough that the clock's ticks (1/100 s) give the figure to 0.05 %.
    double seconds = 20;
    int next = 2;
    if (next < argc && std::strcmp(argv[next], "--") != 0) seconds = std::atof(argv[next++]);
    if (next < argc && std::strcmp(argv[next], "--") == 0) {
        return runOnce(agent, seconds, std::vector<std::string>(argv + next + 1, argv + argc),
                       "/dev/shm");
    }
    // The built-in picture, then a plain colour to show the fixed cost.
    int failed = 0;
    for (const char* base : {"/dev/shm", "/var/tmp"}) {
        failed |= runOnce(agent, seconds, {"--source", "pattern", "--fps", "30"}, base);
        failed |= runOnce(agent, seconds, {"--source", "red", "--fps", "30"}, base);
    }
    return failed;
}
