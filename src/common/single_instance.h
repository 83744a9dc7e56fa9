#pragma once

#include <QMutex>
#include <QMutexLocker>

#include <atomic>
#include <memory>

// The process-wide single-instance scheme shared by the services: an unlocked
// test, then the class's own creation lock, a second test, construction and
// publication. The owner deletes the instance at process exit; because the
// owner is created right after construction, instances created later (for
// example inside another constructor) are destroyed earlier.
template<typename T> class SingleInstance {
public:
    static T *get()
    {
        T *p = pointer().load(std::memory_order_acquire);
        if (p)
            return p;
        QMutexLocker lock(&creationMutex());
        p = pointer().load(std::memory_order_relaxed);
        if (!p) {
            p = new T;
            owner().reset(p);
            pointer().store(p, std::memory_order_release);
        }
        return p;
    }

    // Only for checks: the instance if it exists, without creating it.
    static T *peek() { return pointer().load(std::memory_order_acquire); }

private:
    struct Owner {
        std::unique_ptr<T> object;
        void reset(T *p) { object.reset(p); }
        ~Owner()
        {
            // Clear the published pointer first so that late callers during
            // destruction do not see a half-destroyed object through peek().
            pointer().store(nullptr, std::memory_order_release);
            object.reset();
        }
    };

    static std::atomic<T *> &pointer()
    {
        static std::atomic<T *> p{nullptr};
        return p;
    }
    static QMutex &creationMutex()
    {
        static QMutex m;
        return m;
    }
    static Owner &owner()
    {
        static Owner o;
        return o;
    }
};
