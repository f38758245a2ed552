// corvix-gtk-dialog TITLE ENTRY-TEXT
// A GTK 2 window titled TITLE with the label "Password:" and an entry holding
// ENTRY-TEXT, exposed to accessibility (gail and the AT-SPI bridge). Exit 3 when GTK
// cannot be loaded.

#include <dlfcn.h>
#include <stdlib.h>

#include <cstdio>

namespace {

using Widget = void;

template <typename F>
F load(void* lib, const char* name) {
    return reinterpret_cast<F>(dlsym(lib, name));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: corvix-gtk-dialog TITLE ENTRY-TEXT\n");
        return 2;
    }
    setenv("GTK_MODULES", "gail:atk-bridge", 1);
    void* gtk = dlopen("libgtk-x11-2.0.so.0", RTLD_NOW | RTLD_GLOBAL);
    if (!gtk) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 3;
    }
    auto init = load<void (*)(int*, char***)>(gtk, "gtk_init");
    auto windowNew = load<Widget* (*)(int)>(gtk, "gtk_window_new");
    auto setTitle = load<void (*)(Widget*, const char*)>(gtk, "gtk_window_set_title");
    auto vboxNew = load<Widget* (*)(int, int)>(gtk, "gtk_vbox_new");
    auto labelNew = load<Widget* (*)(const char*)>(gtk, "gtk_label_new");
    auto entryNew = load<Widget* (*)()>(gtk, "gtk_entry_new");
    auto entrySetText = load<void (*)(Widget*, const char*)>(gtk, "gtk_entry_set_text");
    auto containerAdd = load<void (*)(Widget*, Widget*)>(gtk, "gtk_container_add");
    auto packStart =
        load<void (*)(Widget*, Widget*, int, int, unsigned)>(gtk, "gtk_box_pack_start");
    auto showAll = load<void (*)(Widget*)>(gtk, "gtk_widget_show_all");
    auto run = load<void (*)()>(gtk, "gtk_main");
    if (!init || !windowNew || !setTitle || !vboxNew || !labelNew || !entryNew || !entrySetText ||
        !containerAdd || !packStart || !showAll || !run) {
        std::fprintf(stderr, "GTK lacks a function this program needs\n");
        return 3;
    }
    init(&argc, &argv);
    Widget* window = windowNew(0);  // a top-level window
    setTitle(window, argv[1]);
    Widget* box = vboxNew(0, 4);
    Widget* label = labelNew("Password:");
    Widget* entry = entryNew();
    entrySetText(entry, argv[2]);
    packStart(box, label, 0, 0, 0);
    packStart(box, entry, 0, 0, 0);
    containerAdd(window, box);
    showAll(window);
    run();
    return 0;
}
