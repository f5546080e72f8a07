#include "formats/ChannelCounts.h"

#include "formats/FormatText.h"
#include "formats/MeasuredSpectrum.h"

#include <string>
#include <utility>

namespace tarvio {

void ChannelCounts::append(std::size_t line, std::string_view countText) {
    store(line, counts_.size(), countText);
}

void ChannelCounts::put(std::size_t line, std::string_view channelText,
                        std::string_view countText) {
    channelText = trim(channelText);
    const auto channel = parseCount(channelText);
    if (!channel)
        failAtLine(line, quoted(channelText) + " is not a channel number");
    if (*channel < counts_.size())
        failAtLine(line, "channel " + std::to_string(*channel) + " comes after channel " +
                             std::to_string(counts_.size() - 1));
    if (*channel >= MaxFileChannels)
        failAtLine(line, "channel " + std::to_string(*channel) + " is beyond the " +
                             std::to_string(MaxFileChannels) + " channels a file may hold");
    store(line, static_cast<std::size_t>(*channel), countText);
}

void ChannelCounts::store(std::size_t line, std::size_t channel, std::string_view countText) {
    countText = trim(countText);
    const auto count = parseCount(countText);
    if (!count)
        failAtLine(line, quoted(countText) + " is not a whole count of zero or more");
    if (channel >= MaxFileChannels)
        failAtLine(line, "more than " + std::to_string(MaxFileChannels) + " channels");
    counts_.resize(channel, 0);
    counts_.push_back(*count);
}

std::vector<std::uint64_t> ChannelCounts::take(std::size_t lastLine) {
    if (counts_.empty())
        failAtLine(lastLine, "no counts");
    return std::move(counts_);
}

} // namespace tarvio
