/* Preloaded into a Windows bench program's Wine process: counts the heap
   allocations (malloc and friends) and X round trips (_XReply) of the host
   libraries underneath it, Mesa and Xlib among them, which no Windows-side
   counter sees. At exit it appends one line to $BENCH_HOST_COUNTS:
   "<pid> <allocations> <round trips> <command line>". */

#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

extern void* __libc_malloc(size_t size);
extern void* __libc_calloc(size_t count, size_t size);
extern void* __libc_realloc(void* pointer, size_t size);

static atomic_long allocations;
static atomic_long roundTrips;

void* malloc(size_t size) {
    atomic_fetch_add_explicit(&allocations, 1, memory_order_relaxed);
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
    atomic_fetch_add_explicit(&allocations, 1, memory_order_relaxed);
    return __libc_calloc(count, size);
}

void* realloc(void* pointer, size_t size) {
    atomic_fetch_add_explicit(&allocations, 1, memory_order_relaxed);
    return __libc_realloc(pointer, size);
}

/* Xlib's _XReply(Display*, xReply*, int, Bool): one awaited reply. */
int _XReply(void* display, void* reply, int extra, int discard) {
    typedef int (*Reply)(void*, void*, int, int);
    static Reply next;
    if (next == NULL) {
        void* symbol = dlsym(RTLD_NEXT, "_XReply");
        memcpy(&next, &symbol, sizeof next);
    }
    atomic_fetch_add_explicit(&roundTrips, 1, memory_order_relaxed);
    return next(display, reply, extra, discard);
}

__attribute__((destructor)) static void Report(void) {
    const long allocated = atomic_load(&allocations);
    const long trips = atomic_load(&roundTrips);
    const char* path = getenv("BENCH_HOST_COUNTS");
    if (path == NULL) return;
    char command[512] = {0};
    const int fd = open("/proc/self/cmdline", O_RDONLY);
    const ssize_t length = fd >= 0 ? read(fd, command, sizeof command - 1) : 0;
    if (fd >= 0) close(fd);
    for (ssize_t i = 0; i < length; ++i) {
        if (command[i] == '\0') command[i] = ' ';
    }
    FILE* out = fopen(path, "a");
    if (out == NULL) return;
    fprintf(out, "%ld %ld %ld %s\n", (long)getpid(), allocated, trips, command);
    fclose(out);
}
