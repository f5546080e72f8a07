#pragma once
// Feeds arbitrary device bytes through the scripted pipe into the link layer's reception and
// command execution. Shared by the libFuzzer target and the corpus replay test.
//
// Input layout: byte 0 chooses what the host does (0: receive messages; otherwise one of a few
// commands), byte 1 the interface's chip count, byte 2 flags (bit 0: large counters, bit 1:
// the device answers synchronisation, bit 2: the bytes arrive spread out in time), byte 3 the
// attempts (1 to 3). Everything after is what the device sends.

#include <cstddef>
#include <cstdint>

namespace tarvio::fuzz {

constexpr std::size_t HeaderSize = 4;

// Runs one input; aborts when the link layer breaks one of its own invariants.
void RunLinkInput(const std::uint8_t* data, std::size_t size);

} // namespace tarvio::fuzz
