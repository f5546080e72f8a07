#pragma once
// The simulated interface as the board behind an emulated FTDI chip (header only; the binary
// links tarvio_sim). Its session stays open while the chip is powered: the host opening and
// closing the chip does not reach the board, unplugging does.

#include "emulated/EmulatedUsb.h"
#include "sim/SimulatedInterface.h"

#include <algorithm>
#include <atomic>
#include <memory>

namespace tarvio::test {

class SimulatedFarSide final : public FarSide {
public:
    explicit SimulatedFarSide(std::shared_ptr<SimulatedInterface> sim) : sim_(std::move(sim)) {
        connect();
    }

    void fromHost(const std::uint8_t* bytes, std::size_t count) override {
        std::uint32_t written = 0;
        sim_->write(session_, bytes, static_cast<std::uint32_t>(count), written);
    }

    std::size_t toHost(std::uint8_t* buffer, std::size_t room) override {
        std::uint32_t queued = 0;
        if (sim_->queueStatus(session_, queued) != DRV_OK || queued == 0) {
            return 0;
        }
        std::uint32_t got = 0;
        const auto count = static_cast<std::uint32_t>(std::min<std::size_t>(queued, room));
        sim_->read(session_, buffer, count, got); // never waits: the bytes are there
        return got;
    }

    void powerDown() override { sim_->unplug(); }
    void powerUp() override {
        sim_->replug();
        connect();
    }

private:
    void connect() {
        std::uint64_t session = 0;
        sim_->open(session);
        session_ = session;
    }

    std::shared_ptr<SimulatedInterface> sim_;
    std::atomic<std::uint64_t> session_{0};
};

} // namespace tarvio::test
