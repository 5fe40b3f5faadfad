/* Counts, for the whole process, the heap allocations (malloc and friends),
   the requests to the display server and the round trips to it (X's or
   Wayland's: a process talks to one) of the host libraries, Mesa, Xlib and
   libwayland among them. Linked into the native bench programs, which read
   the counts while they run; preloaded into a Windows bench program's Wine
   process, where no Windows-side counter sees the host side, and which
   reports at exit by appending one line to $BENCH_HOST_COUNTS:
   "<pid> <allocations> <requests> <round trips> <command line>". */

#define _GNU_SOURCE
#include "host_counter.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <stdatomic.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/uio.h>
#include <unistd.h>

extern void* __libc_malloc(size_t size);
extern void* __libc_calloc(size_t count, size_t size);
extern void* __libc_realloc(void* pointer, size_t size);

static atomic_long allocations;
static atomic_long requests;
static atomic_long roundTrips;
/* libxcb's request entry points call one another; only the outermost call
   of a thread counts. (xcb_writev may run inside one of them, when xcb takes
   the socket back from Xlib: Xlib's batch is other requests, and counts.) */
static _Thread_local int inSendRequest;

static void* Next(const char* name) {
    return dlsym(RTLD_NEXT, name);
}

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

/* One awaited reply, whether Xlib waits for it (_XReply, which waits in
   xcb_wait_for_reply64: the outermost call of a thread counts) or a caller
   of libxcb does (every xcb_*_reply waits in xcb_wait_for_reply; Mesa's EGL
   talks to the X server that way). */
static _Thread_local int inRoundTrip;

#define COUNT_ROUND_TRIP(name, parameters, arguments, Result)                                    \
    Result name parameters {                                                                     \
        typedef Result(*Function) parameters;                                                    \
        static Function next;                                                                    \
        if (next == NULL) {                                                                      \
            void* symbol = Next(#name);                                                          \
            memcpy(&next, &symbol, sizeof next);                                                 \
        }                                                                                        \
        if (inRoundTrip++ == 0) atomic_fetch_add_explicit(&roundTrips, 1, memory_order_relaxed); \
        Result const result = next arguments;                                                    \
        --inRoundTrip;                                                                           \
        return result;                                                                           \
    }

COUNT_ROUND_TRIP(_XReply, (void* display, void* reply, int extra, int discard),
                 (display, reply, extra, discard), int)
COUNT_ROUND_TRIP(xcb_wait_for_reply, (void* c, unsigned int request, void** error),
                 (c, request, error), void*)
COUNT_ROUND_TRIP(xcb_wait_for_reply64, (void* c, uint64_t request, void** error),
                 (c, request, error), void*)
/* xcb_void_cookie_t, passed by value. */
typedef struct {
    unsigned int sequence;
} VoidCookie;
COUNT_ROUND_TRIP(xcb_request_check, (void* c, VoidCookie cookie), (c, cookie), void*)

/* Every X request leaves through libxcb: Xlib's in batches through
   xcb_writev, which says how many; xcb's own one at a time. */
int xcb_writev(void* connection, struct iovec* vector, int count, uint64_t batch) {
    typedef int (*Function)(void*, struct iovec*, int, uint64_t);
    static Function next;
    if (next == NULL) {
        void* symbol = Next("xcb_writev");
        memcpy(&next, &symbol, sizeof next);
    }
    atomic_fetch_add_explicit(&requests, (long)batch, memory_order_relaxed);
    return next(connection, vector, count, batch);
}

#define COUNT_REQUEST(name, parameters, arguments, Result)                                       \
    Result name parameters {                                                                     \
        typedef Result(*Function) parameters;                                                    \
        static Function next;                                                                    \
        if (next == NULL) {                                                                      \
            void* symbol = Next(#name);                                                          \
            memcpy(&next, &symbol, sizeof next);                                                 \
        }                                                                                        \
        if (inSendRequest++ == 0) atomic_fetch_add_explicit(&requests, 1, memory_order_relaxed); \
        const Result result = next arguments;                                                    \
        --inSendRequest;                                                                         \
        return result;                                                                           \
    }

COUNT_REQUEST(xcb_send_request, (void* c, int flags, struct iovec* vector, const void* request),
              (c, flags, vector, request), unsigned int)
COUNT_REQUEST(xcb_send_request64, (void* c, int flags, struct iovec* vector, const void* request),
              (c, flags, vector, request), uint64_t)
COUNT_REQUEST(xcb_send_request_with_fds,
              (void* c, int flags, struct iovec* vector, const void* request, unsigned int fdCount,
               int* fds),
              (c, flags, vector, request, fdCount, fds), unsigned int)
COUNT_REQUEST(xcb_send_request_with_fds64,
              (void* c, int flags, struct iovec* vector, const void* request, unsigned int fdCount,
               int* fds),
              (c, flags, vector, request, fdCount, fds), uint64_t)

/* Every Wayland request, whichever of libwayland's marshalling functions
   the caller took, ends in this one, and the others reach it through the
   dynamic symbol table. */
void* wl_proxy_marshal_array_flags(void* proxy, uint32_t opcode, const void* interface,
                                   uint32_t version, uint32_t flags, void* arguments) {
    typedef void* (*Function)(void*, uint32_t, const void*, uint32_t, uint32_t, void*);
    static Function next;
    if (next == NULL) {
        void* symbol = Next("wl_proxy_marshal_array_flags");
        memcpy(&next, &symbol, sizeof next);
    }
    atomic_fetch_add_explicit(&requests, 1, memory_order_relaxed);
    return next(proxy, opcode, interface, version, flags, arguments);
}

/* wl_display_roundtrip is this one on the default queue. */
int wl_display_roundtrip_queue(void* display, void* queue) {
    typedef int (*Function)(void*, void*);
    static Function next;
    if (next == NULL) {
        void* symbol = Next("wl_display_roundtrip_queue");
        memcpy(&next, &symbol, sizeof next);
    }
    atomic_fetch_add_explicit(&roundTrips, 1, memory_order_relaxed);
    return next(display, queue);
}

long bench_host_allocations(void) {
    return atomic_load(&allocations);
}

long bench_host_requests(void) {
    return atomic_load(&requests);
}

long bench_host_round_trips(void) {
    return atomic_load(&roundTrips);
}

__attribute__((destructor)) static void Report(void) {
    const long allocated = bench_host_allocations();
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
    fprintf(out, "%ld %ld %ld %ld %s\n", (long)getpid(), allocated, bench_host_requests(),
            bench_host_round_trips(), command);
    fclose(out);
}
