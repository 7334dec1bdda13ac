#include "windows_test_support.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "capture_agent.h"
#include "capture_file.h"

namespace {

std::string programFolder() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/"));
}

std::string quoted(const std::string& argument) {
    std::string out = "\"";
    for (char c : argument) {
        if (c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

HANDLE inheritableFile(const std::string& path) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TempFolder::TempFolder() {
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    static int counter = 0;
    for (;;) {
        path_ = std::string(base) + "lumivis-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++counter);
        if (CreateDirectoryA(path_.c_str(), nullptr)) return;
    }
}

TempFolder::~TempFolder() {
    for (const std::string& name : entries()) DeleteFileA(file(name).c_str());
    RemoveDirectoryA(path_.c_str());
}

std::vector<std::string> TempFolder::entries() const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path_ + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

AgentProcess::AgentProcess(const std::vector<std::string>& args) {
    std::string commandLine = quoted(programFolder() + "\\lumigrab.exe");
    for (const std::string& arg : args) {
        commandLine += ' ';
        commandLine += quoted(arg);
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = inheritableFile(logs_.file("out.txt"));
    startup.hStdError = inheritableFile(logs_.file("err.txt"));
    PROCESS_INFORMATION info = {};
    if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &info)) {
        process_ = info.hProcess;
        pid_ = info.dwProcessId;
        CloseHandle(info.hThread);
    }
    CloseHandle(startup.hStdOutput);
    CloseHandle(startup.hStdError);
}

AgentProcess::~AgentProcess() {
    if (process_ == nullptr) return;
    if (!waitExit(0)) {
        TerminateProcess(process_, 9);
        WaitForSingleObject(process_, 10000);
    }
    CloseHandle(process_);
}

bool AgentProcess::waitExit(double seconds) {
    return process_ != nullptr &&
           WaitForSingleObject(process_, DWORD(seconds * 1000)) == WAIT_OBJECT_0;
}

bool AgentProcess::closeWindow(double seconds) {
    const double deadline = nowSeconds() + seconds;
    while (nowSeconds() < deadline) {
        HWND window = FindWindowA(nullptr, captureAgentTitle);
        DWORD owner = 0;
        if (window != nullptr) GetWindowThreadProcessId(window, &owner);
        if (owner == pid_) {
            PostMessageA(window, WM_CLOSE, 0, 0);
            return waitExit(deadline - nowSeconds());
        }
        if (waitExit(0.02)) return true;
    }
    return false;
}

int AgentProcess::exitStatus() const {
    DWORD code = 0;
    if (process_ == nullptr || !GetExitCodeProcess(process_, &code) || code == STILL_ACTIVE) {
        return -1;
    }
    return int(code);
}

std::string AgentProcess::standardOutput() const { return readText(logs_.file("out.txt")); }
std::string AgentProcess::errorOutput() const { return readText(logs_.file("err.txt")); }

// Shares deletion, as the visualisers do: a plain stream does not, and then
// an agent replacing the file makes opening it fail now and then.
Bytes readWholeFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    Bytes bytes;
    std::uint8_t chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    CloseHandle(file);
    return bytes;
}

void writeWholeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

bool fileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string capturePath() {
    char path[MAX_PATH];
    return captureFilePath(path, sizeof path) ? path : "";
}

bool waitForFrame(const Bytes& frame, double seconds) {
    const double deadline = nowSeconds() + seconds;
    Bytes read(captureFrameBytes);
    while (nowSeconds() < deadline) {
        const long got = readCaptureFile(read.data(), read.size());
        if (got == long(captureFrameBytes) && (frame.empty() || read == frame)) return true;
        Sleep(10);
    }
    return false;
}

Bytes solidFrame(std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    Bytes frame(captureFrameBytes);
    for (std::size_t i = 0; i < frame.size(); i += 3) {
        frame[i] = blue;
        frame[i + 1] = green;
        frame[i + 2] = red;
    }
    return frame;
}

std::vector<std::string> nonEmptyLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

double nowSeconds() {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}
