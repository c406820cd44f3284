// Threads for the builder's packing workers: a lock, a condition to wait on,
// and threads that are joined when they go out of scope. The Windows side uses
// the system's own primitives, as the toolchain's C++ library has no threads.
#pragma once

#include <functional>
#include <memory>

namespace ql::platform {

// The number of processors this process may run on; at least 1.
unsigned ProcessorCount();

class Mutex {
public:
    Mutex();
    ~Mutex();
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;
    void Lock();
    void Unlock();

private:
    friend class Condition;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

class LockGuard {
public:
    explicit LockGuard(Mutex& mutex) : mutex_(mutex) { mutex_.Lock(); }
    ~LockGuard() { mutex_.Unlock(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    Mutex& mutex_;
};

class Condition {
public:
    Condition();
    ~Condition();
    Condition(const Condition&) = delete;
    Condition& operator=(const Condition&) = delete;
    // Releases the locked `mutex` while waiting; it is locked again on return.
    // May return without a notification, so callers wait in a loop.
    void Wait(Mutex& mutex);
    void NotifyAll();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

class Thread {
public:
    Thread();
    ~Thread();  // joins
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    // Runs `body` on a new thread; false when the system refuses one.
    bool Start(std::function<void()> body);
    void Join();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace ql::platform
