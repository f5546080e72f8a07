#pragma once
// Records every pulse of one measurement into a list-mode file: a PulseConsumer for the
// session's pulse seam. The monitoring thread only copies each pulse into a ring allocated
// at construction (a pulse that finds the ring full is counted as dropped, never waited for);
// a thread of the recorder's own writes the file, flushes it at least once per flush
// interval and watches the size limit and the disk. When it must stop early (limit, full
// disk, a failed write) it closes the file readable, says why through onStopped and lets
// the measurement run on.

#include "records/EnergyCalibration.h"
#include "records/PulseEvent.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace tarvio {

class EventRing;

struct ListModeOptions {
    std::string path;
    bool samples = false; // keep each pulse's raw samples too
    std::optional<EnergyCalibration> calibration;
    std::uint64_t sizeLimitBytes = std::uint64_t{64} << 30; // 0: no limit
    std::uint64_t keepFreeBytes = std::uint64_t{256} << 20; // left free on the disk
    std::chrono::milliseconds flushInterval{1000};
    std::size_t ringEvents = 0; // 0: about a second of the fastest wire
    // From the writer thread, once, when the recording stops before the measurement ends.
    std::function<void(const std::string& message)> onStopped;
};

struct ListModeStatus {
    enum class State { Waiting, Recording, Finished, Stopped };
    State state = State::Waiting;
    std::string path;
    std::uint64_t events = 0;        // written to the file
    std::uint64_t flushedEvents = 0; // safe against a crash
    std::uint64_t fileBytes = 0;
    std::uint64_t droppedEvents = 0; // found the ring full
    std::string message;             // why it stopped early, or what went wrong at the end
};

class ListModeRecorder : public PulseConsumer {
public:
    explicit ListModeRecorder(ListModeOptions options);
    ~ListModeRecorder() override;

    // The first measurement after construction is recorded (pulses that come before the
    // news of its start belong to it); later ones are not.
    void measurementStarted(const MeasurementInfo& info) override;
    void pulse(const PulseEvent& event) override;
    // Has the writer write what is left, close the file and note the measurement's end in
    // it, without waiting for that: close() waits.
    void measurementEnded(const MeasurementInfo& info) override;

    // The monitoring thread's step without the drop count: false when the ring is full.
    // Lets a benchmark feed as fast as the writer takes.
    bool offer(const PulseEvent& event);

    ListModeStatus status() const;
    // Waits until the file is closed, ending the recording now if its measurement has not
    // ended (the file then says so), and gives the final status. No call of the seam may
    // come after.
    ListModeStatus close();
    const ListModeOptions& options() const { return options_; }

private:
    void writeLoop(MeasurementInfo start);
    void stopEarly(const std::string& message);
    void setState(ListModeStatus::State state, const std::string& message = {});

    ListModeOptions options_;
    std::unique_ptr<EventRing> ring_;
    std::atomic<bool> accepting_{false};
    std::atomic<std::uint64_t> dropped_{0};
    std::atomic<std::int64_t> lastReceiveNs_{0};
    bool started_ = false;

    std::mutex mutex_; // guards what follows
    std::condition_variable wake_;
    bool endRequested_ = false;
    std::optional<MeasurementInfo> endInfo_;
    mutable std::mutex statusMutex_;
    ListModeStatus status_;

    std::thread writer_;
};

} // namespace tarvio
