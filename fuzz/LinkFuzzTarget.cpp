#include "LinkFuzzTarget.h"

#include "driver/ScriptedPipe.h"
#include "driver/TimeSource.h"
#include "link/DeviceDescr.h"
#include "link/Interfaces.h"
#include "link/Locks.h"
#include "link/Protocol.h"
#include "link/Report.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace tarvio::fuzz {

namespace {

constexpr const char* Description = "Medipix2 ver 1: FZ01";

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "link invariant broken: %s\n", what);
        std::abort();
    }
}

void quietReport(DeviceLink& link, std::int32_t) {
    check(std::strlen(link.text) <= 255, "report text within 255 characters");
}

// Reads every byte a message claims to hold, so a sanitizer sees any pointer that is off.
void touchMessage(DeviceLink& link, QrxCommandResponse& m, std::int32_t) {
    volatile std::uint8_t sink = 0;
    check(m.count >= 0 && static_cast<std::size_t>(m.count) <= RxBufferSize, "body count");
    if (m.data) {
        for (std::int32_t i = 0; i < m.count; ++i) {
            sink = sink + m.data[i];
        }
    }
    if (m.errorText) {
        sink = sink + static_cast<std::uint8_t>(std::strlen(m.errorText));
    }
    if (m.messageText) {
        sink = sink + static_cast<std::uint8_t>(std::strlen(m.messageText));
    }
    check(link.device != nullptr, "message on a link with an interface");
}

struct Harness {
    ManualTimeSource clock{1.0e6};
    std::shared_ptr<ScriptedPipe> pipe;
    std::shared_ptr<ScriptedDevice> device;

    Harness() {
        setTimeSource(&clock);
        pipe = ScriptedPipe::install();
        device = pipe->addDevice(Description, "FZ01");
        SetErrorBoxSink([](const char*, const char*) {});
        SetReportHook(&quietReport, 0);
        SetMessageHook(&touchMessage, 0);
    }
};

Harness& harness() {
    static Harness h;
    return h;
}

// Commands the host may send: one of each response shape.
constexpr const char* Commands[] = {"_", "i", "|", "M", "m", "a", "#", "z", "d"};

} // namespace

void RunLinkInput(const std::uint8_t* data, std::size_t size) {
    if (size < HeaderSize) {
        return;
    }
    Harness& h = harness();
    // The clock is the harness's for the run, even after a test put another in place.
    setTimeSource(&h.clock);
    const std::uint8_t mode = data[0];
    const std::uint8_t chips = data[1];
    const std::uint8_t flags = data[2];
    const std::uint32_t attempts = 1 + data[3] % 3;
    const std::string bytes(reinterpret_cast<const char*>(data + HeaderSize), size - HeaderSize);

    DeviceDescr* descr = OpenInterface(Description, false, flags & 1);
    check(descr != nullptr, "scripted interface opens");
    descr->chipCount = chips;
    DeviceLink link(descr);

    h.device->clearReplies();
    h.device->clearWritten();
    if (flags & 2) {
        h.device->answerSynchronisation();
    }
    if (flags & 4) {
        // Spread the bytes out: one chunk every 0.3 s, so reads meet their timeouts midway.
        double at = h.clock.now();
        for (std::size_t i = 0; i < bytes.size(); i += 64) {
            h.device->queueAt(at, bytes.substr(i, 64));
            at += 0.3;
        }
    } else {
        h.device->queue(bytes);
    }

    const int before = LinkLock().RecursionCount();
    if (mode % (std::size(Commands) + 1) == 0) {
        QrxCommandResponse record(false);
        for (int i = 0; i < 32 && (ReceiveMessage(link, record) || h.device->pending() > 0); ++i) {
            check(record.count >= 0 && static_cast<std::size_t>(record.count) <= RxBufferSize,
                  "record count");
        }
    } else {
        const char* command = Commands[mode % (std::size(Commands) + 1) - 1];
        QrxCommandResponse record(descr->frameBuffer, FrameBufferSize, true);
        std::uint8_t buffer[40] = {};
        buffer[0] = static_cast<std::uint8_t>(command[0]);
        const std::uint32_t length = command[0] == 'd' ? 34 : 1;
        ExecuteCommand(link, record, buffer, length, -1, attempts);
        check(record.count >= 0 && static_cast<std::size_t>(record.count) <= RxBufferSize,
              "record count");
    }
    check(LinkLock().RecursionCount() == before, "link lock released");
    check(link.depth == 0, "nesting depth back to zero");
    check(descr->rxCount >= 0 && static_cast<std::size_t>(descr->rxCount) <= RxBufferSize,
          "interface body count");

    CloseInterface(link, true);
    check(RegisteredCount() == 0, "interface closed");
    // Whatever the device still had to say is dropped with the interface.
    h.device->clearIncoming();
}

} // namespace tarvio::fuzz
