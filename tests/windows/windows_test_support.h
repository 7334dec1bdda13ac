#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// A fresh folder under the temporary folder, removed with its files.
class TempFolder {
   public:
    TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "\\" + name; }
    std::vector<std::string> entries() const;

   private:
    std::string path_;
};

// lumigrab.exe from beside this test program, with its output kept.
class AgentProcess {
   public:
    explicit AgentProcess(const std::vector<std::string>& args);
    AgentProcess(const AgentProcess&) = delete;
    AgentProcess& operator=(const AgentProcess&) = delete;
    ~AgentProcess();

    unsigned long pid() const { return pid_; }
    // False if it still runs after `seconds`.
    bool waitExit(double seconds);
    // As taskkill without /f: asks its window to close, then waits.
    bool closeWindow(double seconds);
    int exitStatus() const;
    std::string standardOutput() const;
    std::string errorOutput() const;

   private:
    HANDLE process_ = nullptr;
    unsigned long pid_ = 0;
    TempFolder logs_;
};

Bytes readWholeFile(const std::string& path);
void writeWholeFile(const std::string& path, const Bytes& bytes);
bool fileExists(const std::string& path);
std::string capturePath();
// Polls until the capture file holds a whole frame equal to `frame` (any
// whole frame when `frame` is empty).
bool waitForFrame(const Bytes& frame, double seconds);
Bytes solidFrame(std::uint8_t blue, std::uint8_t green, std::uint8_t red);
std::vector<std::string> nonEmptyLines(const std::string& text);
double nowSeconds();
