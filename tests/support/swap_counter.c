/* Counts the program's buffer swaps from outside: preloaded into it, it
 * wraps eglSwapBuffers (the native program's, through EGL) and
 * glXSwapBuffers (Wine's, through GLX) and writes the count every ten
 * frames to the file OPENGL_TEST_FRAME_FILE names. For tests that need "at
 * least N frames" without changing the program. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void* Next(const char* name) {
    return dlsym(RTLD_NEXT, name);
}

static void Count(void) {
    static unsigned long frames;
    if (++frames % 10 == 0) {
        const char* path = getenv("OPENGL_TEST_FRAME_FILE");
        FILE* file = path != NULL ? fopen(path, "w") : NULL;
        if (file != NULL) {
            fprintf(file, "%lu\n", frames);
            fclose(file);
        }
    }
}

typedef void (*GlxSwapFunction)(void*, unsigned long);

void glXSwapBuffers(void* display, unsigned long drawable) {
    static GlxSwapFunction next;
    if (next == NULL) {
        /* POSIX's way to turn dlsym's object pointer into a function
         * pointer without a cast ISO C forbids. */
        void* symbol = Next("glXSwapBuffers");
        memcpy(&next, &symbol, sizeof next);
    }
    next(display, drawable);
    Count();
}

typedef unsigned (*EglSwapFunction)(void*, void*);

unsigned eglSwapBuffers(void* display, void* surface) {
    static EglSwapFunction next;
    if (next == NULL) {
        void* symbol = Next("eglSwapBuffers");
        memcpy(&next, &symbol, sizeof next);
    }
    const unsigned swapped = next(display, surface);
    Count();
    return swapped;
}
