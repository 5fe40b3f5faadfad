#pragma once

/* Process-wide counts of the host libraries' work (host_counter.c). */

#ifdef __cplusplus
extern "C" {
#endif

long bench_host_allocations(void);
long bench_host_requests(void);
long bench_host_round_trips(void);

#ifdef __cplusplus
}
#endif
