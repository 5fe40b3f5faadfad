/* Counts the program's buffer swaps from outside: preloaded into it, it
 * wraps glXSwapBuffers and writes the count every ten frames to the file
 * OPENGL_TEST_FRAME_FILE names. For tests that need "at least N frames"
 * without changing the program. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef void (*SwapBuffersFunction)(void*, unsigned long);

void glXSwapBuffers(void* display, unsigned long drawable) {
    static SwapBuffersFunction next;
    static unsigned long frames;
    if (next == NULL) {
        /* POSIX's way to turn dlsym's object pointer into a function
         * pointer without a cast ISO C forbids. */
        void* symbol = dlsym(RTLD_NEXT, "glXSwapBuffers");
        memcpy(&next, &symbol, sizeof next);
    }
    next(display, drawable);
    if (++frames % 10 == 0) {
        const char* path = getenv("OPENGL_TEST_FRAME_FILE");
        FILE* file = path != NULL ? fopen(path, "w") : NULL;
        if (file != NULL) {
            fprintf(file, "%lu\n", frames);
            fclose(file);
        }
    }
}
