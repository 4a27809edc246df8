#include "SdlDpi.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int Unscaled = 96, MostDpi = 9600;

// A positive number that fills the text (blanks around it allowed), else 0.
double WholeText(const char* text, bool wholeOnly) {
    if (text == nullptr) return 0;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text) return 0;
    end += std::strspn(end, " \t");
    if (*end != 0 || !(value > 0 && value <= MostDpi)) return 0;
    return wholeOnly && value != std::floor(value) ? 0 : value;
}

// The value of the resource line "name:\tvalue", or an empty text.
std::string Resource(const char* resources, const char* name) {
    const size_t length = std::strlen(name);
    for (const char* line = resources; line != nullptr && *line != 0;) {
        const char* end = std::strchr(line, '\n');
        const size_t size = end != nullptr ? size_t(end - line) : std::strlen(line);
        if (size > length && std::strncmp(line, name, length) == 0 && line[length] == ':') {
            const size_t from = length + 1 + std::strspn(line + length + 1, " \t");
            return std::string(line + from, size - std::min(size, from));
        }
        line = end != nullptr ? end + 1 : nullptr;
    }
    return {};
}

} // namespace

int DesktopDpi(const char* xResources, const char* gdkScale) {
    if (const double scale = WholeText(gdkScale, true); scale > 0 && scale * Unscaled <= MostDpi)
        return int(scale) * Unscaled;
    if (const double dpi = WholeText(Resource(xResources, "Xft.dpi").c_str(), false); dpi >= 1)
        return int(std::lround(dpi));
    return Unscaled;
}

int X11DesktopDpi() {
    static const int dpi = [] {
        std::string resources;
        if (std::getenv("DISPLAY") != nullptr) {
            if (Display* display = XOpenDisplay(nullptr)) {
                if (const char* text = XResourceManagerString(display)) resources = text;
                XCloseDisplay(display);
            }
        }
        return DesktopDpi(resources.c_str(), std::getenv("GDK_SCALE"));
    }();
    return dpi;
}
