// Win32 threads: slim reader/writer locks, condition variables and CreateThread.
#include "platform/threads.h"

#include <windows.h>

namespace ql::platform {

unsigned ProcessorCount() {
    DWORD_PTR process = 0, system = 0;
    unsigned count = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system))
        for (; process; process &= process - 1) ++count;
    if (count == 0) {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        count = info.dwNumberOfProcessors;
    }
    return count > 0 ? count : 1;
}

struct Mutex::Impl {
    SRWLOCK lock = SRWLOCK_INIT;
};

Mutex::Mutex() : impl_(new Impl) {}
Mutex::~Mutex() = default;
void Mutex::Lock() { AcquireSRWLockExclusive(&impl_->lock); }
void Mutex::Unlock() { ReleaseSRWLockExclusive(&impl_->lock); }

struct Condition::Impl {
    CONDITION_VARIABLE condition = CONDITION_VARIABLE_INIT;
};

Condition::Condition() : impl_(new Impl) {}
Condition::~Condition() = default;
void Condition::Wait(Mutex& mutex) {
    SleepConditionVariableSRW(&impl_->condition, &mutex.impl_->lock, INFINITE, 0);
}
void Condition::NotifyAll() { WakeAllConditionVariable(&impl_->condition); }

struct Thread::Impl {
    std::function<void()> body;
    HANDLE handle = nullptr;
};

static DWORD WINAPI RunBody(void* parameter) {
    static_cast<std::function<void()>*>(parameter)->operator()();
    return 0;
}

Thread::Thread() = default;
Thread::~Thread() { Join(); }

bool Thread::Start(std::function<void()> body) {
    Join();
    impl_.reset(new Impl{std::move(body), nullptr});
    impl_->handle = CreateThread(nullptr, 0, RunBody, &impl_->body, 0, nullptr);
    if (impl_->handle == nullptr) impl_.reset();
    return impl_ != nullptr;
}

void Thread::Join() {
    if (impl_ && impl_->handle) {
        WaitForSingleObject(impl_->handle, INFINITE);
        CloseHandle(impl_->handle);
    }
    impl_.reset();
}

}  // namespace ql::platform
