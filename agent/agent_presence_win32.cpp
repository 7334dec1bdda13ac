#include "agent_presence_win32.h"

#include "capture_agent.h"

namespace {

constexpr const char* windowClassName = "LumigrabAgentPresence";
// Per session, as the windows the visualisers search are.
constexpr const char* mutexName = "Local\\lumigrab-agent";
constexpr DWORD tickMilliseconds = 1000;
// Windows ends a process this long after its console closes; the capture
// thread finishes its frame well within it.
constexpr DWORD consoleCloseGraceMilliseconds = 3000;

HANDLE stopEvent = nullptr;
HANDLE workDone = nullptr;

BOOL WINAPI onConsoleEvent(DWORD event) {
    SetEvent(stopEvent);
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        // Returning lets Windows end the process at once.
        WaitForSingleObject(workDone, consoleCloseGraceMilliseconds);
    }
    return TRUE;
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE: SetEvent(stopEvent); return 0;
        case WM_QUERYENDSESSION: return TRUE;
        case WM_ENDSESSION:
            if (wParam) {
                SetEvent(stopEvent);
                WaitForSingleObject(workDone, consoleCloseGraceMilliseconds);
            }
            return 0;
        default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

struct Work {
    const std::function<int()>* run;
    int status;
};

DWORD WINAPI runWork(void* data) {
    auto* work = static_cast<Work*>(data);
    work->status = (*work->run)();
    SetEvent(workDone);
    return 0;
}

}  // namespace

AgentPresence::~AgentPresence() {
    if (window_ != nullptr) DestroyWindow(window_);
    if (mutex_ != nullptr) CloseHandle(mutex_);
}

bool AgentPresence::otherAgentShown(unsigned long* processId) {
    HWND other = FindWindowA(nullptr, captureAgentTitle);
    *processId = 0;
    if (other == nullptr) return false;
    DWORD process = 0;
    GetWindowThreadProcessId(other, &process);
    *processId = process;
    return true;
}

AgentPresence::StopOutcome AgentPresence::stopOther(unsigned long* processId,
                                                    unsigned long waitMilliseconds) {
    *processId = 0;
    HWND other = FindWindowA(nullptr, captureAgentTitle);
    if (other == nullptr) return StopOutcome::NoneRunning;
    DWORD process = 0;
    GetWindowThreadProcessId(other, &process);
    *processId = process;
    HANDLE handle = OpenProcess(SYNCHRONIZE, FALSE, process);
    if (!PostMessageA(other, WM_CLOSE, 0, 0)) {
        // The caller reports the reason.
        const DWORD error = GetLastError();
        if (handle != nullptr) CloseHandle(handle);
        SetLastError(error);
        return StopOutcome::Refused;
    }
    if (handle != nullptr) {
        const DWORD woke = WaitForSingleObject(handle, waitMilliseconds);
        CloseHandle(handle);
        return woke == WAIT_OBJECT_0 ? StopOutcome::Stopped : StopOutcome::TimedOut;
    }
    // Without a handle on the process, its window going is the sign.
    constexpr DWORD pollMilliseconds = 50;
    for (DWORD waited = 0; waited < waitMilliseconds && IsWindow(other);
         waited += pollMilliseconds) {
        Sleep(pollMilliseconds);
    }
    return IsWindow(other) ? StopOutcome::TimedOut : StopOutcome::Stopped;
}

bool AgentPresence::claim() {
    mutex_ = CreateMutexA(nullptr, FALSE, mutexName);
    if (mutex_ == nullptr) return false;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex_);
        mutex_ = nullptr;
        return false;
    }
    return true;
}

bool AgentPresence::announce(unsigned long* error) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = windowClassName;
    RegisterClassA(&windowClass);
    // A tool window stays off the taskbar even if something shows it.
    window_ = CreateWindowExA(WS_EX_TOOLWINDOW, windowClassName, captureAgentTitle, WS_POPUP, 0, 0,
                              0, 0, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window_ == nullptr) *error = GetLastError();
    return window_ != nullptr;
}

int AgentPresence::serve(const std::function<int()>& work, HANDLE stop,
                         const std::function<void()>& everySecond) {
    stopEvent = stop;
    workDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);

    Work job = {&work, 0};
    HANDLE thread = CreateThread(nullptr, 0, runWork, &job, 0, nullptr);
    if (thread == nullptr) {
        job.status = work();
    } else {
        DWORD lastTick = GetTickCount();
        for (;;) {
            const DWORD woke =
                MsgWaitForMultipleObjects(1, &thread, FALSE, tickMilliseconds, QS_ALLINPUT);
            if (woke == WAIT_OBJECT_0) break;
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
            if (GetTickCount() - lastTick >= tickMilliseconds) {
                lastTick = GetTickCount();
                everySecond();
            }
        }
        CloseHandle(thread);
    }
    SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    CloseHandle(workDone);
    workDone = nullptr;
    return job.status;
}
