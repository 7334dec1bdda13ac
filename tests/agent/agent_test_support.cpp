#include "agent_test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "capture_file.h"

extern char** environ;

namespace {

void removeTree(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) return;
    if (S_ISDIR(info.st_mode)) {
        if (DIR* dir = opendir(path.c_str())) {
            while (const dirent* entry = readdir(dir)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..") removeTree(path + "/" + name);
            }
            closedir(dir);
        }
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

std::string readText(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// GLib deliberately drops its first quark table when GStreamer outgrows it.
// The suppression for that knows it by its allocation during library
// start-up, which only the slower unwinder can see; ten frames are enough.
std::vector<std::string> agentEnvironment(const std::string& runtimeDir, bool display) {
    std::vector<std::string> env;
    for (char** item = environ; *item != nullptr; ++item) {
        const std::string entry = *item;
        const std::string name = entry.substr(0, entry.find('='));
        if (name == "XDG_RUNTIME_DIR" || name == "LSAN_OPTIONS" || name == "ASAN_OPTIONS" ||
            (name == "DISPLAY" && !display)) {
            continue;
        }
        env.push_back(entry);
    }
    env.push_back("XDG_RUNTIME_DIR=" + runtimeDir);
    env.push_back(std::string("LSAN_OPTIONS=suppressions=") + LUMIGRAB_LSAN_SUPPRESSIONS +
                  ":print_suppressions=0");
    env.push_back("ASAN_OPTIONS=fast_unwind_on_malloc=0:malloc_context_size=10");
    return env;
}

}  // namespace

TempDir::TempDir() {
    std::string pattern = "/tmp/lumigrab-test-XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() { removeTree(path_); }

std::vector<std::string> TempDir::entries() const {
    std::vector<std::string> names;
    if (DIR* dir = opendir(path_.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
    }
    return names;
}

const char* agentPath() { return LUMIGRAB_PATH; }

Agent::Agent(const std::vector<std::string>& args, const std::string& runtimeDir, bool display,
             const std::vector<std::string>& extraEnv) {
    std::vector<std::string> env = agentEnvironment(runtimeDir, display);
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> argv{const_cast<char*>(LUMIGRAB_PATH)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& entry : env) envp.push_back(&entry[0]);
    envp.push_back(nullptr);
    const std::string out = logs_.file("stdout"), err = logs_.file("stderr");

    pid_ = fork();
    if (pid_ == 0) {
        int in = open("/dev/null", O_RDONLY);
        int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || o < 0 || e < 0) _exit(126);
        dup2(in, 0);
        dup2(o, 1);
        dup2(e, 2);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    if (pid_ < 0) throw std::runtime_error("fork failed");
}

Agent::~Agent() {
    if (pid_ > 0 && !waitExit(0)) {
        kill(pid_, SIGKILL);
        waitExit(10);
    }
}

bool Agent::waitExit(double seconds) {
    if (pid_ <= 0) return true;
    return eventually(seconds, [this] {
        int status = 0;
        pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done != pid_) return false;
        exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        pid_ = -1;
        return true;
    });
}

bool Agent::stop(int signalNumber) {
    if (pid_ <= 0) return true;
    kill(pid_, signalNumber);
    return waitExit(20);
}

std::string Agent::errorOutput() const { return readText(logs_.file("stderr")); }
std::string Agent::standardOutput() const { return readText(logs_.file("stdout")); }

std::string capturePathIn(const std::string& runtimeDir) {
    return runtimeDir + "/" + captureFileName;
}

std::vector<std::uint8_t> readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>());
}

void writeWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

bool waitForFrame(const std::string& runtimeDir, double seconds) {
    const std::string path = capturePathIn(runtimeDir);
    return eventually(seconds, [&] {
        struct stat info;
        return stat(path.c_str(), &info) == 0 && std::size_t(info.st_size) == captureFrameBytes;
    });
}

std::vector<std::string> nonEmptyLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

void sleepSeconds(double seconds) {
    timespec pause;
    pause.tv_sec = time_t(seconds);
    pause.tv_nsec = long((seconds - double(pause.tv_sec)) * 1e9);
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

double monotonicSeconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}
