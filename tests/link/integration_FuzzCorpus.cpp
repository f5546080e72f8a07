// Replays the fuzzer's seed corpus, and mutations of it, through the same harness, so the
// normal build (and its sanitizer run) exercises every seed.
#include "LinkFuzzTarget.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

namespace tarvio {
namespace {

std::vector<std::vector<std::uint8_t>> loadCorpus() {
    std::vector<std::vector<std::uint8_t>> inputs;
    for (const auto& entry : std::filesystem::directory_iterator(TARVIO_FUZZ_CORPUS)) {
        std::ifstream file(entry.path(), std::ios::binary);
        inputs.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    return inputs;
}

TEST(LinkFuzzCorpus, everySeed_runsWithinTheLinkInvariants) {
    const auto corpus = loadCorpus();
    ASSERT_GE(corpus.size(), 20u);
    for (const auto& input : corpus) {
        fuzz::RunLinkInput(input.data(), input.size());
    }
}

TEST(LinkFuzzCorpus, mutatedSeeds_runWithinTheLinkInvariants) {
    const auto corpus = loadCorpus();
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
