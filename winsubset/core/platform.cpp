// The choice of window system, made once per process.

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/internal.h"

namespace winsubset {
namespace {

const Platform* Choose() {
    const Platform* const all[] = {&kWaylandPlatform, &kX11Platform};
    const char* forced = std::getenv("WINSUBSET_PLATFORM");
    if (forced != nullptr && *forced != '\0') {
        for (const Platform* platform : all) {
            if (std::strcmp(forced, platform->name) == 0) {
                return platform->connect() ? platform : nullptr;
            }
        }
        std::fprintf(stderr,
                     "winsubset: WINSUBSET_PLATFORM=%s names no window system (x11, wayland)\n",
                     forced);
        return nullptr;
    }
    // A Wayland session first, as the toolkits do: under XWayland the X
    // server answers too, but only as a guest of the compositor.
    for (const Platform* platform : all) {
        if (platform->connect()) return platform;
    }
    return nullptr;
}

}  // namespace

const Platform* ThePlatform() {
    Library& library = TheLibrary();
    std::call_once(library.platformOnce,
                   [&] { library.platform.store(Choose(), std::memory_order_release); });
    return PlatformIfChosen();
}

const Platform* PlatformIfChosen() {
    return TheLibrary().platform.load(std::memory_order_acquire);
}

}  // namespace winsubset
