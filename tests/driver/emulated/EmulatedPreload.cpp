// A shared library that puts an emulated FTDI chip, with the simulated interface behind it,
// under any program linked against libusb: LD_PRELOAD it and libusb's functions (the
// program's own calls and libftdi1's) reach the chip instead of the system's USB. Everything
// else in the library is kept to itself (see EmulatedPreload.map), so a program that links
// the same static libraries keeps its own copies.
//
// TARVIO_EMULATED_USB chooses the chip, as words separated by blanks or commas:
//   full | high          the chip's speed (default: full)
//   access               this user may not open it
//   stall                the bulk endpoint towards the host stalls for good at the 20th
//                        monitor reading the host asks for ('M')
//   purge                from the 100th monitor reading on, each flush also eats what the
//                        board sends for the next 200 ms
//   unplug               unplugged as the host starts a measurement ('l')

#include "emulated/EmulatedUsb.h"
#include "emulated/SimulatedFarSide.h"
#include "sim/SimulatedInterface.h"

#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>

namespace tarvio::test {
namespace {

constexpr std::uint8_t MonitorCommand = 'M';
constexpr std::uint8_t StartCommand = 'l';

struct PreloadedChip {
    PreloadedChip() {
        const char* env = std::getenv("TARVIO_EMULATED_USB");
        std::string words = env ? env : "";
        for (char& c : words)
            if (c == ',')
                c = ' ';
        bool high = false;
        bool access = false;
        bool stall = false;
        bool purge = false;
        bool unplug = false;
        std::istringstream in(words);
        for (std::string word; in >> word;) {
            high = high || word == "high";
            access = access || word == "access";
            stall = stall || word == "stall";
            purge = purge || word == "purge";
            unplug = unplug || word == "unplug";
        }
        ChipConfig chip = chipAt(high ? UsbSpeed::High : UsbSpeed::Full);
        chip.serial = "FT7A3K21";
        // The wire of the chip's speed: the board sends no faster than it carries.
        chip.wireBytesPerSecond = high ? 8.0e6 : 1.0e6;
        SimulatorConfig board;
        board.serialNumber = "EMU0001";
        board.wireRate = chip.wireBytesPerSecond;
        auto sim = std::make_shared<SimulatedInterface>(board);
        chip.product = sim->description();
        auto plugged = EmulatedBus::instance().plug(chip, std::make_shared<SimulatedFarSide>(sim));
        plugged->denyAccess(access);
        if (stall)
            plugged->armFault(ChipFault::StallForGood, MonitorCommand, 20);
        if (purge)
            plugged->armFault(ChipFault::DropAfterFlush, MonitorCommand, 100);
        if (unplug)
            plugged->armFault(ChipFault::Unplug, StartCommand, 1);
    }
};

const PreloadedChip preloaded;

} // namespace
} // namespace tarvio::test
