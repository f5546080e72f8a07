// Replays the formats fuzzer's seed corpus, and mutations of it, through the same harness,
// so the normal build (and its sanitizer run) exercises every reader on odd input.
#include "FormatsFuzzTarget.h"

#include "support/FuzzCorpus.h"

#include <gtest/gtest.h>

#include <random>

namespace tarvio {
namespace {

TEST(FormatsFuzzCorpus, everySeedAndItsMutations_keepTheReadersPromises) {
    const auto corpus = test::loadCorpus(TARVIO_FORMATS_CORPUS);
    ASSERT_GE(corpus.size(), 10u);
    for (const auto& input : corpus)
        fuzz::RunFormatsInput(input.data(), input.size());

    // Mutations favour the bytes that steer a reader: digits, separators, '$', '<', '#'.
    static const char steering[] = "0123456789 \t\r\n,;.-+eE$<>/#:\"";
    std::mt19937 random(20261213);
    for (int round = 0; round < 600; ++round) {
        auto input = corpus[random() % corpus.size()];
        const int edits = 1 + static_cast<int>(random() % 6);
        for (int e = 0; e < edits && input.size() > 1; ++e) {
            const std::size_t at = 1 + random() % (input.size() - 1);
            const auto byte = static_cast<std::uint8_t>(
                random() % 2 ? steering[random() % (sizeof steering - 1)] : random());
            switch (random() % 3) {
            case 0:
                input[at] = byte;
                break;
            case 1:
                input.erase(input.begin() + static_cast<std::ptrdiff_t>(at));
                break;
            default:
                input.insert(input.begin() + static_cast<std::ptrdiff_t>(at), byte);
                break;
            }
        }
        fuzz::RunFormatsInput(input.data(), input.size());
    }
}

} // namespace
} // namespace tarvio
