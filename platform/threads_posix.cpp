// POSIX threads through the C++ library.
#include "platform/threads.h"

#include <sched.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace ql::platform {

unsigned ProcessorCount() {
    // The processors this process may use, which a container or taskset may limit.
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return static_cast<unsigned>(CPU_COUNT(&set));
    unsigned count = std::thread::hardware_concurrency();
    return count > 0 ? count : 1;
}

struct Mutex::Impl {
    std::mutex mutex;
};

Mutex::Mutex() : impl_(new Impl) {}
Mutex::~Mutex() = default;
void Mutex::Lock() { impl_->mutex.lock(); }
void Mutex::Unlock() { impl_->mutex.unlock(); }

struct Condition::Impl {
    std::condition_variable condition;
};

Condition::Condition() : impl_(new Impl) {}
Condition::~Condition() = default;

void Condition::Wait(Mutex& mutex) {
    std::unique_lock<std::mutex> lock(mutex.impl_->mutex, std::adopt_lock);
    impl_->condition.wait(lock);
    lock.release();  // the caller still holds it
}

void Condition::NotifyAll() { impl_->condition.notify_all(); }

struct Thread::Impl {
    std::thread thread;
};

Thread::Thread() = default;
Thread::~Thread() { Join(); }

bool Thread::Start(std::function<void()> body) {
    Join();
    try {
        impl_.reset(new Impl{std::thread(std::move(body))});
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void Thread::Join() {
    if (impl_ && impl_->thread.joinable()) impl_->thread.join();
    impl_.reset();
}

}  // namespace ql::platform
