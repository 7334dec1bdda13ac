#pragma once

#include <X11/Xlib.h>

// One window property as the server holds it, read whole or not at all;
// frees Xlib's copy when it goes.
class WindowProperty {
   public:
    // Reads at most `maxLongs` 32-bit units of `property` of any type.
    WindowProperty(Display* display, Window window, Atom property, long maxLongs);
    WindowProperty(const WindowProperty&) = delete;
    WindowProperty& operator=(const WindowProperty&) = delete;
    ~WindowProperty();

    // False when the property is missing, unreadable or longer than asked.
    bool complete() const { return data_ != nullptr && remaining_ == 0; }
    Atom type() const { return type_; }
    int format() const { return format_; }
    unsigned long count() const { return count_; }
    const unsigned char* data() const { return data_; }

    // The text of an 8-bit property equals `text` exactly.
    bool holdsText(const char* text) const;

   private:
    Atom type_ = None;
    int format_ = 0;
    unsigned long count_ = 0, remaining_ = 0;
    unsigned char* data_ = nullptr;
};

// Sets the title in both WM_NAME and, as UTF-8, _NET_WM_NAME, which is what
// desktops and the agent search read.
void setWindowTitle(Display* display, Window window, const char* title);

// Sets WM_CLASS: the instance and class names by which window managers and
// task bars tell windows apart.
void setWindowClass(Display* display, Window window, const char* instance, const char* className);
