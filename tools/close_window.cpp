// Closes a top-level window the way a window manager's close box does:
// WM_DELETE_WINDOW in a WM_PROTOCOLS client message. Prints the window's id.
// Usage: close_window [--title TITLE] [--wait SECONDS] [--no-close]
// The title defaults to the program's.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "x11_client.h"

int main(int argc, char** argv) {
    std::string title = kProgramTitleUtf8;
    double wait = 10;
    bool close = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--title") == 0 && i + 1 < argc) {
            title = argv[++i];
        } else if (std::strcmp(argv[i], "--wait") == 0 && i + 1 < argc) {
            wait = std::atof(argv[++i]);
        } else if (std::strcmp(argv[i], "--no-close") == 0) {
            close = false;
        } else {
            std::fprintf(stderr,
                         "usage: close_window [--title TITLE] [--wait SECONDS] [--no-close]\n");
            return 2;
        }
    }
    const X11Client client;
    if (client.display() == nullptr) {
        std::fprintf(stderr, "close_window: no display\n");
        return 1;
    }
    ::Window window = 0;
    WaitUntil(wait, [&] { return (window = client.FindByTitle(title, true)) != 0; });
    if (window == 0) {
        std::fprintf(stderr, "close_window: no viewable window titled %s\n", title.c_str());
        return 1;
    }
    std::printf("0x%lx\n", window);
    if (close) client.SendDeleteWindow(window);
    return 0;
}
