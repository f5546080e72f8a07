#include "processing/LearningConsumer.h"

namespace tarvio {

LearningConsumer::LearningConsumer(int pulses, std::shared_ptr<const PulseTemplate> start,
                                   double tolerance)
    : learner_(pulses, std::move(start), tolerance) {}

void LearningConsumer::pulse(const PulseEvent& event) {
    std::lock_guard lock(mutex_);
    // Single shots are asked for by hand; they may be anything.
    if (!learner_.done() && !(event.flags & PulseSingleShot)) {
        learner_.add(event.samples, event.sampleCount);
    }
}

int LearningConsumer::taken() const {
    std::lock_guard lock(mutex_);
    return learner_.taken();
}

bool LearningConsumer::done() const {
    std::lock_guard lock(mutex_);
    return learner_.done();
}

std::optional<PulseTemplate> LearningConsumer::result() const {
    std::lock_guard lock(mutex_);
    if (!learner_.done()) {
        return std::nullopt;
    }
    return learner_.result();
}

} // namespace tarvio
