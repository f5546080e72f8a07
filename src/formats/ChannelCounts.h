#pragma once
// The counts of a text table, row by row, with the checks every table reader needs: whole
// counts, rising channel numbers, a bounded number of channels. Each complaint names the line.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tarvio {

class ChannelCounts {
public:
    // The count of the channel after the previous one.
    void append(std::size_t line, std::string_view countText);
    // The count of the channel the row names; channels skipped are empty.
    void put(std::size_t line, std::string_view channelText, std::string_view countText);

    std::size_t size() const { return counts_.size(); }
    // The counts read; throws ParseError at lastLine when there are none.
    std::vector<std::uint64_t> take(std::size_t lastLine);

private:
    void store(std::size_t line, std::size_t channel, std::string_view countText);
    std::vector<std::uint64_t> counts_;
};

} // namespace tarvio
