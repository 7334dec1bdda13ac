#include "windows_error_win32.h"

#include <windows.h>

#include <cstdio>

std::string windowsErrorText(unsigned long code) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message;
    if (length > 0 && text != nullptr) message.assign(text, length);
    if (text != nullptr) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    if (message.empty()) {
        char number[32];
        std::snprintf(number, sizeof number, "error 0x%08lX", code);
        message = number;
    }
    return message;
}
