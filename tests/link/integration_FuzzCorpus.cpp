// Replays the fuzzer's seed corpus, and mutations of it, through the same harness, so the
// normal build (and its sanitizer run) exercises every seed.
#include "LinkFuzzTarget.h"

#include "support/FuzzCorpus.h"

#include <gtest/gtest.h>

#include <random>

namespace tarvio {
namespace {

TEST(LinkFuzzCorpus, everySeed_runsWithinTheLinkInvariants) {
    const auto corpus = test::loadCorpus(TARVIO_FUZZ_CORPUS);
    ASSERT_GE(corpus.size(), 20u);
    for (const auto& input : corpus) {
        fuzz::RunLinkInput(input.data(), input.size());
    }
}

TEST(LinkFuzzCorpus, mutatedSeeds_runWithinTheLinkInvariants) {
    const auto corpus = test::loadCorpus(TARVIO_FUZZ_CORPUS);
    std::mt19937 random(20261208);
    for (int round = 0; round < 400; ++round) {
        auto input = corpus[random() % corpus.size()];
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits && !input.empty(); ++e) {
            const std::size_t at = random() % input.size();
            switch (random() % 3) {
            case 0:
                input[at] = static_cast<std::uint8_t>(random());
                break;
            case 1:
                input.erase(input.begin() + static_cast<std::ptrdiff_t>(at));
                break;
            default:
                input.insert(input.begin() + static_cast<std::ptrdiff_t>(at),
                             static_cast<std::uint8_t>(random()));
                break;
            }
        }
        fuzz::RunLinkInput(input.data(), input.size());
    }
}

} // namespace
} // namespace tarvio
