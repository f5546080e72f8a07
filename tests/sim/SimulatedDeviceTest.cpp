// The simulated interface through the driver operations: read and queue semantics on the
// time seam, wire pacing, fast mode, purge, sessions and unplugging.

#include "driver/Backend.h"
#include "driver/Driver.h"
#include "driver/TimeSource.h"
#include "sim/SimulatedBackend.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tarvio {
namespace {

class SimulatedDevice : public ::testing::Test {
protected:
    void SetUp() override { removeAllBackends(); }
    void TearDown() override {
        if (handle) {
            DriverClose(handle);
        }
        removeAllBackends();
    }

    void open(const SimulatorConfig& config) {
        backend = SimulatedBackend::install(config);
        std::uint32_t count = 0;
        ASSERT_EQ(DriverCreateDeviceInfoList(&count), DRV_OK);
        ASSERT_EQ(count, 1u);
        char description[DriverTextSize] = {};
        ASSERT_EQ(DriverGetDeviceInfoDetail(0, description), DRV_OK);
        ASSERT_EQ(DriverOpenByDescription(description, &handle), DRV_OK);
        ASSERT_EQ(DriverSetTimeouts(handle, 1000, 1000), DRV_OK);
    }

    void write(const std::string& bytes) {
        std::uint32_t written = 0;
        ASSERT_EQ(DriverWrite(handle, bytes.data(), std::uint32_t(bytes.size()), &written), DRV_OK);
        ASSERT_EQ(written, bytes.size());
    }

    std::uint32_t queued() {
        std::uint32_t rx = 0, tx = 0, events = 0;
        EXPECT_EQ(DriverGetStatus(handle, &rx, &tx, &events), DRV_OK);
        return rx;
    }

    std::string read(std::uint32_t count) {
        std::string buffer(count, '\0');
        std::uint32_t got = 0;
        EXPECT_EQ(DriverRead(handle, buffer.data(), count, &got), DRV_OK);
        buffer.resize(got);
        return buffer;
    }

    ManualTimeSource clock{1000.0};
    ScopedTimeSource timeScope{clock};
    std::shared_ptr<SimulatedBackend> backend;
    DriverHandle handle = 0;
};

const std::string SyncAnswer = " 1234567890qwertyuiopasdfghjklzxcvbnmOK\r";

TEST_F(SimulatedDevice, readOfMissingBytes_returnsFewerWhenTheReadTimeoutRunsOut) {
    open({});
    const double start = clock.now();
    EXPECT_EQ(read(10), "");
    EXPECT_NEAR(clock.now() - start, 1.0, 0.02);
    write("b\x01");
    EXPECT_EQ(read(10), "bOK\r");
    EXPECT_NEAR(clock.now() - start, 2.0, 0.03);
}

TEST_F(SimulatedDevice, answer_reachesTheQueueAtTheWireRate) {
    open({}); // 1 MB/s
    write(" ");
    EXPECT_EQ(queued(), 0u); // written this instant: nothing has crossed the wire yet
    clock.advance(20e-6);
    EXPECT_EQ(queued(), 20u);
    const double start = clock.now();
    EXPECT_EQ(read(40), SyncAnswer); // waits for the rest
    EXPECT_NEAR(clock.now() - start, 20e-6, 2e-6);
}

TEST_F(SimulatedDevice, fastMode_answersAtOnce) {
    SimulatorConfig c;
    c.fastMode = true;
    open(c);
    write(" ");
    EXPECT_EQ(queued(), 40u);
    EXPECT_EQ(read(40), SyncAnswer);
    EXPECT_EQ(queued(), 0u);
}

TEST_F(SimulatedDevice, resetLine_followsAfterTheRestart) {
    SimulatorConfig c;
    c.resetRetries = 1;
    open(c);
    write("_");
    EXPECT_EQ(read(4), "_OK\r");
    const std::string line = "!Unit is on line. !Unit is on line. Medipix chips: 1 Ready\r";
    EXPECT_EQ(read(std::uint32_t(line.size())), line);
}

TEST_F(SimulatedDevice, purge_dropsWhatIsQueuedAndAHalfCommand) {
    SimulatorConfig c;
    c.fastMode = true;
    open(c);
    write(" >\x00");
    ASSERT_EQ(queued(), 40u);
    ASSERT_EQ(DriverPurge(handle, DRV_PURGE_RX | DRV_PURGE_TX), DRV_OK);
    EXPECT_EQ(queued(), 0u);
    write("b\x05"); // not taken as the rest of the ">" command
    EXPECT_EQ(read(4), "bOK\r");
    EXPECT_EQ(backend->interface()->state().biasCode, 5);
}

TEST_F(SimulatedDevice, deviceInfo_andOneOpenAtATime) {
    open({});
    std::uint32_t type = 0, id = 0;
    char serial[DriverTextSize] = {}, description[DriverTextSize] = {};
    ASSERT_EQ(DriverGetDeviceInfo(handle, &type, &id, serial, description), DRV_OK);
    EXPECT_EQ(id, 0x04036001u);
    EXPECT_STREQ(serial, "SIM0001");
    EXPECT_STREQ(description, "Medipix2 ver 2.0 simulated: SIM0001");
    DriverHandle second = 0;
    EXPECT_NE(DriverOpenByDescription(description, &second), DRV_OK);
    ASSERT_EQ(DriverClose(handle), DRV_OK);
    handle = 0;
    ASSERT_EQ(DriverOpenByDescription(description, &handle), DRV_OK);
}

TEST_F(SimulatedDevice, unplugged_everyOperationFails) {
    open({});
    backend->interface()->unplug();
    std::uint32_t n = 0;
    std::uint8_t b[4] = {' '};
    EXPECT_NE(DriverGetStatus(handle, &n, nullptr, nullptr), DRV_OK);
    EXPECT_NE(DriverRead(handle, b, 4, &n), DRV_OK);
    EXPECT_EQ(n, 0u);
    EXPECT_NE(DriverWrite(handle, b, 1, &n), DRV_OK);
    EXPECT_NE(DriverPurge(handle, DRV_PURGE_RX), DRV_OK);
    EXPECT_NE(DriverSetTimeouts(handle, 1000, 1000), DRV_OK);
    EXPECT_NE(DriverGetDeviceInfo(handle, nullptr, nullptr, nullptr, nullptr), DRV_OK);
    std::uint32_t count = 9;
    ASSERT_EQ(DriverCreateDeviceInfoList(&count), DRV_OK);
    EXPECT_EQ(count, 0u);
}

TEST_F(SimulatedDevice, hostThatStopsReading_backlogStaysBoundedAndReadingResumes) {
    SimulatorConfig c;
    c.activity = 1.0e6;
    open(c);
    write(std::string("b\x01Q\x0cl", 5));
    read(12);              // the three answers
    clock.advance(3600.0); // an hour without reading
    const std::uint32_t backlog = queued();
    EXPECT_GT(backlog, 100000u);
    EXPECT_LE(backlog, SimulatedInterface::ReceiveBufferBytes + 20000);
    // Reading goes on where the backlog starts: at the beginning of a pulse's message.
    const std::string first = read(1);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_NE(std::string("$[\"").find(first[0]), std::string::npos);
}

TEST_F(SimulatedDevice, sameSeed_sameByteStream) {
    SimulatorConfig c;
    c.fastMode = true;
    c.seed = 1234;
    auto capture = [&] {
        SimulatedInterface sim(c);
        std::uint64_t session = 0;
        EXPECT_EQ(sim.open(session), DRV_OK);
        std::uint32_t n = 0;
        const std::string arm = std::string("b\x01Q\x0cl", 5);
        sim.write(session, reinterpret_cast<const std::uint8_t*>(arm.data()), 5, n);
        std::vector<std::uint8_t> bytes(50000);
        sim.read(session, bytes.data(), std::uint32_t(bytes.size()), n);
        EXPECT_EQ(n, bytes.size());
        return bytes;
    };
    const auto first = capture();
    EXPECT_EQ(first, capture());
    c.seed = 1235;
    EXPECT_NE(first, capture());
}

TEST_F(SimulatedDevice, defaultPulses_sameBytesAsBeforeImperfectionsCame) {
    // FNV-1a of the first bytes a default interface sends in fast mode, from before noise,
    // wander and pile-up became settable: the defaults must leave every byte as it was.
    SimulatorConfig c;
    c.fastMode = true;
    SimulatedInterface sim(c);
    std::uint64_t session = 0;
    ASSERT_EQ(sim.open(session), DRV_OK);
    std::uint32_t n = 0;
    const std::string arm = std::string("b\x01Q\x0cl", 5);
    sim.write(session, reinterpret_cast<const std::uint8_t*>(arm.data()), 5, n);
    std::vector<std::uint8_t> bytes(200000);
    sim.read(session, bytes.data(), std::uint32_t(bytes.size()), n);
    ASSERT_EQ(n, bytes.size());
    std::uint64_t hash = 1469598103934665603ULL;
    for (std::uint8_t b : bytes) {
        hash = (hash ^ b) * 1099511628211ULL;
    }
    // Taken once the source's line weights included the sensor's efficiency.
    EXPECT_EQ(hash, 11561751282843479378ULL);
}

TEST_F(SimulatedDevice, recordedTruth_onePerPulseSentAndMatchingTheHostsHeight) {
    SimulatorConfig c;
    c.fastMode = true;
    c.pileUp = true;
    c.activity = 200000.0; // about half the records carry a second photon
    SimulatedInterface sim(c);
    sim.recordTruth(true);
    std::uint64_t session = 0;
    ASSERT_EQ(sim.open(session), DRV_OK);
    std::uint32_t n = 0;
    const std::string arm = std::string("b\x01Q\x0cl", 5);
    sim.write(session, reinterpret_cast<const std::uint8_t*>(arm.data()), 5, n);
    std::vector<std::uint8_t> bytes(300000);
    sim.read(session, bytes.data(), std::uint32_t(bytes.size()), n);
    const std::vector<PulseTruth> truth = sim.takeTruth();
    ASSERT_GE(truth.size(), sim.stats().pulsesDelivered);
    ASSERT_GT(truth.size(), 100u);
    EXPECT_TRUE(sim.takeTruth().empty());
    int piledUp = 0;
    for (std::size_t i = 0; i < truth.size(); ++i) {
        EXPECT_EQ(truth[i].sequence, i);
        EXPECT_EQ(truth[i].baseline, 100.0);
        piledUp += truth[i].pileUp;
    }
    EXPECT_NEAR(piledUp, 0.45 * truth.size(), 0.1 * truth.size());
    // The last pulse sent: without a second photon its largest sample is the baseline plus
    // about the true amplitude.
    const PulseTruth& last = truth.back();
    if (!last.pileUp) {
        const std::vector<std::uint16_t> samples = sim.lastPulse();
        const double largest = *std::max_element(samples.begin(), samples.end());
        EXPECT_NEAR(largest, 100.0 + last.amplitude, 8.0);
    }
}

} // namespace
} // namespace tarvio
