// Frame stream decoding plus pseudo-code conversion, production against the bit-by-bit
// reference, for 1 and 4 chips of both kinds. Throughput is bytes of stream per second.

#include "encodings/Encodings.h"
#include "encodings/ReferenceDecoder.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

using namespace tarvio;

struct Frame {
    std::vector<std::uint8_t> stream;
    std::vector<std::uint16_t> pixels;
};

Frame makeFrame(bool large, std::size_t chips) {
    Frame f;
    f.stream.resize(FrameStreamSize(large, chips));
    std::mt19937 rng(static_cast<unsigned>(chips * 2 + large));
    for (auto& b : f.stream) {
        b = static_cast<std::uint8_t>(rng());
    }
    f.pixels.resize(chips * PixelsPerChip);
    return f;
}

template <bool Reference> void decodeAndConvert(benchmark::State& state) {
    const bool large = state.range(0) != 0;
    const auto chips = static_cast<std::size_t>(state.range(1));
    Frame f = makeFrame(large, chips);
    for (auto _ : state) {
        bool ok = Reference ? reference::deserialize(large, f.stream.data(), f.stream.size(),
                                                     f.pixels.data(), f.pixels.size())
                            : DeserializeFrameStream(large, f.stream.data(), f.stream.size(),
                                                     f.pixels.data(), f.pixels.size());
        ok = ConvertPseudoCodes(large, f.pixels.data(), f.pixels.size(), 1) && ok;
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(f.pixels.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.stream.size()));
}

void BM_DecodeConvert(benchmark::State& state) {
    decodeAndConvert<false>(state);
}
void BM_DecodeConvertReference(benchmark::State& state) {
    decodeAndConvert<true>(state);
}

// Arguments: {largeCounters, chips}.
BENCHMARK(BM_DecodeConvert)->ArgsProduct({{0, 1}, {1, 4}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeConvertReference)->ArgsProduct({{0, 1}, {1, 4}})->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
