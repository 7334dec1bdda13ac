#include "message_box_x11.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstring>

#include "x11_properties.h"

namespace {

constexpr int padding = 16;
constexpr int buttonWidth = 72;
constexpr int buttonHeight = 24;
constexpr int minimumWidth = 240;

struct Layout {
    int width, height;
    int textX, textY;
    int buttonX, buttonY;
};

Layout layOut(XFontStruct* font, const char* text) {
    const int textWidth = XTextWidth(font, text, int(std::strlen(text)));
    const int lineHeight = font->ascent + font->descent;
    Layout l;
    l.width = textWidth + 2 * padding;
    if (l.width < minimumWidth) l.width = minimumWidth;
    l.textX = (l.width - textWidth) / 2;
    l.textY = padding + font->ascent;
    l.buttonX = (l.width - buttonWidth) / 2;
    l.buttonY = padding + lineHeight + padding;
    l.height = l.buttonY + buttonHeight + padding;
    return l;
}

void draw(Display* display, Window window, GC gc, XFontStruct* font, const Layout& l,
          const char* text) {
    XClearWindow(display, window);
    XDrawString(display, window, gc, l.textX, l.textY, text, int(std::strlen(text)));
    XDrawRectangle(display, window, gc, l.buttonX, l.buttonY, buttonWidth, buttonHeight);
    const char* ok = "OK";
    const int okWidth = XTextWidth(font, ok, 2);
    const int okBaseline = l.buttonY + (buttonHeight + font->ascent - font->descent) / 2;
    XDrawString(display, window, gc, l.buttonX + (buttonWidth - okWidth) / 2, okBaseline, ok, 2);
}

bool insideButton(const Layout& l, int x, int y) {
    return x >= l.buttonX && x <= l.buttonX + buttonWidth && y >= l.buttonY &&
           y <= l.buttonY + buttonHeight;
}

bool closesDialog(XKeyEvent* event) {
    const KeySym key = XLookupKeysym(event, 0);
    return key == XK_Return || key == XK_KP_Enter || key == XK_Escape || key == XK_space;
}

void setAtomProperty(Display* display, Window window, const char* property, const char* value) {
    Atom name = XInternAtom(display, property, False);
    Atom atom = XInternAtom(display, value, False);
    XChangeProperty(display, window, name, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&atom), 1);
}

}  // namespace

bool showX11Message(unsigned long owner, const char* text, const char* caption) {
    // A connection of our own keeps the dialog's events out of the toolkit's
    // queue, which is not running yet.
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    const int screen = DefaultScreen(display);

    XFontStruct* font = XLoadQueryFont(display, "fixed");
    if (font == nullptr) {
        XCloseDisplay(display);
        return false;
    }
    const Layout l = layOut(font, text);

    const int x = (DisplayWidth(display, screen) - l.width) / 2;
    const int y = (DisplayHeight(display, screen) - l.height) / 2;
    Window window = XCreateSimpleWindow(display, RootWindow(display, screen), x, y,
                                        unsigned(l.width), unsigned(l.height), 1,
                                        BlackPixel(display, screen), WhitePixel(display, screen));
    setWindowTitle(display, window, caption);
    setWindowClass(display, window, "message", messageWindowClass);
    if (owner != 0) XSetTransientForHint(display, window, owner);
    setAtomProperty(display, window, "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DIALOG");
    setAtomProperty(display, window, "_NET_WM_STATE", "_NET_WM_STATE_MODAL");

    XSizeHints sizeHints{};
    sizeHints.flags = PPosition | PMinSize | PMaxSize;
    sizeHints.x = x;
    sizeHints.y = y;
    sizeHints.min_width = sizeHints.max_width = l.width;
    sizeHints.min_height = sizeHints.max_height = l.height;
    XSetWMNormalHints(display, window, &sizeHints);
    XWMHints wmHints{};
    wmHints.flags = InputHint;
    wmHints.input = True;
    XSetWMHints(display, window, &wmHints);

    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &deleteWindow, 1);
    XSelectInput(
        display, window,
        ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask);

    GC gc = XCreateGC(display, window, 0, nullptr);
    XSetFont(display, gc, font->fid);
    XSetForeground(display, gc, BlackPixel(display, screen));
    XMapRaised(display, window);

    bool open = true;
    bool destroyed = false;
    bool buttonHeld = false;
    while (open) {
        XEvent event;
        XNextEvent(display, &event);
        switch (event.type) {
            case MapNotify: XSetInputFocus(display, window, RevertToParent, CurrentTime); break;
            case Expose:
                if (event.xexpose.count == 0) draw(display, window, gc, font, l, text);
                break;
            case KeyPress: open = !closesDialog(&event.xkey); break;
            case ButtonPress:
                buttonHeld = event.xbutton.button == Button1 &&
                             insideButton(l, event.xbutton.x, event.xbutton.y);
                break;
            case ButtonRelease:
                if (buttonHeld && insideButton(l, event.xbutton.x, event.xbutton.y)) open = false;
                buttonHeld = false;
                break;
            case ClientMessage:
                if (Atom(event.xclient.data.l[0]) == deleteWindow) open = false;
                break;
            case DestroyNotify:
                destroyed = true;
                open = false;
                break;
        }
    }

    XFreeGC(display, gc);
    XFreeFont(display, font);
    if (!destroyed) XDestroyWindow(display, window);
    XCloseDisplay(display);
    return true;
}
