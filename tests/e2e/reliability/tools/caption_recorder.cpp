// Records every caption that any client of an X display sets, as it sets it.
//
// Polling a caption misses the ones that stand for a millisecond, and an X property-change event
// only says that a caption changed, not to what: by the time a reader asks, a newer one may stand.
// The RECORD extension hands us each ChangeProperty request itself, text included, in the order
// the server takes them.
//
//   caption_recorder          (DISPLAY names the display; runs until it is signalled)
//
// Prints "ready" once recording runs, then one line per caption change:
//   <wall-clock seconds> <window id, hex> _NET_WM_NAME <the text in hex>
// Hex keeps control characters, blanks and line breaks in the text from breaking the line.
// Only the UTF-8 caption is printed: WM_NAME repeats it, at twice the output for long ones.

#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/extensions/record.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

namespace {

struct Atoms {
    Atom netWmName = None;
};

std::uint32_t Read32(const unsigned char* at, bool swapped) {
    const std::uint32_t value = static_cast<std::uint32_t>(at[0]) |
                                static_cast<std::uint32_t>(at[1]) << 8 |
                                static_cast<std::uint32_t>(at[2]) << 16 |
                                static_cast<std::uint32_t>(at[3]) << 24;
    if (!swapped) return value;
    return (value >> 24) | ((value >> 8) & 0xFF00) | ((value << 8) & 0xFF0000) | (value << 24);
}

std::uint16_t Read16(const unsigned char* at, bool swapped) {
    const auto value = static_cast<std::uint16_t>(at[0] | at[1] << 8);
    return swapped ? static_cast<std::uint16_t>((value >> 8) | (value << 8)) : value;
}

double WallSeconds() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// A ChangeProperty request of a caption: the line to print, or nothing for any other request.
std::string CaptionLine(const XRecordInterceptData& intercepted, const Atoms& atoms) {
    const unsigned char* request = intercepted.data;
    const std::size_t size = static_cast<std::size_t>(intercepted.data_len) * 4;
    if (size < 24 || request[0] != X_ChangeProperty) return {};
    const bool swapped = intercepted.client_swapped != 0;
    // A request longer than the core limit carries its length in a second word (BIG-REQUESTS).
    std::size_t header = 0;
    if (Read16(request + 2, swapped) == 0) header = 4;
    if (size < 24 + header) return {};
    const unsigned char* fields = request + header;
    const std::uint32_t window = Read32(fields + 4, swapped);
    const std::uint32_t property = Read32(fields + 8, swapped);
    const unsigned format = fields[16];
    const std::uint32_t units = Read32(fields + 20, swapped);
    if (property != atoms.netWmName || format != 8) return {};
    const std::size_t length = units;
    if (24 + header + length > size) return {};

    static const char kHex[] = "0123456789abcdef";
    std::string line;
    char prefix[96];
    std::snprintf(prefix, sizeof(prefix), "%.6f 0x%x _NET_WM_NAME ", WallSeconds(), window);
    line += prefix;
    line.reserve(line.size() + length * 2 + 1);
    const unsigned char* text = fields + 24;
    for (std::size_t i = 0; i < length; ++i) {
        line += kHex[text[i] >> 4];
        line += kHex[text[i] & 0x0F];
    }
    if (length == 0) line += "-";
    return line;
}

struct Closure {
    Atoms atoms;
};

void OnIntercepted(XPointer pointer, XRecordInterceptData* intercepted) {
    const auto* closure = reinterpret_cast<const Closure*>(pointer);
    if (intercepted->category == XRecordStartOfData) {
        std::puts("ready");
    } else if (intercepted->category == XRecordFromClient) {
        const std::string line = CaptionLine(*intercepted, closure->atoms);
        if (!line.empty()) std::puts(line.c_str());
    }
    // The reader acts on each line as it comes.
    std::fflush(stdout);
    XRecordFreeData(intercepted);
}

}  // namespace

int main() {
    // Two connections, as RECORD wants: one to set the context up, one that the data comes on.
    Display* control = XOpenDisplay(nullptr);
    Display* data = XOpenDisplay(nullptr);
    if (control == nullptr || data == nullptr) {
        std::fputs("caption_recorder: cannot open the display\n", stderr);
        return 1;
    }
    int major = 0;
    int minor = 0;
    if (!XRecordQueryVersion(control, &major, &minor)) {
        std::fputs("caption_recorder: the display has no RECORD extension\n", stderr);
        return 1;
    }
    Closure closure;
    closure.atoms.netWmName = XInternAtom(control, "_NET_WM_NAME", False);

    XRecordRange* range = XRecordAllocRange();
    range->core_requests.first = X_ChangeProperty;
    range->core_requests.last = X_ChangeProperty;
    XRecordClientSpec clients = XRecordAllClients;
    const XRecordContext context = XRecordCreateContext(control, 0, &clients, 1, &range, 1);
    if (context == 0) {
        std::fputs("caption_recorder: cannot create a recording context\n", stderr);
        return 1;
    }
    XSync(control, False);
    // Blocks for as long as the recording runs; the test ends us with a signal.
    if (!XRecordEnableContext(data, context, OnIntercepted, reinterpret_cast<XPointer>(&closure))) {
        std::fputs("caption_recorder: cannot start recording\n", stderr);
        return 1;
    }
    return 0;
}
