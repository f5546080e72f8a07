#pragma once
// A driver backend for tests: devices whose every byte the test scripts. Bytes for the host
// arrive at once or at given times of the time source; every byte the host writes is kept;
// replies can be attached to written commands; any operation can be made to fail; a device
// can go silent. Reads wait on the time source, so on a manual clock a read timeout passes
// in no real time at all.

#include "driver/Backend.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tarvio {

class ScriptedPipe;

// Operations of a device that can be made to fail.
enum class PipeOp { Open, Purge, SetTimeouts, DeviceInfo, QueueStatus, Read, Write, Close };

// The script of one device. Shared by every open session of it.
class ScriptedDevice {
public:
    ScriptedDevice(std::string description, std::string serialNumber, std::uint32_t type,
                   std::uint32_t id);

    const std::string& description() const { return description_; }

    // Bytes for the host: now, at an absolute time of the time source, or after a delay.
    void queue(const std::string& bytes);
    void queueAt(double time, const std::string& bytes);
    void queueAfter(double delay, const std::string& bytes);
    // Drops every byte queued for the host, due or not.
    void clearIncoming();

    // When a single write begins with `command`, `answer` is queued (after `delay` seconds).
    // Rules are tried in the order added; a rule with `times` > 0 is used that often only.
    void reply(const std::string& command, const std::string& answer, double delay = 0.0,
               int times = 0);
    // Answers the synchronisation blank as an interface does.
    void answerSynchronisation();
    void clearReplies();

    // Makes an operation fail with status, `times` times (0: until cleared).
    void fail(PipeOp op, std::uint32_t status, int times = 0);
    void clearFailures();
    // A silent device takes every write but sends nothing: queued and reply bytes stay back
    // until it speaks again.
    void setSilent(bool silent);
    // Writes take at most this many bytes (then end as if the write timeout ran out).
    void limitWrites(std::uint32_t maxBytes);

    // Every byte the host wrote, in order; and per write.
    std::string written() const;
    std::vector<std::string> writes() const;
    void clearWritten();
    // Bytes queued for the host that it has not read yet (due or not).
    std::size_t pending() const;

    int opens() const;
    int closes() const;
    bool isOpen() const;
    std::uint32_t readTimeoutMs() const;

private:
    friend class ScriptedSession;
    friend class ScriptedPipe;

    struct Chunk {
        double due;
        std::string bytes;
    };
    struct Reply {
        std::string command;
        std::string answer;
        double delay;
        int times; // 0: always
    };
    struct Failure {
        PipeOp op;
        std::uint32_t status;
        int times; // 0: always
    };

    // Under mutex_: the status an operation fails with, or 0.
    std::uint32_t failureFor(PipeOp op);
    // Under mutex_: bytes due by `now`.
    std::size_t dueBytes(double now) const;
    void queueLocked(double due, const std::string& bytes);

    const std::string description_;
    const std::string serialNumber_;
    const std::uint32_t type_;
    const std::uint32_t id_;

    mutable std::mutex mutex_;
    std::deque<Chunk> incoming_; // ordered by due time
    std::vector<Reply> replies_;
    std::vector<Failure> failures_;
    std::vector<std::string> writes_;
    bool silent_ = false;
    std::uint32_t writeLimit_ = 0; // 0: none
    std::uint32_t readTimeoutMs_ = 1000;
    std::uint32_t writeTimeoutMs_ = 1000;
    int opens_ = 0;
    int closes_ = 0;
};

class ScriptedPipe final : public DriverBackend, public std::enable_shared_from_this<ScriptedPipe> {
public:
    static constexpr int Rank = 50; // after real hardware, before the simulated interface

    // Creates a pipe and installs it as a backend. It stays installed until uninstall()
    // (ScopedScriptedPipe does both).
    static std::shared_ptr<ScriptedPipe> install();
    void uninstall();

    std::shared_ptr<ScriptedDevice> addDevice(const std::string& description,
                                              const std::string& serialNumber = "SN0001",
                                              std::uint32_t type = 5,
                                              std::uint32_t id = 0x04036001);
    void removeDevice(const std::shared_ptr<ScriptedDevice>& device);

    int rank() const override { return Rank; }
    DriverStatus enumerate(std::vector<std::string>& descriptions) override;
    DriverStatus open(const std::string& description,
                      std::unique_ptr<DriverDevice>& device) override;

private:
    std::mutex mutex_;
    std::vector<std::shared_ptr<ScriptedDevice>> devices_;
};

// Installs a scripted pipe for the lifetime of a scope.
class ScopedScriptedPipe {
public:
    ScopedScriptedPipe() : pipe_(ScriptedPipe::install()) {}
    ~ScopedScriptedPipe() { pipe_->uninstall(); }
    ScopedScriptedPipe(const ScopedScriptedPipe&) = delete;
    ScopedScriptedPipe& operator=(const ScopedScriptedPipe&) = delete;

    ScriptedPipe& operator*() const { return *pipe_; }
    ScriptedPipe* operator->() const { return pipe_.get(); }

private:
    std::shared_ptr<ScriptedPipe> pipe_;
};

} // namespace tarvio
