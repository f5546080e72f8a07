// The time history keeps every count when its rows grow coarser, tells each row's rate, and
// the live one takes up queued pulses and starts afresh with a measurement.
#include "SyntheticEvents.h"

#include "listmode/TimeHistory.h"

#include <gtest/gtest.h>

#include <numeric>

namespace tarvio {
namespace {

TEST(TimeHistory, rowsGrowCoarser_keepingEveryCount) {
    const auto events = test::syntheticEvents(3000); // about 3 s
    TimeHistory history(8, 100'000'000);             // 0.8 s at first
    for (const auto& e : events)
        history.add(e.ns, e.height, e.flags);
    EXPECT_EQ(history.rowNs(), 400'000'000);
    EXPECT_EQ(history.rows(), static_cast<std::size_t>(events.back().ns / 400'000'000 + 1));
    const Spectrum live = test::liveSpectrum(events);
    for (std::uint32_t c = 0; c < history.channels(); ++c) {
        std::uint64_t sum = 0;
        for (std::size_t r = 0; r < history.rows(); ++r)
            sum += history.row(r)[c];
        ASSERT_EQ(sum, live.counts[c]) << "channel " << c;
    }
    // Row 1: every pulse of its 0.4 s, counted or not.
    const auto inRow1 = std::count_if(events.begin(), events.end(), [](const auto& e) {
        return e.ns >= 400'000'000 && e.ns < 800'000'000;
    });
    EXPECT_DOUBLE_EQ(history.rate(1), static_cast<double>(inRow1) / 0.4);
}

TEST(LiveTimeHistory, queuedPulses_reachTheHistoryAndAStartClearsIt) {
    LiveTimeHistory live;
    const auto events = test::syntheticEvents(500);
    live.measurementStarted(test::startInfo());
    for (const auto& e : events)
        live.pulse(test::pulseOf(e));
    const TimeHistory& history = live.update(events.back().ns);
    std::uint64_t counted = 0;
    for (std::size_t r = 0; r < history.rows(); ++r)
        counted += history.counted(r);
    const Spectrum expected = test::liveSpectrum(events);
    EXPECT_EQ(counted, std::accumulate(expected.counts.begin(), expected.counts.end(), 0ull));

    live.measurementStarted(test::startInfo());
    EXPECT_EQ(live.update(0).rows(), 1u);
    EXPECT_EQ(live.history().counted(0), 0u);
}

} // namespace
} // namespace tarvio
