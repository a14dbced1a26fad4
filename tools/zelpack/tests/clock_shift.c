/* Preloaded into zelpack by the tests: moves the wall clock by
   ZELPACK_CLOCK_SHIFT seconds, so that a build "a minute later" needs no
   minute of waiting. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdlib.h>
#include <sys/time.h>
#include <time.h>

static long Shift(void) {
    const char* s = getenv("ZELPACK_CLOCK_SHIFT");
    return s ? atol(s) : 0;
}

int clock_gettime(clockid_t clock, struct timespec* ts) {
    static int (*real)(clockid_t, struct timespec*);
    if (!real) real = (int (*)(clockid_t, struct timespec*))dlsym(RTLD_NEXT, "clock_gettime");
    int rc = real(clock, ts);
    if (rc == 0 && ts && (clock == CLOCK_REALTIME || clock == CLOCK_REALTIME_COARSE)) ts->tv_sec += Shift();
    return rc;
}

int gettimeofday(struct timeval* tv, void* tz) {
    static int (*real)(struct timeval*, void*);
    if (!real) real = (int (*)(struct timeval*, void*))dlsym(RTLD_NEXT, "gettimeofday");
    int rc = real(tv, tz);
    if (rc == 0 && tv) tv->tv_sec += Shift();
    return rc;
}

time_t time(time_t* out) {
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    if (out) *out = ts.tv_sec;
    return ts.tv_sec;
}
