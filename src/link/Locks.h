#pragma once
// The link lock and the scoped guards of the link layer.

#include <atomic>
#include <mutex>
#include <thread>

namespace tarvio {

struct DeviceLink;

// A recursive lock. The link layer has exactly one, LinkLock(); the controller builds its
// data lock from the same class.
class MCriticalSection {
public:
    MCriticalSection() = default;
    MCriticalSection(const MCriticalSection&) = delete;
    MCriticalSection& operator=(const MCriticalSection&) = delete;

    void Enter();
    void Leave();
    bool TryEnter();
    // How often the calling thread holds the lock; only meaningful for the holder.
    int RecursionCount() const { return recursion_; }
    // Whether a thread is blocked in Enter. The lock is not fair: a thread that leaves and
    // enters again at once can keep a waiting one out for as long as it likes.
    bool HasWaiters() const { return waiting_.load(std::memory_order_relaxed) > 0; }
    // For a thread that takes the lock over and over (the monitoring thread): call it while
    // not holding the lock; returns once no thread waits, so a waiting one goes first.
    void YieldToWaiters() const;

private:
    // Recursion is counted here rather than by the mutex: entering again costs the holder no
    // atomic operation, and under a flood every message enters the link lock several times.
    std::mutex mutex_;
    std::atomic<std::thread::id> owner_{};
    int recursion_ = 0; // changed only by the holder
    std::atomic<int> waiting_{0};
};

// The one link lock: it serialises every use of an interface's byte stream, every report and
// the hooks. It exists before first use and is never destroyed, so threads still running at
// exit cannot touch a dead lock.
MCriticalSection& LinkLock();

// Scoped holder of the link lock; Lock and Unlock are harmless when repeated.
class QrxCriticalSection {
public:
    QrxCriticalSection() { Lock(); }
    explicit QrxCriticalSection(bool lock) {
        if (lock) {
            Lock();
        }
    }
    ~QrxCriticalSection() { Unlock(); }
    QrxCriticalSection(const QrxCriticalSection&) = delete;
    QrxCriticalSection& operator=(const QrxCriticalSection&) = delete;

    void Lock();
    void Unlock();
    bool IsLocked() const { return held_; }

private:
    bool held_ = false;
};

// Counts one link operation in progress on a link for its lifetime.
class QrxStatLeveler {
public:
    explicit QrxStatLeveler(DeviceLink& link);
    ~QrxStatLeveler();
    QrxStatLeveler(const QrxStatLeveler&) = delete;
    QrxStatLeveler& operator=(const QrxStatLeveler&) = delete;

private:
    DeviceLink& link_;
};

// Priorities in the scale the link layer speaks: 0 normal, 15 time-critical.
constexpr int ThreadPriorityTimeCritical = 15;

// Raises the calling thread's priority for its lifetime and restores the saved one after.
// A raise the process may not make leaves the priority as it is; a boost never lowers it.
class ThreadPriorityBoost {
public:
    explicit ThreadPriorityBoost(int priority);
    ~ThreadPriorityBoost();
    ThreadPriorityBoost(const ThreadPriorityBoost&) = delete;
    ThreadPriorityBoost& operator=(const ThreadPriorityBoost&) = delete;

private:
    int saved_; // the thread's scheduling value before the boost
    bool changed_ = false;
};

// The calling thread's scheduling value as the operating system keeps it (on Linux its nice
// value: lower runs sooner). For tests and diagnostics.
int CurrentThreadNice();

} // namespace tarvio
