#include "link/Locks.h"

#include "link/DeviceLink.h"

#include <algorithm>
#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>

namespace tarvio {

void MCriticalSection::Enter() {
    mutex_.lock();
    ++recursion_;
}

void MCriticalSection::Leave() {
    --recursion_;
    mutex_.unlock();
}

bool MCriticalSection::TryEnter() {
    if (!mutex_.try_lock()) {
        return false;
    }
    ++recursion_;
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
