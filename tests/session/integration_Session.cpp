// The session against the simulated interface in fast mode: presets that end a measurement
// with nobody polling, the pulse path's processor and consumers, and autosaves that a live
// writer holds.

#include "session/MeasurementSession.h"

#include "formats/SpectrumFiles.h"
#include "sim/SimulatedBackend.h"
#include "spectrometer/SpecTestSupport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

using namespace tarvio;
using namespace tarvio::test;

namespace {

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        SimulatorConfig config;
        config.fastMode = true;
        config.activity = 20000;
        backend.emplace(config);
        session = std::make_unique<MeasurementSession>();
        session->setEndedListener([this](const MeasurementEnd& end) {
            std::lock_guard<std::mutex> guard(mutex);
            ends.push_back(end);
        });
        const auto devices = session->listDevices();
        ASSERT_FALSE(devices.empty());
        ASSERT_TRUE(session->open(devices.front()));
        // The simulated detector sees nothing without its bias.
        ASSERT_TRUE(session->setBias(200, 30.0));
    }
    void TearDown() override {
        session.reset();
        backend.reset();
    }

    std::vector<MeasurementEnd> endsSoFar() {
        std::lock_guard<std::mutex> guard(mutex);
        return ends;
    }
    bool ended() {
        return eventually([&] { return !endsSoFar().empty(); }, 20.0);
    }

    std::optional<ScopedSimulatedBackend> backend;
    std::unique_ptr<MeasurementSession> session;
    std::mutex mutex;
    std::vector<MeasurementEnd> ends;
};

TEST_F(SessionTest, timePreset_endsTheMeasurementWithNobodyPolling) {
    SharedManualTime clock;
    ScopedTimeSource useClock(clock);
    MeasurementPresets presets;
    presets.realSeconds = 3.0;
    session->setPresets(presets);
    ASSERT_TRUE(session->start({450, 0.0}));
    // The test moves the clock on; nobody asks for the status.
    ASSERT_TRUE(eventually([&] {
        clock.sleepFor(0.05);
        return !endsSoFar().empty();
    }));
    const auto all = endsSoFar();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].reason, EndReason::Preset);
    EXPECT_EQ(all[0].preset, PresetKind::RealTime);
    EXPECT_EQ(all[0].info.realSeconds, 3.0);
    EXPECT_FALSE(session->measuring());
    EXPECT_EQ(session->controller().measurementState(), MeasurementState::PresetReached);
    session.reset(); // its threads read the clock, which goes with this test
}

TEST_F(SessionTest, stopAndClose_endOnceEach_withTheirReasons) {
    ASSERT_TRUE(session->start({450, 0.0}));
    session->stop();
    session->stop(); // nothing running: no second end
    ASSERT_TRUE(session->start({450, 0.0}));
    // A Start while measuring ends the old measurement first.
    ASSERT_TRUE(session->start({450, 0.0}));
    session->close();
    const auto all = endsSoFar();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].reason, EndReason::Stop);
    EXPECT_EQ(all[1].reason, EndReason::Stop);
    EXPECT_EQ(all[2].reason, EndReason::Close);
    EXPECT_FALSE(session->isOpen());
}

// Rejects every pulse whose largest sample is odd; heights are given in half channels.
class HalvingProcessor final : public PulseProcessor {
public:
    void process(PulseEvent& event) override {
        std::uint16_t largest = 0;
        for (std::uint32_t i = 0; i < event.sampleCount; ++i)
            largest = std::max(largest, event.samples[i]);
        if (largest % 2 == 1)
            event.flags |= PulseRejectedPileUp;
        event.height = largest / 2.0;
    }
};

class Recorder final : public PulseConsumer {
public:
    void measurementStarted(const MeasurementInfo&) override { ++started; }
    void pulse(const PulseEvent& event) override {
        if (event.receiveNs < lastNs)
            ++outOfOrder;
        lastNs = event.receiveNs;
        if (event.flags & PulseAfterPreset)
            return;
        event.rejected() ? ++rejected : ++accepted;
    }
    void measurementEnded(const MeasurementInfo& info) override {
        ++endedCount;
        last = info;
    }

    std::atomic<int> started{0};
    std::atomic<int> endedCount{0};
    std::uint64_t accepted = 0, rejected = 0, outOfOrder = 0; // monitoring thread only
    std::int64_t lastNs = 0;
    MeasurementInfo last;
};

TEST_F(SessionTest, processorAndConsumers_hearEveryPulse_rejectedOnesCountOnlyAsDeadTime) {
    HalvingProcessor processor;
    Recorder recorder;
    session->setPulseProcessor(&processor);
    session->addPulseConsumer(&recorder);
    MeasurementPresets presets;
    presets.counts = 3000;
    session->setPresets(presets);
    ASSERT_TRUE(session->start({450, 0.0}));
    ASSERT_TRUE(ended()) << session->currentMeasurement().acceptedCount << " "
                         << session->currentMeasurement().rejected.total;
    session->removePulseConsumer(&recorder);
    session->setPulseProcessor(nullptr);

    const MeasurementInfo info = session->currentMeasurement();
    EXPECT_EQ(info.acceptedCount, 3000u);
    EXPECT_EQ(recorder.accepted, 3000u);
    EXPECT_GT(info.rejected.total, 0u);
    EXPECT_EQ(info.rejected.pileUp, info.rejected.total);
    EXPECT_EQ(recorder.rejected, info.rejected.total);
    EXPECT_EQ(recorder.outOfOrder, 0u);
    EXPECT_EQ(recorder.started, 1);
    EXPECT_EQ(recorder.endedCount, 1);
    EXPECT_EQ(recorder.last.acceptedCount, 3000u);
    // Heights in half channels: nothing above channel 2047.
    PulseBuffer pulse;
    Spectrum spectrum;
    session->snapshot(pulse, spectrum);
    std::uint64_t high = 0, all = 0;
    for (std::uint32_t c = 0; c < SpectrumChannels; ++c) {
        all += spectrum.counts[c];
        high += c >= 2048 ? spectrum.counts[c] : 0;
    }
    EXPECT_EQ(all, 3000u);
    EXPECT_EQ(high, 0u);
    // The dead time counts every pulse that came, rejected or not.
    ASSERT_TRUE(info.liveSeconds && info.realSeconds && info.deadTimePerPulseSeconds);
    EXPECT_NEAR(
        *info.liveSeconds,
        std::max(0.0, *info.realSeconds - 3000.0 * *info.deadTimePerPulseSeconds -
                          static_cast<double>(info.rejected.total) * *info.deadTimePerPulseSeconds),
        1e-9);
}

TEST_F(SessionTest, autosaveOfALiveMeasurement_isNeverOfferedAsACrash) {
    TempDir folder;
    session->setAutosavePolicy(AutosavePolicy::inFolder(folder.file("autosave"), std::nullopt));
    ASSERT_TRUE(session->start({450, 0.0}));
    session->autosaveNow();
    const std::string path = session->autosavePath();
    ASSERT_FALSE(path.empty());
    ReadResult written = readSpectrumFile(path);
    ASSERT_TRUE(written) << written.error;
    EXPECT_FALSE(written.spectrum->measurement.ended);
    // Another program looking now sees a measurement that is still being written.
    EXPECT_FALSE(AutosaveStore(folder.file("autosave")).newestUnfinished());
    EXPECT_FALSE(session->unfinishedAutosave());

    // A writer that went away without ending (its lock gone with it) left a crash behind;
    // while a live writer holds it, it stays hidden.
    session->stop();
    std::filesystem::remove(path);
    AutosaveStore store(folder.file("autosave"));
    const std::string older = store.fileFor(1000);
    ASSERT_TRUE(store.write(older, *written.spectrum));
    {
        AutosaveWriterLock live(older);
        ASSERT_TRUE(live.held());
        EXPECT_FALSE(store.newestUnfinished());
    }
    const auto offered = session->unfinishedAutosave();
    ASSERT_TRUE(offered);
    EXPECT_EQ(offered->path, older);
    ASSERT_TRUE(session->restore(*offered));
    EXPECT_TRUE(session->restored());
    EXPECT_FALSE(session->unfinishedAutosave()) << "a restored autosave is not offered again";
}

} // namespace
