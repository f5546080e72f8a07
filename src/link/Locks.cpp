#include "link/Locks.h"

#include "link/DeviceLink.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace tarvio {

void MCriticalSection::Enter() {
    // Only this thread ever stores its own id, so a relaxed load that sees it is the truth.
    const std::thread::id self = std::this_thread::get_id();
    if (owner_.load(std::memory_order_relaxed) == self) {
        ++recursion_;
        return;
    }
    if (!mutex_.try_lock()) {
        waiting_.fetch_add(1, std::memory_order_relaxed);
        mutex_.lock();
        waiting_.fetch_sub(1, std::memory_order_relaxed);
    }
    owner_.store(self, std::memory_order_relaxed);
    recursion_ = 1;
}

void MCriticalSection::YieldToWaiters() const {
    // A waiter gets the lock within microseconds; should a third thread hold it for long,
    // wait for that in short naps rather than spinning a core.
    for (int spins = 0; HasWaiters(); ++spins) {
        if (spins < 1000) {
            std::this_thread::yield();
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
}

void MCriticalSection::Leave() {
    if (--recursion_ > 0) {
        return;
    }
    owner_.store(std::thread::id(), std::memory_order_relaxed);
    mutex_.unlock();
}

bool MCriticalSection::TryEnter() {
    const std::thread::id self = std::this_thread::get_id();
    if (owner_.load(std::memory_order_relaxed) == self) {
        ++recursion_;
        return true;
    }
    if (!mutex_.try_lock()) {
        return false;
    }
    owner_.store(self, std::memory_order_relaxed);
    recursion_ = 1;
    return true;
}

MCriticalSection& LinkLock() {
    // Deliberately never destroyed: a monitoring thread may still hold it while the process
    // ends.
    static MCriticalSection* const lock = new MCriticalSection;
    return *lock;
}

void QrxCriticalSection::Lock() {
    if (!held_) {
        LinkLock().Enter();
        held_ = true;
    }
}

void QrxCriticalSection::Unlock() {
    if (held_) {
        held_ = false;
        LinkLock().Leave();
    }
}

QrxStatLeveler::QrxStatLeveler(DeviceLink& link) : link_(link) {
    ++link_.depth;
}

QrxStatLeveler::~QrxStatLeveler() {
    --link_.depth;
}

namespace {

// Linux keeps a nice value per thread (addressed by its thread id).
int threadNice() {
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    return errno == 0 ? nice : 0;
}

bool setThreadNice(int nice) {
    return setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), nice) == 0;
}

// 0 is normal priority (nice 0), 15 time-critical (nice -15); each step is one nice step.
int niceFor(int priority) {
    return std::clamp(-priority, -20, 19);
}

} // namespace

int CurrentThreadNice() {
    return threadNice();
}

ThreadPriorityBoost::ThreadPriorityBoost(int priority) : saved_(threadNice()) {
    const int target = niceFor(priority);
    // Only ever raise: lowering could not always be undone without privileges.
    if (target < saved_) {
        changed_ = setThreadNice(target); // refused: the priority stays as it is
    }
}

ThreadPriorityBoost::~ThreadPriorityBoost() {
    if (changed_) {
        setThreadNice(saved_);
    }
}

} // namespace tarvio
