#pragma once
// The link layer against the simulated interface on a manual clock: the simulator is the only
// installed backend, opened through the normal listing and open path.

#include "driver/Backend.h"
#include "driver/TimeSource.h"
#include "link/DeviceDescr.h"
#include "link/Interfaces.h"
#include "link/LinkFixture.h"
#include "link/Protocol.h"
#include "sim/PulseShape.h"
#include "sim/SimulatedBackend.h"
#include "spectrometer/InterfaceReset.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tarvio::test {

// What the message hook has seen.
struct HookLog {
    std::uint64_t pulses = 0;
    std::uint64_t groupItems = 0;
    std::uint64_t texts = 0;
    std::uint64_t errorLines = 0;
    std::vector<std::uint64_t> histogram = std::vector<std::uint64_t>(4096, 0);
    std::vector<std::int32_t> pulseWords;
};

inline HookLog& hookLog() {
    static HookLog log;
    return log;
}

// Counts scope data the way the host does: largest sample code of the stored words.
inline void recordMessage(DeviceLink&, QrxCommandResponse& message, std::int32_t) {
    HookLog& log = hookLog();
    if (message.background) {
        ++log.groupItems;
    }
    if (message.code == 0) {
        message.messageText ? ++log.texts : ++log.errorLines;
        return;
    }
    if (message.code != '$' || message.count < 2) {
        return;
    }
    const std::size_t words =
        static_cast<std::uint16_t>(message.data[0] | (message.data[1] << 8)) + 1u;
    std::vector<std::uint16_t> w(words);
    for (std::size_t k = 0; k < words && 2 + 2 * k + 1 < std::size_t(message.count); ++k) {
        w[k] = static_cast<std::uint16_t>((message.data[2 + 2 * k] << 8) | message.data[3 + 2 * k]);
    }
    ++log.pulses;
    ++log.histogram[pulse::hostPulseHeight(w.data(), w.size())];
    log.pulseWords.push_back(static_cast<std::int32_t>(words));
}

class SimLinkFixture : public ::testing::Test {
protected:
    void TearDown() override {
        closeAll();
        SetMessageHook(nullptr, 0);
        removeAllBackends();
    }

    // Installs the simulator with `config` and opens it (with reset and chip detection when
    // `detect` is set).
    void open(SimulatorConfig config, bool detect = true) {
        closeAll();
        removeAllBackends();
        backend = SimulatedBackend::install(config);
        sim = backend->interface();
        InstallChipDetection();
        char names[1024] = {};
        ASSERT_EQ(ListInterfaces(Medipix2Any, names, sizeof names), 1);
        description = names;
        descr = OpenInterface(names, detect, false);
        ASSERT_NE(descr, nullptr);
        link.Attach(descr);
        recorder.reports().clear();
        recorder.hookReports();
        hookLog() = HookLog();
        SetMessageHook(&recordMessage, 0);
    }

    void closeAll() {
        while (RegisteredCount() > 0) {
            DeviceLink closer(RegisteredInterface(0));
            CloseInterface(closer, true);
        }
        descr = nullptr;
    }

    // The monitoring thread's job: receive whatever comes until `seconds` have passed,
    // sleeping 50 ms whenever nothing is queued.
    void receiveFor(double seconds) {
        const double end = clock.now() + seconds;
        QrxCommandResponse record(false);
        while (clock.now() < end) {
            if (!ReceiveMessage(link, record)) {
                clock.sleepFor(0.05);
            } else if (record.code != 0) {
                recordMessage(link, record, 0);
            }
        }
    }

    // Texts of the reports at error level.
    std::vector<std::string> errors() const { return recorder.errors(); }

    ManualTimeSource clock{1000.0};
    ScopedTimeSource timeScope{clock};
    ReportRecorder recorder;
    std::shared_ptr<SimulatedBackend> backend;
    std::shared_ptr<SimulatedInterface> sim;
    std::string description;
    DeviceDescr* descr = nullptr;
    DeviceLink link;
};

} // namespace tarvio::test
