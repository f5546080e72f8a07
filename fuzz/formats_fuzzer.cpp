// libFuzzer entry: arbitrary text into the spectrum file readers.
#include "FormatsFuzzTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tarvio::fuzz::RunFormatsInput(data, size);
    return 0;
}
