#pragma once
// Feeds arbitrary text to the spectrum file readers. Shared by the libFuzzer target and the
// corpus replay test.
//
// Input layout: byte 0 chooses the reader (N42, SPE, CSV, tab-separated text, by its value
// modulo 4); everything after is the file.

#include <cstddef>
#include <cstdint>

namespace tarvio::fuzz {

// Runs one input; aborts when a reader breaks one of its promises: an error that names the
// file, a bounded number of channels, and a spectrum that every writer writes and every
// reader reads back with the same counts.
void RunFormatsInput(const std::uint8_t* data, std::size_t size);

} // namespace tarvio::fuzz
