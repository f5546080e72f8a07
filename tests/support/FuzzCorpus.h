#pragma once
// A fuzzer's seed corpus as the normal tests replay it: every file of a folder, as bytes.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tarvio::test {

inline std::vector<std::vector<std::uint8_t>> loadCorpus(const std::string& folder) {
    std::vector<std::vector<std::uint8_t>> inputs;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream file(entry.path(), std::ios::binary);
        inputs.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    return inputs;
}

} // namespace tarvio::test
