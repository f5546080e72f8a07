#pragma once
// The one object through which the window reaches a readout interface: it lists, opens and
// closes interfaces, forwards log lines, turns the interface's scope data into the last pulse
// and the spectrum, and offers the few measurement operations the window needs.
//
// Threads: every operation runs on the calling (window) thread. The monitoring thread calls
// OnBackgroundMessage and, through reports, OnLinkReport; so the log and pulse handlers may
// run on it and must hand any window work over to the window thread. `pulse`, `spectrum` and
// the two monitor readings are shared with that thread: touch them only while holding a
// QrxControllerCriticalSection (or use Snapshot / ClearRecords, which take it).
//
// Beside the spectrum the controller keeps the record of the current measurement (start,
// real and live time, counts, operating point) with its presets, under the same data lock,
// and the measurement state behind a lock of its own. A preset is met in the pulse path or
// by PollMeasurement; the interface is stopped by the next PollMeasurement, which the owner
// calls periodically while measuring (the measurement session's thread does).
//
// One controller per process: the link layer's hooks reach the current one.

#include "link/CommandResponse.h"
#include "link/DeviceLink.h"
#include "link/Locks.h"
#include "records/Measurement.h"
#include "records/PulseBuffer.h"
#include "records/PulseEvent.h"
#include "records/Spectrum.h"
#include "spectrometer/MeasurementRecord.h"
#include "spectrometer/MeasurementState.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tarvio {

// Receives one log line (NUL-terminated). May run on the monitoring thread.
using LogHandler = std::function<void(const char* line)>;
// Called once after every stored pulse. May run on the monitoring thread.
using PulseHandler = std::function<void()>;
// Called once when the open interface is lost (unplugged, or failing past the driver's
// retries), on whichever thread noticed it, with the link lock held: hand the work over.
using InterfaceLostHandler = std::function<void()>;

// Samples per pulse until the window chooses another count.
constexpr std::uint16_t DefaultSampleCount = 450;

class TQrxController {
public:
    TQrxController();
    // Stops the monitoring thread and closes the interface, also in the middle of a
    // measurement.
    ~TQrxController();
    TQrxController(const TQrxController&) = delete;
    TQrxController& operator=(const TQrxController&) = delete;

    // Appends the description of every compatible interface, in the driver's order.
    void ListDevices(std::vector<std::string>& list);
    // Closes any open interface, opens this one (reset and chip detection included) and
    // starts the monitoring thread. Returns whether the interface is open.
    bool Open(const std::string& name);
    // Stops the monitoring thread, then closes the interface. Logs even when none was open.
    void Close();

    void SetLogHandler(LogHandler handler);
    void SetPulseHandler(PulseHandler handler);
    void SetInterfaceLostHandler(InterfaceLostHandler handler);
    // Stored for the next ConfigureScope; sends nothing.
    void SetSampleCount(std::uint16_t count);

    // Every command operation returns whether the interface answered; failures have already
    // been reported through the log.
    bool ConfigureScope();                    // scope mode 2, sampleCount, final byte 15
    bool ArmMeasurement(double delaySeconds); // trigger 12, then interval timer (mode 16)
    bool StartMeasurement();                  // start waiting for triggers; a new record
    bool StopMeasurement();                   // stop waiting for triggers, then the timer
    bool SingleShot();                        // one pulse, arriving as scope data
    bool SetThreshold(double volts);          // DAC channel 0
    bool SetBias(std::uint8_t code);          // 0 switches the bias off
    bool ReadMonitor();                       // threshold and monitor channels 2 and 3

    // The pulse path's seam. Without a processor a pulse's height is its largest sample; a
    // processor decides it and may reject the pulse (no count, but dead time and a count by
    // reason in the record). Consumers then hear every pulse, on the monitoring thread under
    // the data lock. Each call takes the data lock, so once it returns no pulse is being
    // handed to what was removed. The caller keeps ownership.
    void SetPulseProcessor(PulseProcessor* processor);
    void AddPulseConsumer(PulseConsumer* consumer);
    void RemovePulseConsumer(PulseConsumer* consumer);

    // The presets of this and later measurements; they take effect at once.
    void SetPresets(const MeasurementPresets& presets);
    MeasurementPresets Presets() const;
    // Dead time per pulse the user measured beyond the hold-off model, from the next Start.
    void SetExtraDeadTime(double seconds);
    // What the bias code last sent stands for, for the record (nullopt: off); the window
    // knows the conversion.
    void NoteBiasVolts(std::optional<double> volts);
    // Meets the time presets, stops the interface once a preset has ended the measurement,
    // and says where the measurement stands.
    MeasurementStatus PollMeasurement();
    MeasurementState measurementState() const { return state_.get(); }
    // Hears every change of the state, on the thread that made it, with no lock held.
    void SetStateListener(MeasurementStateCell::Listener listener);

    bool opened() const { return opened_; }
    // Whether the interface of the last Open has been lost: it is not polled any more, and the
    // measurement has ended with its pulses and spectrum as they were. Close and Open work as
    // usual; the next Open clears it. Any thread.
    bool interfaceLost() const { return interfaceLost_.load(std::memory_order_acquire); }
    const std::string& deviceName() const { return deviceName_; }
    std::uint16_t sampleCount() const { return sampleCount_; }
    // Threshold read back by the last successful ReadMonitor, volts.
    double monitorThreshold() const { return monitorThreshold_; }
    // The last readings of monitor channels 2 and 3 (12-bit codes); take the data lock.
    std::int32_t monitorReading2() const;
    std::int32_t monitorReading3() const;

    // Copies the last pulse and the spectrum under the data lock.
    void Snapshot(PulseBuffer& pulseCopy, Spectrum& spectrumCopy) const;
    // The same, with the record as it stands at that moment.
    void Snapshot(PulseBuffer& pulseCopy, Spectrum& spectrumCopy, MeasurementInfo& info) const;
    // Copies the spectrum (and the record, when asked) unless the data lock stays taken for
    // timeoutSeconds: a last save while another thread may hold the lock for good. Returns
    // whether it copied.
    bool TrySnapshot(Spectrum& spectrumCopy, double timeoutSeconds,
                     MeasurementInfo* info = nullptr) const;
    MeasurementInfo Measurement() const;
    // Clears the last pulse, the spectrum and the record under the data lock.
    void ClearRecords();

    // The hooks the link layer calls (through the current controller).
    void OnBackgroundMessage(DeviceLink& messageLink, QrxCommandResponse& message);
    void OnLinkReport(DeviceLink& reportLink);
    void OnInterfaceLost();

    // The controller's own link: every command goes through it and it keeps the last report.
    DeviceLink link;

    // Guarded by the data lock.
    PulseBuffer pulse;
    Spectrum spectrum;

private:
    friend class QrxControllerCriticalSection;

    void log(const char* line);
    void logLine(const std::string& line) { log(line.c_str()); }
    void handleScopeData(const QrxCommandResponse& message);
    // A pulse through the processor and to the consumers; under the data lock.
    void processPulse();
    // Log lines for what the driver could not say through a status (devices without access).
    void logDriverNotices();
    bool stopInterface();
    // Ends a running record; a measuring state goes to `next`.
    void endMeasurement(MeasurementState next);

    std::string deviceName_;
    bool opened_ = false;
    std::uint16_t sampleCount_ = DefaultSampleCount;
    double monitorThreshold_ = 0.0;

    // Handlers are replaced on the window thread and called on either thread: callers take
    // their own reference, so a replacement never destroys a handler that is running.
    mutable std::mutex handlerMutex_;
    std::shared_ptr<const LogHandler> logHandler_;
    std::shared_ptr<const InterfaceLostHandler> lostHandler_;
    template <typename Handler>
    std::shared_ptr<const Handler> current(const std::shared_ptr<const Handler>& handler) const {
        std::lock_guard<std::mutex> guard(handlerMutex_);
        return handler;
    }
    template <typename Handler>
    void replace(std::shared_ptr<const Handler>& handler, Handler next) {
        auto held = next ? std::make_shared<const Handler>(std::move(next)) : nullptr;
        std::lock_guard<std::mutex> guard(handlerMutex_);
        handler.swap(held);
    }
    // The pulse handler runs for every pulse, so it is read with one atomic load; a handler
    // that was replaced stays alive with the controller, as a call may still be running it.
    std::atomic<const PulseHandler*> pulseHandler_{nullptr};
    std::vector<std::unique_ptr<const PulseHandler>> pulseHandlers_; // under handlerMutex_

    std::atomic<bool> interfaceLost_{false};

    mutable MCriticalSection dataLock_;
    std::int32_t monitorReading2_ = 0;      // guarded by dataLock_
    std::int32_t monitorReading3_ = 0;      // guarded by dataLock_
    MeasurementRecord measurement_;         // guarded by dataLock_
    PulseProcessor* processor_ = nullptr;   // guarded by dataLock_
    std::vector<PulseConsumer*> consumers_; // guarded by dataLock_
    bool singleShotPending_ = false;        // guarded by dataLock_

    MeasurementStateCell state_;
    // Window thread only: what the next record's dead time is made of.
    std::optional<double> armedDelay_; // the interval timer, while set up
    double extraDeadTime_ = 0.0;
};

// Holds the controller's data lock for its lifetime. Never send, receive or call a handler
// while holding it; a thread that also needs the link lock takes that one first.
class QrxControllerCriticalSection {
public:
    explicit QrxControllerCriticalSection(const TQrxController& controller)
        : lock_(controller.dataLock_) {
        lock_.Enter();
    }
    ~QrxControllerCriticalSection() { lock_.Leave(); }
    QrxControllerCriticalSection(const QrxControllerCriticalSection&) = delete;
    QrxControllerCriticalSection& operator=(const QrxControllerCriticalSection&) = delete;

private:
    MCriticalSection& lock_;
};

} // namespace tarvio
