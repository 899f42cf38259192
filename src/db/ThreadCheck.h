#pragma once

#include <QtGlobal>

// Checks that only the thread a statement runs on uses what it was lent: in debug builds and
// in the builds that look for data races (TOLVAN_THREAD_CHECKS), a breach ends the program at
// once with its reason, where a race would otherwise pass unseen.
#if !defined(NDEBUG) || defined(TOLVAN_THREAD_CHECKS)
#define TOLVAN_THREAD_CHECK(condition, what)                                                       \
    do {                                                                                           \
        if (!(condition)) qFatal("Tolvan: %s", what);                                              \
    } while (false)
#else
#define TOLVAN_THREAD_CHECK(condition, what)                                                       \
    do {                                                                                           \
    } while (false)
#endif
