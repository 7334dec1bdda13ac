#include <windows.h>

#include <cstring>

#include "platform.h"

NativeWindow findOwnWindow() {
    // The classic toolkit registers its windows as "GLUT", freeglut as
    // "FREEGLUT"; both leave the title empty.
    HWND window = FindWindowA("GLUT", "");
    if (window == nullptr) window = FindWindowA("FREEGLUT", "");
    return reinterpret_cast<NativeWindow>(window);
}

bool windowTitledExists(const char* title) { return FindWindowA(nullptr, title) != nullptr; }

bool startDetachedProcess(const char* command) {
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    std::memset(&process, 0, sizeof process);

    // CreateProcessA may write into the command line it is given.
    char commandLine[MAX_PATH];
    std::strncpy(commandLine, command, sizeof commandLine - 1);
    commandLine[sizeof commandLine - 1] = '\0';

    // The agent is a console program; without a window of its own no console
    // flashes up over the visualiser, and no Ctrl+C or closed console of
    // ours reaches it.
    const BOOL started = CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    // The agent is never waited for: its handles go at once.
    if (process.hProcess != nullptr) CloseHandle(process.hProcess);
    if (process.hThread != nullptr) CloseHandle(process.hThread);
    return started != FALSE;
}

void showMessage(NativeWindow owner, const char* text, const char* caption) {
    MessageBoxA(reinterpret_cast<HWND>(owner), text, caption, MB_OK);
}

void hideCursor() { ShowCursor(FALSE); }

bool desktopHandlesFullScreen() { return true; }
