#include "spectrometer/MeasurementState.h"

namespace tarvio {

const char* MeasurementStateName(MeasurementState state) {
    switch (state) {
    case MeasurementState::Measuring:
        return "Measuring";
    case MeasurementState::PresetReached:
        return "Preset reached";
    case MeasurementState::InterfaceLost:
        return "Interface lost";
    case MeasurementState::Idle:
        break;
    }
    return "Idle";
}

MeasurementState MeasurementStateCell::get() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return state_;
}

bool MeasurementStateCell::set(MeasurementState state) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (state_ == state) {
            return false;
        }
        state_ = state;
    }
    notify(state);
    return true;
}

bool MeasurementStateCell::change(MeasurementState from, MeasurementState state) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (state_ != from || state_ == state) {
            return false;
        }
        state_ = state;
    }
    notify(state);
    return true;
}

void MeasurementStateCell::setListener(Listener listener) {
    auto next = listener ? std::make_shared<const Listener>(std::move(listener)) : nullptr;
    std::lock_guard<std::mutex> guard(mutex_);
    listener_.swap(next);
}

void MeasurementStateCell::notify(MeasurementState state) {
    std::shared_ptr<const Listener> listener;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        listener = listener_;
    }
    if (listener) {
        (*listener)(state);
    }
}

} // namespace tarvio
