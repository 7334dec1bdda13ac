#include <GL/glut.h>
#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "agent_window_x11.h"
#include "message_box_x11.h"
#include "platform.h"
#include "x11_properties.h"

extern char** environ;

NativeWindow findOwnWindow() { return NativeWindow(glXGetCurrentDrawable()); }

bool windowTitledExists(const char* title) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    const bool found = topLevelWindowTitled(display, title);
    XCloseDisplay(display);
    return found;
}

bool startDetachedProcess(const char* command) {
    // Everything that allocates is prepared before the fork: the child of a
    // threaded process may only spawn and exit.
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_init(&actions);

    // A session of its own, so a Ctrl+C in the visualiser's terminal leaves
    // the agent serving later visualisers; default signal handling and an
    // empty mask whatever the visualiser had.
    sigset_t allSignals, noSignals;
    sigfillset(&allSignals);
    sigemptyset(&noSignals);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    posix_spawnattr_setsigdefault(&attributes, &allSignals);
    posix_spawnattr_setsigmask(&attributes, &noSignals);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);

    char* const arguments[] = {const_cast<char*>(command), nullptr};

    // The short-lived middle process reports the spawn's result as its exit
    // status and is reaped at once; the agent is left to init, so it never
    // becomes our zombie.
    bool started = false;
    const pid_t middle = fork();
    if (middle == 0) {
        pid_t agent = 0;
        const int result = posix_spawnp(&agent, command, &actions, &attributes, arguments, environ);
        _exit(result == 0 ? 0 : 1);
    }
    if (middle > 0) {
        int status = 0;
        pid_t reaped;
        do {
            reaped = waitpid(middle, &status, 0);
        } while (reaped < 0 && errno == EINTR);
        started = reaped == middle && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return started;
}

void showMessage(NativeWindow owner, const char* text, const char* caption) {
    showX11Message(static_cast<unsigned long>(owner), text, caption);
}

void hideCursor() { glutSetCursor(GLUT_CURSOR_NONE); }

bool desktopHandlesFullScreen() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    const Atom supported = XInternAtom(display, "_NET_SUPPORTED", False);
    const Atom fullScreenState = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
    const long maxAtoms = 1024;
    const WindowProperty atoms(display, DefaultRootWindow(display), supported, maxAtoms);
    bool handles = false;
    if (atoms.complete() && atoms.type() == XA_ATOM && atoms.format() == 32) {
        // Xlib hands 32-bit items over as longs.
        const Atom* list = reinterpret_cast<const Atom*>(atoms.data());
        for (unsigned long i = 0; i < atoms.count() && !handles; ++i) {
            handles = list[i] == fullScreenState;
        }
    }
    XCloseDisplay(display);
    return handles;
}
