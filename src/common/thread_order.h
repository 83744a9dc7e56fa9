#pragma once

// QThread::wait() returns only after the thread has finished, so everything
// the thread did comes before what the waiting thread does next. Qt
// establishes that inside its own code, which is not built with the race
// detector, so the detector cannot see it; these two calls state the edge
// for it. They compile to nothing in ordinary builds.

#if defined(__SANITIZE_THREAD__)
#define ORRINDEL_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ORRINDEL_THREAD_SANITIZER 1
#endif
#endif

#ifdef ORRINDEL_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

// Last step of a thread's body.
inline void threadEndReached([[maybe_unused]] const void *thread)
{
#ifdef ORRINDEL_THREAD_SANITIZER
    __tsan_release(const_cast<void *>(thread));
#endif
}

// Right after QThread::wait() has returned for that thread.
inline void threadEndAwaited([[maybe_unused]] const void *thread)
{
#ifdef ORRINDEL_THREAD_SANITIZER
    __tsan_acquire(const_cast<void *>(thread));
#endif
}
