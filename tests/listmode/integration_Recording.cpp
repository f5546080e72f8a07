// Recording through the consumer interface and replaying: the replayed spectrum equals the
// live one count for count, time ranges and slices select exactly, and a recording that ends
// early (size limit, full disk) or is killed stays readable.
#include "SyntheticEvents.h"
#include "cli/ChildProcess.h"

#include "listmode/ListFileReader.h"
#include "listmode/ListModeRecorder.h"
#include "listmode/Replay.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <sys/mount.h>
#include <thread>

namespace tarvio {
namespace {

using test::SyntheticEvent;

MeasurementInfo endInfo(const std::vector<SyntheticEvent>& events) {
    MeasurementInfo info = test::startInfo();
    info.ended = true;
    info.realSeconds = static_cast<double>(events.back().ns) * 1e-9 + 0.001;
    info.liveSeconds = *info.realSeconds * 0.9;
    return info;
}

void record(ListModeRecorder& recorder, const std::vector<SyntheticEvent>& events,
            std::uint32_t samplesPerPulse = 64) {
    recorder.measurementStarted(test::startInfo(samplesPerPulse));
    for (const SyntheticEvent& e : events)
        recorder.pulse(test::pulseOf(e));
    recorder.measurementEnded(endInfo(events));
    recorder.close();
}

std::vector<std::uint64_t> countsOf(const Spectrum& spectrum) {
    return {spectrum.counts.begin(), spectrum.counts.end()};
}

TEST(ListModeRecording, recordedAndReplayed_equalsLiveSpectrumCountForCount) {
    struct Case {
        const char* name;
        bool samples;
        std::uint32_t width;
    };
    for (const Case& c : {Case{"without samples", false, 0}, Case{"with samples", true, 32}}) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const auto events = test::syntheticEvents(20000, c.width);
        ListModeOptions options;
        options.path = dir.file("run.h5");
        options.samples = c.samples;
        options.calibration = EnergyCalibration{{1.5, 0.25, 0.0}};
        ListModeRecorder recorder(options);
        record(recorder, events, c.width);
        const ListModeStatus status = recorder.status();
        EXPECT_EQ(status.state, ListModeStatus::State::Finished) << status.message;
        EXPECT_EQ(status.events, events.size());
        EXPECT_EQ(status.droppedEvents, 0u);

        ListFileReader reader(options.path);
        const ListFileInfo& info = reader.info();
        EXPECT_TRUE(info.finished);
        EXPECT_FALSE(info.openedWhileWriting);
        EXPECT_EQ(info.events, events.size());
        EXPECT_EQ(info.sampleWidth, c.width);
        ASSERT_TRUE(info.calibration);
        EXPECT_EQ(info.calibration->coefficients[1], 0.25);
        EXPECT_EQ(info.measurement.startUtcMs, test::startInfo().startUtcMs);
        EXPECT_EQ(info.measurement.operatingPoint.thresholdVolts, 0.5);

        const ReplayedSpectrum replayed = replaySpectrum(reader, TimeRange{});
        EXPECT_EQ(replayed.counts, countsOf(test::liveSpectrum(events)));
        EXPECT_EQ(replayed.measurement.realSeconds, endInfo(events).realSeconds);
        EXPECT_EQ(replayed.measurement.liveSeconds, endInfo(events).liveSeconds);
        EXPECT_EQ(replayed.events, events.size());
        for (const std::uint64_t i : {std::uint64_t{0}, std::uint64_t{3}, std::uint64_t{19999}})
            EXPECT_EQ(reader.samples(i), events[i].samples) << "event " << i;
    }
}

TEST(ListModeRecording, timeRangesAndSlices_selectExactlyTheEventsInside) {
    test::TempDir dir;
    const auto events = test::syntheticEvents(5000);
    ListModeOptions options;
    options.path = dir.file("range.h5");
    ListModeRecorder recorder(options);
    record(recorder, events);
    ListFileReader reader(options.path);

    const std::int64_t t100 = events[100].ns;
    const std::int64_t t4000 = events[4000].ns;
    const TimeRange ranges[] = {
        {t100, t4000},         // an event exactly at each edge: the first in, the last out
        {t100 + 1, t4000 + 1}, // one nanosecond later: the other way round
        {0, 1},                // nothing
        {t4000, INT64_MAX},    // to the end
    };
    for (const TimeRange& range : ranges) {
        SCOPED_TRACE(std::to_string(range.fromNs) + ".." + std::to_string(range.toNs));
        const ReplayedSpectrum part = replaySpectrum(reader, range);
        EXPECT_EQ(part.counts, countsOf(test::liveSpectrum(events, range.fromNs, range.toNs)));
        const auto inside = std::count_if(events.begin(), events.end(),
                                          [&](const auto& e) { return range.contains(e.ns); });
        EXPECT_EQ(part.events, static_cast<std::uint64_t>(inside));
    }

    // Slices of an odd length over a range: they sum to the range, their times to its length.
    const TimeRange range{t100, t4000};
    const ReplayedSpectrum whole = replaySpectrum(reader, range);
    const auto slices = replaySlices(reader, range, 333'333'333);
    ASSERT_EQ(slices.size(), static_cast<std::size_t>((t4000 - t100 + 333'333'332) / 333'333'333));
    std::vector<std::uint64_t> sum(SpectrumChannels, 0);
    double real = 0.0;
    for (const ReplayedSpectrum& slice : slices) {
        for (std::size_t ch = 0; ch < sum.size(); ++ch)
            sum[ch] += slice.counts[ch];
        real += *slice.measurement.realSeconds;
        EXPECT_EQ(*slice.measurement.startUtcMs,
                  *test::startInfo().startUtcMs + slice.range.fromNs / 1000000);
        EXPECT_LE(*slice.measurement.liveSeconds, *slice.measurement.realSeconds);
    }
    EXPECT_EQ(sum, whole.counts);
    EXPECT_NEAR(real, static_cast<double>(t4000 - t100) * 1e-9, 1e-9);
}

// Mounted for the test's lifetime when the system lets it; unmounted after.
class SmallTmpfs {
public:
    explicit SmallTmpfs(const std::string& where) : path_(where) {
        mounted_ = ::mount("tmpfs", where.c_str(), "tmpfs", 0, "size=16m") == 0;
    }
    ~SmallTmpfs() {
        if (mounted_)
            ::umount2(path_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }

private:
    std::string path_;
    bool mounted_ = false;
};

TEST(ListModeRecording, stoppedByLimitOrFullDisk_endsWithMessageAndStaysReadable) {
    struct Case {
        const char* name;
        bool tmpfs;
        std::uint64_t sizeLimit;
        std::uint64_t keepFree;
        const char* reason;
    };
    const Case cases[] = {
        {"size limit", false, 6'000'000, 0, "size limit"},
        {"disk full", true, 0, 0, "disk is full"},
        {"disk nearly full", true, 0, 8'000'000, "left free"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        std::filesystem::create_directory(dir.file("disk"));
        std::optional<SmallTmpfs> tmpfs;
        if (c.tmpfs) {
            tmpfs.emplace(dir.file("disk"));
            if (!tmpfs->mounted()) {
                std::printf("skipped '%s': mounting a small tmpfs is not permitted here\n", c.name);
                continue;
            }
        }
        ListModeOptions options;
        options.path = dir.file("disk/full.h5");
        options.samples = true;
        options.sizeLimitBytes = c.sizeLimit;
        options.keepFreeBytes = c.keepFree;
        options.flushInterval = std::chrono::milliseconds(10);
        std::atomic<int> stops{0};
        std::string message;
        options.onStopped = [&](const std::string& text) {
            message = text;
            stops.fetch_add(1);
        };
        ListModeRecorder recorder(options);
        // Samples of noise barely compress: the disk fills within a few thousand pulses,
        // fed in small rounds as a wire brings them.
        const auto events = test::syntheticEvents(500, 450);
        recorder.measurementStarted(test::startInfo(450));
        const std::int64_t round = events.back().ns;
        for (int k = 0; k < 400 && stops.load() == 0; ++k) {
            for (SyntheticEvent e : events) {
                e.ns += k * round;
                recorder.pulse(test::pulseOf(e));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ASSERT_EQ(stops.load(), 1) << "the recording never stopped";
        // The measurement goes on; the recorder takes no more.
        for (const SyntheticEvent& e : events)
            recorder.pulse(test::pulseOf(e));
        recorder.measurementEnded(endInfo(events));
        recorder.close();
        EXPECT_NE(message.find(c.reason), std::string::npos) << message;
        EXPECT_NE(message.find("stays readable"), std::string::npos) << message;
        const ListModeStatus status = recorder.status();
        EXPECT_EQ(status.state, ListModeStatus::State::Stopped);

        ListFileReader reader(options.path);
        EXPECT_FALSE(reader.info().openedWhileWriting);
        EXPECT_EQ(reader.info().events, status.events);
        EXPECT_GT(reader.info().events, 0u);
        EXPECT_NE(reader.info().stopReason.find(c.reason), std::string::npos);
        if (c.sizeLimit > 0) {
            EXPECT_LE(std::filesystem::file_size(options.path), c.sizeLimit);
        }
        std::uint64_t read = 0;
        reader.forEach(TimeRange{}, [&](const ListEvents& run) { read += run.count; });
        EXPECT_EQ(read, status.events);
    }
}

std::string pythonCheck(const std::string& path, const std::string& out) {
    // Plain open first, as a user would; SWMR read mode when HDF5 refuses.
    return "/usr/bin/python3 - '" + path + "' >'" + out +
           "' 2>&1 <<'EOF'\n"
           "import sys, h5py\n"
           "try:\n"
           "    f = h5py.File(sys.argv[1], 'r'); mode = 'plain'\n"
           "except OSError:\n"
           "    f = h5py.File(sys.argv[1], 'r', swmr=True); mode = 'swmr'\n"
           "n = min(len(f['time_ns']), len(f['height']), len(f['flags']))\n"
           "print(mode, n, int(f['time_ns'][n - 1]) if n else -1)\n"
           "EOF\n";
}

TEST(ListModeRecording, killedWriter_readsEveryEventUpToItsLastFlush) {
    test::TempDir dir;
    const std::string path = dir.file("killed.h5");
    const auto events = test::syntheticEvents(30000);
    constexpr std::size_t Flushed = 20000;
    {
        test::ChildProcess child(TARVIO_RECORDING_CHILD,
                                 {path, std::to_string(events.size()), std::to_string(Flushed)});
        ASSERT_TRUE(child.started());
        std::string line;
        ASSERT_TRUE(child.outLine(line)) << "the recording child said nothing";
        ASSERT_EQ(line.rfind("flushed ", 0), 0u) << line;
        child.signal(SIGKILL);
        ASSERT_EQ(child.wait(), 1000 + SIGKILL);
    }

    ListFileReader reader(path);
    const ListFileInfo& info = reader.info();
    EXPECT_TRUE(info.openedWhileWriting);
    EXPECT_FALSE(info.finished);
    ASSERT_GE(info.events, Flushed);
    ASSERT_LE(info.events, events.size());
    std::size_t i = 0;
    reader.forEach(TimeRange{}, [&](const ListEvents& run) {
        for (std::size_t k = 0; k < run.count; ++k, ++i) {
            ASSERT_EQ(run.timeNs[k], events[i].ns);
            ASSERT_EQ(run.height[k], events[i].height);
        }
    });
    EXPECT_EQ(i, info.events);
    EXPECT_EQ(info.recordedUntilNs, events[info.events - 1].ns);

    if (std::system("/usr/bin/python3 -c 'import h5py' >/dev/null 2>&1") != 0) {
        std::printf("skipped the h5py check: /usr/bin/python3 has no h5py (python3-h5py)\n");
        return;
    }
    const std::string out = dir.file("python.txt");
    ASSERT_EQ(std::system(pythonCheck(path, out).c_str()), 0) << test::readText(out);
    char mode[16] = {};
    unsigned long long n = 0;
    long long last = 0;
    ASSERT_EQ(std::sscanf(test::readText(out).c_str(), "%15s %llu %lld", mode, &n, &last), 3)
        << test::readText(out);
    EXPECT_EQ(std::string(mode), "swmr");
    EXPECT_GE(n, Flushed);
    EXPECT_EQ(last, events[n - 1].ns);
}

TEST(ListModeRecording, filesThatAreNoRecording_giveAMessageNamingTheFile) {
    test::TempDir dir;
    test::writeText(dir.file("text.h5"), "channel\tcounts\n1\t2\n");
    const struct {
        std::string path;
        const char* says;
    } cases[] = {
        {dir.file("absent.h5"), "absent.h5"},
        {dir.file("text.h5"), "not an HDF5 file"},
    };
    for (const auto& c : cases) {
        try {
            ListFileReader reader(c.path);
            ADD_FAILURE() << c.path << " was read";
        } catch (const ListFileError& error) {
            EXPECT_NE(std::string(error.what()).find(c.says), std::string::npos) << error.what();
            EXPECT_NE(std::string(error.what()).find(c.path), std::string::npos) << error.what();
        }
    }
}

} // namespace
} // namespace tarvio
