#include "x11_properties.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <cstring>
#include <string>

WindowProperty::WindowProperty(Display* display, Window window, Atom property, long maxLongs) {
    if (XGetWindowProperty(display, window, property, 0, maxLongs, False, AnyPropertyType, &type_,
                           &format_, &count_, &remaining_, &data_) != Success) {
        data_ = nullptr;
    }
}

WindowProperty::~WindowProperty() {
    if (data_ != nullptr) XFree(data_);
}

bool WindowProperty::holdsText(const char* text) const {
    return complete() && format_ == 8 && count_ == std::strlen(text) &&
           std::memcmp(data_, text, count_) == 0;
}

void setWindowTitle(Display* display, Window window, const char* title) {
    XStoreName(display, window, title);
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False),
                    XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title), int(std::strlen(title)));
}

void setWindowClass(Display* display, Window window, const char* instance, const char* className) {
    // XClassHint takes writable strings; give it copies.
    std::string instanceCopy = instance, classCopy = className;
    XClassHint hint;
    hint.res_name = instanceCopy.data();
    hint.res_class = classCopy.data();
    XSetClassHint(display, window, &hint);
}
