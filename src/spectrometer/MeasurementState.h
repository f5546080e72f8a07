#pragma once
// Where a measurement stands, as the status bar, the buttons and a command-line progress line
// show it. Kept behind its own small lock, apart from the data lock, so asking never waits
// for a pulse being counted; a listener hears of every change.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace tarvio {

enum class MeasurementState : std::uint8_t { Idle, Measuring, PresetReached, InterfaceLost };

// "Idle", "Measuring", "Preset reached", "Interface lost".
const char* MeasurementStateName(MeasurementState state);

class MeasurementStateCell {
public:
    // Called after every change, on the thread that made it, with no lock held.
    using Listener = std::function<void(MeasurementState)>;

    MeasurementState get() const;
    // Returns whether the state changed; the listener runs when it did.
    bool set(MeasurementState state);
    // Changes to `state` only from `from`; returns whether it did.
    bool change(MeasurementState from, MeasurementState state);
    void setListener(Listener listener);

private:
    void notify(MeasurementState state);

    mutable std::mutex mutex_;
    MeasurementState state_ = MeasurementState::Idle;
    std::shared_ptr<const Listener> listener_;
};

} // namespace tarvio
