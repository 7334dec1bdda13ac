// A small X client for the end-to-end tests: it lists the top-level
// windows with the properties the tests look at, takes screenshots, reads
// the cursor image and plays the capture agent's announcement window.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int ignoreXError(Display*, XErrorEvent*) { return 0; }

// Printable as a JSON string: the tests compare titles byte for byte.
std::string quoted(const unsigned char* data, unsigned long length) {
    std::string out = "\"";
    for (unsigned long i = 0; i < length; ++i) {
        const unsigned char c = data[i];
        if (c == '"' || c == '\\' || c < 0x20 || c >= 0x7f) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

// The raw 8-bit property, or null when the window does not have it.
std::string textProperty(Display* display, Window window, Atom property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, 1024, False, AnyPropertyType, &type,
                           &format, &count, &remaining, &data) != Success ||
        type == None) {
        if (data != nullptr) XFree(data);
        return "null";
    }
    std::string out = format == 8 ? quoted(data, count) : "null";
    XFree(data);
    return out;
}

// One image of a window's _NET_WM_ICON: its size and where its ARGB pixels
// start in the property.
struct IconImage {
    unsigned long width, height, offset;
};

// The window's _NET_WM_ICON as Xlib hands it over, one long per item, and
// the images in it; empty when the window has none or it is malformed.
std::vector<unsigned long> netWmIcon(Display* display, Window window,
                                     std::vector<IconImage>& images) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    const long maxItems = 1 << 20;
    std::vector<unsigned long> items;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_ICON", False), 0,
                           maxItems, False, XA_CARDINAL, &type, &format, &count, &remaining,
                           &data) == Success &&
        type == XA_CARDINAL && format == 32 && remaining == 0) {
        const unsigned long* longs = reinterpret_cast<const unsigned long*>(data);
        items.assign(longs, longs + count);
    }
    if (data != nullptr) XFree(data);
    for (unsigned long i = 0; i + 2 <= items.size();) {
        const unsigned long width = items[i], height = items[i + 1];
        if (width == 0 || height == 0 || items.size() - i - 2 < width * height) {
            images.clear();
            return {};
        }
        images.push_back({width, height, i + 2});
        i += 2 + width * height;
    }
    return items;
}

// The icon sizes as a JSON list of [width, height] pairs.
std::string iconSizes(Display* display, Window window) {
    std::vector<IconImage> images;
    netWmIcon(display, window, images);
    std::string out = "[";
    for (const IconImage& image : images) {
        if (out.size() > 1) out += ", ";
        out += "[" + std::to_string(image.width) + ", " + std::to_string(image.height) + "]";
    }
    return out + "]";
}

// Writes the window icon's image of this width as raw RGBA bytes.
int writeIcon(Display* display, Window window, unsigned long width, const char* path) {
    std::vector<IconImage> images;
    const std::vector<unsigned long> items = netWmIcon(display, window, images);
    for (const IconImage& image : images) {
        if (image.width != width) continue;
        FILE* out = std::fopen(path, "wb");
        if (out == nullptr) return 1;
        for (unsigned long i = 0; i < image.width * image.height; ++i) {
            const unsigned long argb = items[image.offset + i];
            const unsigned char rgba[4] = {
                static_cast<unsigned char>(argb >> 16), static_cast<unsigned char>(argb >> 8),
                static_cast<unsigned char>(argb), static_cast<unsigned char>(argb >> 24)};
            std::fwrite(rgba, 1, 4, out);
        }
        return std::fclose(out) == 0 ? 0 : 1;
    }
    return 1;
}

int listWindows(Display* display) {
    Window root = DefaultRootWindow(display), rootReturn = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, root, &rootReturn, &parent, &children, &count)) return 1;
    const Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
    XSetErrorHandler(ignoreXError);
    for (unsigned int i = 0; i < count; ++i) {
        const Window w = children[i];
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, w, &attributes)) continue;
        std::string windowClass = "null", instance = "null";
        XClassHint hint{};
        if (XGetClassHint(display, w, &hint)) {
            windowClass = quoted(reinterpret_cast<unsigned char*>(hint.res_class),
                                 std::strlen(hint.res_class));
            instance =
                quoted(reinterpret_cast<unsigned char*>(hint.res_name), std::strlen(hint.res_name));
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
        Window transientFor = 0;
        XGetTransientForHint(display, w, &transientFor);
        std::printf(
            "{\"id\": %lu, \"x\": %d, \"y\": %d, \"width\": %d, \"height\": %d, \"mapped\": %s, "
            "\"class\": %s, \"instance\": %s, \"icons\": %s, \"wm_name\": %s, "
            "\"net_wm_name\": %s, \"transient_for\": %lu}\n",
            w, attributes.x, attributes.y, attributes.width, attributes.height,
            attributes.map_state == IsViewable ? "true" : "false", windowClass.c_str(),
            instance.c_str(), iconSizes(display, w).c_str(),
            textProperty(display, w, XA_WM_NAME).c_str(),
            textProperty(display, w, netWmName).c_str(), transientFor);
    }
    if (children != nullptr) XFree(children);
    return 0;
}

// The whole screen as a binary PPM.
int screenshot(Display* display, const char* path) {
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes;
    XGetWindowAttributes(display, root, &attributes);
    XImage* image = XGetImage(display, root, 0, 0, unsigned(attributes.width),
                              unsigned(attributes.height), AllPlanes, ZPixmap);
    if (image == nullptr) return 1;
    FILE* out = std::fopen(path, "wb");
    if (out == nullptr) return 1;
    std::fprintf(out, "P6\n%d %d\n255\n", image->width, image->height);
    for (int y = 0; y < image->height; ++y) {
        for (int x = 0; x < image->width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            const unsigned char rgb[3] = {
                static_cast<unsigned char>((pixel & image->red_mask) >> 16),
                static_cast<unsigned char>((pixel & image->green_mask) >> 8),
                static_cast<unsigned char>(pixel & image->blue_mask)};
            std::fwrite(rgb, 1, 3, out);
        }
    }
    std::fclose(out);
    XDestroyImage(image);
    return 0;
}

// The cursor the server shows where the pointer is: its size and the
// largest alpha of its pixels (0 when nothing is visible).
int cursor(Display* display) {
    int eventBase = 0, errorBase = 0;
    if (!XFixesQueryExtension(display, &eventBase, &errorBase)) return 1;
    XFixesCursorImage* image = XFixesGetCursorImage(display);
    if (image == nullptr) return 1;
    unsigned long maxAlpha = 0;
    for (int i = 0; i < image->width * image->height; ++i) {
        const unsigned long alpha = (image->pixels[i] >> 24) & 0xff;
        if (alpha > maxAlpha) maxAlpha = alpha;
    }
    std::printf("{\"width\": %d, \"height\": %d, \"max_alpha\": %lu}\n", image->width,
                image->height, maxAlpha);
    XFree(image);
    return 0;
}

// An unmapped top-level window titled in one of the two name properties,
// kept until stdin closes.
int announce(Display* display, const char* which, const char* title) {
    const Window w =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
    const Atom property =
        std::strcmp(which, "net") == 0 ? XInternAtom(display, "_NET_WM_NAME", False) : XA_WM_NAME;
    const Atom type =
        std::strcmp(which, "net") == 0 ? XInternAtom(display, "UTF8_STRING", False) : XA_STRING;
    XChangeProperty(display, w, property, type, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title), int(std::strlen(title)));
    XSync(display, False);
    std::printf("%lu\n", w);
    std::fflush(stdout);
    char buffer[64];
    while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
    }
    XDestroyWindow(display, w);
    XSync(display, False);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: xprobe windows | shot FILE | cursor | announce wm|net TITLE"
                     " | icon WINDOW WIDTH FILE\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return 1;
    const std::string command = argv[1];
    int status = 2;
    if (command == "windows") status = listWindows(display);
    if (command == "shot" && argc == 3) status = screenshot(display, argv[2]);
    if (command == "cursor") status = cursor(display);
    if (command == "announce" && argc == 4) status = announce(display, argv[2], argv[3]);
    if (command == "icon" && argc == 5) {
        status = writeIcon(display, std::strtoul(argv[2], nullptr, 0),
                           std::strtoul(argv[3], nullptr, 10), argv[4]);
    }
    XCloseDisplay(display);
    return status;
}
