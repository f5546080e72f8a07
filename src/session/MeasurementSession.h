#pragma once
// One measurement session, the same under every front-end (the window, tarvio2-cli, a
// device server): it owns the controller and opens, closes, starts, stops and fires single
// shots; it evaluates the presets itself, on a thread of its own, so that no front-end polls
// for them; it tells once how each measurement ended; it autosaves through one store; it
// gives the current record for saving and restores an autosave a crash left behind; and it
// hands every pulse to the processor and the consumers registered with it.
//
// Threads: the operations run on the front-end's thread (one at a time: they are serialised
// inside). The session's own thread meets the time presets, stops the interface after any
// preset, notices a lost interface and writes the periodic autosave. Listeners run on
// whichever thread ended the measurement, with no lock of the session held: a window hands
// the work over to its own thread.
//
// Time is the program's injected clock (driver/TimeSource.h): tests on a manual clock move
// it, and the session's thread sees it within a few milliseconds.

#include "autosave/AutosaveStore.h"
#include "formats/MeasuredSpectrum.h"
#include "records/EnergyCalibration.h"
#include "records/Measurement.h"
#include "records/PulseEvent.h"
#include "records/SaveResult.h"
#include "session/AnalysisState.h"
#include "spectrometer/MeasurementRecord.h"
#include "spectrometer/Presets.h"
#include "spectrometer/QrxController.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tarvio {

// Why a measurement ended.
enum class EndReason : std::uint8_t { Stop, Preset, InterfaceLost, Close };

// "stop", "preset", "interface lost", "close".
const char* EndReasonName(EndReason reason);

struct MeasurementEnd {
    EndReason reason = EndReason::Stop;
    std::optional<PresetKind> preset; // with EndReason::Preset
    MeasurementInfo info;             // the record as it ended
};

// What Start runs with.
struct StartRequest {
    std::uint16_t samplesPerPulse = DefaultSampleCount;
    double delaySeconds = 0.2;
};

// Where and how often the running measurement is autosaved.
struct AutosavePolicy {
    bool enabled = false;
    // The window's: one file per measurement in this folder (AutosaveStore), offered back
    // after a crash. Used when `path` is empty.
    std::string folder;
    // The command line's: this one file, beside the output, in the format its extension
    // names.
    std::string path;
    // Between two autosaves of a running measurement; none: only when it ends.
    std::optional<double> intervalSeconds;

    static AutosavePolicy inFolder(std::string folder, std::optional<double> intervalSeconds);
    static AutosavePolicy toFile(std::string path, std::optional<double> intervalSeconds);
};

// The autosave file beside an output: "<stem>.autosave<extension>".
std::string autosavePathFor(const std::string& output);

// The interface to open: `wanted` when listed, the first listed when `wanted` is empty.
// Empty when there is none, with the reason in `problem`.
std::string chooseInterface(const std::vector<std::string>& devices, const std::string& wanted,
                            std::string& problem);

class MeasurementSession {
public:
    using LogHandler = std::function<void(const std::string& line)>;
    using EndedListener = std::function<void(const MeasurementEnd& end)>;

    // Creates the controller, installs the watchdog's last-chance autosave and starts the
    // session's thread.
    MeasurementSession();
    // Ends a running measurement as Close does, then closes the interface.
    ~MeasurementSession();
    MeasurementSession(const MeasurementSession&) = delete;
    MeasurementSession& operator=(const MeasurementSession&) = delete;

    // Log lines of the controller and the session (autosave failures, restores). Any thread.
    void setLogHandler(LogHandler handler);
    // Hears every end of a measurement once: stop, preset, interface lost, close.
    void setEndedListener(EndedListener listener);

    // --- The interface ---------------------------------------------------------------
    std::vector<std::string> listDevices();
    // Opens the interface and adopts its operating point as start-up does: bias off, the
    // threshold the interface holds read back and sent again (or `threshold` when given),
    // the scope configured. Returns whether it opened.
    bool open(const std::string& device, std::optional<double> threshold = std::nullopt);
    // Stops the measurement (unless the interface was lost), ends it, closes the interface.
    void close();
    // The one answer to "is an interface open".
    bool isOpen() const;
    bool interfaceLost() const;
    const std::string& deviceName() const;
    // The threshold in force, volts: adopted at open or set since.
    double thresholdVolts() const { return thresholdVolts_; }
    bool setThreshold(double volts);
    // Sends the bias code; on success the record notes the voltage it stands for
    // (nullopt: off).
    bool setBias(std::uint8_t code, std::optional<double> volts);
    bool readMonitor();
    // Leaves the interface safe on the way out of a program: stops it when a measurement was
    // started since the open, then switches the bias off; a lost interface is left alone.
    // Never throws.
    void switchOff() noexcept;

    // --- The measurement -------------------------------------------------------------
    // A new measurement from an empty spectrum; a running one ends first (as stopped).
    // Returns whether the interface started it.
    bool start(const StartRequest& request);
    // Stops waiting for triggers (sent whenever an interface is open) and ends a running
    // measurement.
    void stop();
    // One pulse, which arrives as scope data.
    bool single();
    bool measuring() const;
    void setPresets(const MeasurementPresets& presets);
    MeasurementPresets presets() const;
    void setExtraDeadTime(double seconds);
    // Where the measurement stands; also meets the presets at once.
    MeasurementStatus status();

    // --- Records ---------------------------------------------------------------------
    // The spectrum, the record and the energy axis together, completed with what the
    // session knows (interface, threshold, delay, samples); a restored autosave's until the
    // next Start.
    MeasuredSpectrum currentRecord() const;
    MeasurementInfo currentMeasurement() const;
    void snapshot(PulseBuffer& pulse, Spectrum& spectrum) const;

    // --- Autosave and restore ----------------------------------------------------------
    void setAutosavePolicy(AutosavePolicy policy);
    const AutosavePolicy& autosavePolicy() const { return autosave_.policy; }
    // Writes the running measurement's autosave now.
    void autosaveNow();
    // The file the running (or last) measurement was autosaved to; empty: none.
    std::string autosavePath() const;
    // The ended measurement was saved where the operator wanted it: its autosave goes.
    void discardAutosave();
    // The newest autosave of a measurement that never ended, in the policy's folder, that
    // no running program is still writing.
    std::optional<AutosaveStore::Unfinished>
    unfinishedAutosave(std::string* problem = nullptr) const;
    // Makes it the current spectrum and record until the next Start, and marks the file
    // restored so that it is not offered again. Fails when its counts do not fit.
    SaveResult restore(const AutosaveStore::Unfinished& unfinished);
    const MeasuredSpectrum* restored() const;

    // --- Analysis ----------------------------------------------------------------------
    // Regions, fits, calibration; the record takes its activeCalibration().
    AnalysisState& analysis() { return analysis_; }
    const AnalysisState& analysis() const { return analysis_; }

    // --- The pulse path ---------------------------------------------------------------
    // Without a processor a pulse's height is its largest sample. The caller keeps
    // ownership and removes what it destroys; no call runs into what was removed.
    void setPulseProcessor(PulseProcessor* processor);
    void addPulseConsumer(PulseConsumer* consumer);
    void removePulseConsumer(PulseConsumer* consumer);

    // The controller, for what the session does not wrap (monitor readings, the log).
    TQrxController& controller() { return *controller_; }
    const TQrxController& controller() const { return *controller_; }

private:
    struct Autosave {
        AutosavePolicy policy;
        std::string currentPath; // the running measurement's file; empty while none runs
        std::string lastPath;    // the last file written, for the watchdog's rescue
        std::string lastError;   // reported once, not at every tick
        double nextDue = 0.0;
        std::unique_ptr<AutosaveWriterLock> lock;
    };

    void watch();
    // Meets the presets, ends a measurement that is over and autosaves when it is time;
    // under opMutex_. The session's thread and every status() do it.
    MeasurementStatus serviceLocked(std::optional<MeasurementEnd>& ended);
    // Under opMutex_: the ending of a running measurement, once; returns what to tell.
    std::optional<MeasurementEnd> endLocked(EndReason reason, std::optional<PresetKind> preset);
    // Looks at the measurement after a poll; under opMutex_.
    std::optional<MeasurementEnd> checkLocked(const MeasurementStatus& status);
    void tell(const std::optional<MeasurementEnd>& end);
    void autosaveLocked(bool ended);
    MeasuredSpectrum recordLocked() const;
    MeasurementInfo withFacts(MeasurementInfo info) const;
    void log(const std::string& line) const;

    std::unique_ptr<TQrxController> controller_;
    AnalysisState analysis_;

    // Serialises every operation on the controller between the front-end and the thread.
    mutable std::recursive_timed_mutex opMutex_;
    bool running_ = false;
    bool startedSinceOpen_ = false;
    double thresholdVolts_ = 0.0;
    double delaySeconds_ = 0.2;
    Autosave autosave_;
    std::optional<MeasuredSpectrum> restored_;
    std::optional<EnergyCalibration> calibration_; // the analysis state's, for the record
    std::vector<PulseConsumer*> consumers_;

    mutable std::mutex handlerMutex_;
    LogHandler logHandler_;
    EndedListener endedListener_;

    std::mutex wakeMutex_;
    std::condition_variable wake_;
    bool quit_ = false;
    std::atomic<bool> lostNoticed_{false};
    std::thread thread_;
};

} // namespace tarvio
