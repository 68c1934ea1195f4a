#pragma once

#include <QMutexLocker>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#define TORVELIN_TSAN_ANNOTATIONS 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#include <sanitizer/tsan_interface.h>
#define TORVELIN_TSAN_ANNOTATIONS 1
#endif
#endif

// Holds the worker's device mutex for one transaction or request sequence.
// Qt's mutex waits on futexes that the thread sanitizer cannot see, so in a
// sanitizer build the lock is announced to it as well.
class DeviceLock
{
public:
    explicit DeviceLock(QMutex *mutex)
        : m_locker(mutex)
    {
#ifdef TORVELIN_TSAN_ANNOTATIONS
        __tsan_acquire(mutex);
#endif
    }

    ~DeviceLock()
    {
#ifdef TORVELIN_TSAN_ANNOTATIONS
        __tsan_release(m_locker.mutex());
#endif
    }

    DeviceLock(const DeviceLock &) = delete;
    DeviceLock &operator=(const DeviceLock &) = delete;

private:
    QMutexLocker m_locker;
};
