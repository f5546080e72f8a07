// libFuzzer entry: arbitrary device bytes into the link layer.
#include "LinkFuzzTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tarvio::fuzz::RunLinkInput(data, size);
    return 0;
}
