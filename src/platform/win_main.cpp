#include <windows.h>

#include "app/application.h"
#include "platform/main_window.h"
#include "render/opengl_renderer.h"

// Exit statuses: 0 after a normal close, -1 when the window cannot be
// created, -2 when the rendering context cannot be set up. A failure path
// releases nothing; the end of the process reclaims it.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*showCommand*/) {
    MainWindow window = {nullptr, nullptr};
    if (!CreateMainWindow(window, instance)) {
        return -1;
    }
    OpenGLRenderer renderer(window.hdc);
    if (!renderer.Initialize()) {
        return -2;
    }
    Application app(&window, &renderer);
    return app.Run();
}
