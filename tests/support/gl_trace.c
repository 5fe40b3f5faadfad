/* The OpenGL half of the program's call trace: preloaded into the native
 * program, it writes each OpenGL 1.1 call the program makes, with its
 * arguments (floats as exact hexadecimal), to the file WINSUBSET_TRACE names,
 * where the Win32 subset writes the program's platform calls; both append,
 * so the lines stand in the order the calls were made. Each call is then
 * passed on to the real library. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

#include <stdarg.h>

static void Trace(const char* format, ...) {
    static FILE* file;
    static int opened;
    if (!opened) {
        const char* path = getenv("WINSUBSET_TRACE");
        opened = 1;
        file = path != NULL && *path != '\0' ? fopen(path, "a") : NULL;
    }
    if (file == NULL) return;
    va_list list;
    va_start(list, format);
    vfprintf(file, format, list);
    va_end(list);
    fputc('\n', file);
    fflush(file);
}

/* POSIX's way to turn dlsym's object pointer into a function pointer
 * without a cast ISO C forbids. */
#define NEXT(type, name)                       \
    static type next;                          \
    if (next == NULL) {                        \
        void* symbol = dlsym(RTLD_NEXT, name); \
        memcpy(&next, &symbol, sizeof next);   \
    }

void glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha) {
    typedef void (*Function)(GLclampf, GLclampf, GLclampf, GLclampf);
    NEXT(Function, "glClearColor");
    Trace("glClearColor(%a, %a, %a, %a)", red, green, blue, alpha);
    next(red, green, blue, alpha);
}

void glClear(GLbitfield mask) {
    typedef void (*Function)(GLbitfield);
    NEXT(Function, "glClear");
    Trace("glClear(0x%X)", mask);
    next(mask);
}

void glLoadIdentity(void) {
    typedef void (*Function)(void);
    NEXT(Function, "glLoadIdentity");
    Trace("glLoadIdentity()");
    next();
}

void glMultMatrixf(const GLfloat* m) {
    typedef void (*Function)(const GLfloat*);
    NEXT(Function, "glMultMatrixf");
    Trace("glMultMatrixf({%a, %a, %a, %a, %a, %a, %a, %a, %a, %a, %a, %a, %a, %a, %a, %a})", m[0],
          m[1], m[2], m[3], m[4], m[5], m[6], m[7], m[8], m[9], m[10], m[11], m[12], m[13], m[14],
          m[15]);
    next(m);
}

void glBegin(GLenum mode) {
    typedef void (*Function)(GLenum);
    NEXT(Function, "glBegin");
    Trace("glBegin(0x%X)", mode);
    next(mode);
}

void glColor4ub(GLubyte red, GLubyte green, GLubyte blue, GLubyte alpha) {
    typedef void (*Function)(GLubyte, GLubyte, GLubyte, GLubyte);
    NEXT(Function, "glColor4ub");
    Trace("glColor4ub(%u, %u, %u, %u)", red, green, blue, alpha);
    next(red, green, blue, alpha);
}

void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    typedef void (*Function)(GLfloat, GLfloat, GLfloat);
    NEXT(Function, "glVertex3f");
    Trace("glVertex3f(%a, %a, %a)", x, y, z);
    next(x, y, z);
}

void glEnd(void) {
    typedef void (*Function)(void);
    NEXT(Function, "glEnd");
    Trace("glEnd()");
    next();
}

void glFlush(void) {
    typedef void (*Function)(void);
    NEXT(Function, "glFlush");
    Trace("glFlush()");
    next();
}

/* GLEW's start-up begins by looking up glGetString to ask for the version:
 * a program that starts GLEW without a current context shows here. Only
 * that lookup is written; GLEW makes thousands more. */
typedef void (*GlProc)(void);
GlProc eglGetProcAddress(const char* name) {
    typedef GlProc (*Function)(const char*);
    NEXT(Function, "eglGetProcAddress");
    if (strcmp(name, "glGetString") == 0) {
        Trace("eglGetProcAddress(\"%s\")", name);
    }
    return next(name);
}
