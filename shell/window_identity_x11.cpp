#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <vector>

#include "window_icon.h"
#include "window_identity.h"
#include "x11_properties.h"

void applyWindowIdentity(const ProgramIdentity& identity) {
    // GLUT's own connection, so that these requests reach the server, and
    // through it the window manager, before GLUT's later ones such as the
    // full-screen request.
    Display* display = glXGetCurrentDisplay();
    const Window window = glXGetCurrentDrawable();
    if (display == nullptr || window == None) return;

    std::vector<RgbaImage> images;
    for (const EncodedImage& icon : identity.icons) {
        if (auto image = decodePng(icon)) images.push_back(std::move(*image));
    }
    const std::vector<unsigned long> icon = netWmIconData(images);

    // GLUT maps the window as it creates it, but window managers read
    // WM_CLASS only when a window is mapped, and it may change only while
    // the window is withdrawn: withdraw it, name it, and map it again.
    XWithdrawWindow(display, window, DefaultScreen(display));
    setWindowClass(display, window, identity.command, identity.windowClass);
    if (!icon.empty()) {
        XChangeProperty(display, window, XInternAtom(display, "_NET_WM_ICON", False), XA_CARDINAL,
                        32, PropModeReplace, reinterpret_cast<const unsigned char*>(icon.data()),
                        int(icon.size()));
    }
    XMapWindow(display, window);
    XFlush(display);
}
