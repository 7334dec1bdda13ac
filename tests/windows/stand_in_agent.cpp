#include <windows.h>

#include <cstdio>

// Stands in for lumigrab.exe where a test needs a visualiser to start an
// agent that leaves the capture file alone: it notes its start and waits.
constexpr const char* startsFile = "c:\\agent-starts";
constexpr DWORD lifeMilliseconds = 60000;

int main() {
    if (FILE* starts = std::fopen(startsFile, "a")) {
        std::fprintf(starts, "%lu\n", static_cast<unsigned long>(GetCurrentProcessId()));
        std::fclose(starts);
    }
    Sleep(lifeMilliseconds);
    return 0;
}
