// corvix-atspi-texts --pid N --title TITLE
// Prints the texts of the accessible frame named TITLE of process N (0: any process):
// the names of its descendants (labels, buttons, ...) and the contents of its text
// fields, one per line, backslash and line breaks escaped. Exit 0 when the lookup ran
// (also when it found nothing), non-zero when the accessibility bus could not be used.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <atspi/atspi.h>
#include <gio/gio.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/desktop/atspi_client.h"

namespace {

constexpr int kMaxNodes = 3000;
constexpr int kMaxDepth = 40;
constexpr int kMaxChildren = 1000;
constexpr int kMaxTextChars = 4096;
constexpr unsigned kBackstopSeconds = 3;

// The accessibility bus address as an X client sees it: on the root window.
std::string busFromRootWindow() {
    std::string out;
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) return out;
    Atom prop = XInternAtom(dpy, "AT_SPI_BUS", True);
    if (prop != None) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(dpy, DefaultRootWindow(dpy), prop, 0, 4096, False, XA_STRING, &type,
                               &format, &count, &after, &data) == Success &&
            data) {
            if (type == XA_STRING && format == 8) out.assign(reinterpret_cast<char*>(data), count);
            XFree(data);
        }
    }
    XCloseDisplay(dpy);
    return out;
}

// The session bus's accessibility launcher; only on a session bus that exists.
std::string busFromSessionBus(const char* sessionAddress) {
    std::string out;
    GError* error = nullptr;
    GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
        sessionAddress,
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    if (!bus) {
        g_clear_error(&error);
        return out;
    }
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", nullptr,
        G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, 1000, nullptr, &error);
    if (reply) {
        const char* address = nullptr;
        g_variant_get(reply, "(&s)", &address);
        if (address) out = address;
        g_variant_unref(reply);
    }
    g_clear_error(&error);
    g_object_unref(bus);
    return out;
}

std::string resolveBus(const char* sessionAddress) {
    if (const char* env = std::getenv("AT_SPI_BUS_ADDRESS"); env && *env) return env;
    std::string address = busFromRootWindow();
    if (address.empty() && sessionAddress) address = busFromSessionBus(sessionAddress);
    return address;
}

std::string takeString(gchar* s) {
    std::string out = s ? s : "";
    g_free(s);
    return out;
}

bool carriesText(AtspiRole role) {
    switch (role) {
        case ATSPI_ROLE_TEXT:
        case ATSPI_ROLE_ENTRY:
        case ATSPI_ROLE_PARAGRAPH:
        case ATSPI_ROLE_EDITBAR:
        case ATSPI_ROLE_SPIN_BUTTON:
        case ATSPI_ROLE_COMBO_BOX:
            return true;
        default:
            return false;  // never the contents of a password field
    }
}

class Collector {
  public:
    std::vector<std::string> texts;

    void children(AtspiAccessible* node, int depth) {
        if (depth > kMaxDepth) return;
        GError* error = nullptr;
        int n = atspi_accessible_get_child_count(node, &error);
        if (error) {
            g_clear_error(&error);
            return;
        }
        for (int i = 0; i < n && i < kMaxChildren && visited_ < kMaxNodes; ++i) {
            AtspiAccessible* child = atspi_accessible_get_child_at_index(node, i, &error);
            if (error || !child) {
                g_clear_error(&error);
                continue;
            }
            ++visited_;
            visit(child);
            children(child, depth + 1);
            g_object_unref(child);
        }
    }

  private:
    void add(std::string text) {
        if (!text.empty()) texts.push_back(std::move(text));
    }

    void visit(AtspiAccessible* node) {
        GError* error = nullptr;
        std::string name = takeString(atspi_accessible_get_name(node, &error));
        g_clear_error(&error);
        add(name);
        AtspiRole role = atspi_accessible_get_role(node, &error);
        if (error) {
            g_clear_error(&error);
            return;
        }
        if (!carriesText(role)) return;
        AtspiText* text = atspi_accessible_get_text_iface(node);
        if (!text) return;
        int count = atspi_text_get_character_count(text, &error);
        if (!error && count > 0) {
            std::string content = takeString(atspi_text_get_text(
                text, 0, count < kMaxTextChars ? count : kMaxTextChars, &error));
            if (!error && content != name) add(content);
        }
        g_clear_error(&error);
        g_object_unref(text);
    }

    int visited_ = 0;
};

// The frames of the matching applications whose name is the title. When the process is
// known and has a single frame of another name, that frame is taken (a toolkit may
// decorate the accessible name).
std::vector<AtspiAccessible*> findFrames(long pid, const std::string& title) {
    std::vector<AtspiAccessible*> frames;
    AtspiAccessible* desktop = atspi_get_desktop(0);
    if (!desktop) return frames;
    GError* error = nullptr;
    int apps = atspi_accessible_get_child_count(desktop, &error);
    g_clear_error(&error);
    for (int a = 0; a < apps; ++a) {
        AtspiAccessible* app = atspi_accessible_get_child_at_index(desktop, a, &error);
        if (error || !app) {
            g_clear_error(&error);
            continue;
        }
        if (pid > 0) {
            guint appPid = atspi_accessible_get_process_id(app, &error);
            if (error || static_cast<long>(appPid) != pid) {
                g_clear_error(&error);
                g_object_unref(app);
                continue;
            }
        }
        int n = atspi_accessible_get_child_count(app, &error);
        g_clear_error(&error);
        std::vector<AtspiAccessible*> all;
        for (int i = 0; i < n && i < kMaxChildren; ++i) {
            AtspiAccessible* frame = atspi_accessible_get_child_at_index(app, i, &error);
            if (error || !frame) {
                g_clear_error(&error);
                continue;
            }
            std::string name = takeString(atspi_accessible_get_name(frame, &error));
            g_clear_error(&error);
            if (name == title) {
                frames.push_back(frame);
            } else {
                all.push_back(frame);
            }
        }
        if (frames.empty() && pid > 0 && all.size() == 1) {
            frames.push_back(all.front());
            all.clear();
        }
        for (auto* f : all) g_object_unref(f);
        g_object_unref(app);
    }
    g_object_unref(desktop);
    return frames;
}

}  // namespace

int main(int argc, char** argv) {
    long pid = 0;
    std::string title;
    bool haveTitle = false;
    // --probe: only whether the accessibility bus can be found and joined.
    const bool probe = argc == 2 && std::strcmp(argv[1], "--probe") == 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--pid") == 0) {
            pid = std::strtol(argv[i + 1], nullptr, 10);
        } else if (std::strcmp(argv[i], "--title") == 0) {
            title = argv[i + 1];
            haveTitle = true;
        }
    }
    if (!probe && (!haveTitle || title.empty())) {
        std::fprintf(stderr, "usage: corvix-atspi-texts --pid N --title TITLE | --probe\n");
        return 2;
    }
    // Whatever blocks beyond this ends the process: the caller treats it as no texts.
    alarm(kBackstopSeconds);

    // libdbus would start a bus of its own ("autolaunch") when asked for a session bus
    // that is not there: point it at nothing instead.
    const char* session = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    std::string sessionAddress = session && *session ? session : "";
    if (sessionAddress.empty()) {
        setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/corvix-no-session-bus", 1);
    }
    std::string bus = resolveBus(sessionAddress.empty() ? nullptr : sessionAddress.c_str());
    if (bus.empty()) return 3;
    setenv("AT_SPI_BUS_ADDRESS", bus.c_str(), 1);

    if (atspi_init() > 1) return 4;
    atspi_set_timeout(400, 800);
    if (probe) {
        AtspiAccessible* desktop = atspi_get_desktop(0);
        const bool answered = desktop != nullptr;
        if (desktop) g_object_unref(desktop);
        atspi_exit();
        return answered ? 0 : 5;
    }

    Collector collector;
    for (AtspiAccessible* frame : findFrames(pid, title)) {
        collector.children(frame, 1);
        g_object_unref(frame);
    }
    for (const auto& t : collector.texts) {
        std::string line = corvix::desktop::escapeAtspiLine(t);
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
    }
    std::fflush(stdout);
    atspi_exit();
    return 0;
}
