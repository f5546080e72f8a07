#pragma once
// Learning a template while a measurement runs: a pulse consumer that hands every pulse to a
// TemplateLearner until it has its N clean pulses. The pulses arrive on the monitoring
// thread; a front-end asks for the progress and the result from its own.

#include "processing/TemplateLearner.h"
#include "records/PulseEvent.h"

#include <mutex>
#include <optional>

namespace tarvio {

class LearningConsumer : public PulseConsumer {
public:
    explicit LearningConsumer(int pulses, std::shared_ptr<const PulseTemplate> start = nullptr,
                              double tolerance = ProcessingOptions::DefaultTolerance);

    void pulse(const PulseEvent& event) override;

    int taken() const;
    int wanted() const { return learner_.wanted(); } // fixed at construction
    bool done() const;
    // The learned shape once done; nothing before.
    std::optional<PulseTemplate> result() const;

private:
    mutable std::mutex mutex_;
    TemplateLearner learner_;
};

} // namespace tarvio
