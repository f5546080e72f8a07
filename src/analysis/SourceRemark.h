#pragma once
// A spectrum file's note of the source in front of the detector and its activity, as a free
// remark every format keeps: "Source: Am-241, 17452.2 Bq". The simulator writes it with the
// activity that gave the counts, so that an activity found from the file can be checked; a
// user may write it for a certified source. Without a date the activity holds at the start
// of the measurement; "Source: Cs-137, 3.7e4 Bq at 2024-01-01T00:00:00Z" gives one.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvio {

struct SourceNote {
    std::string nuclide;
    double activityBq = 0.0;
    std::optional<std::int64_t> referenceUtcMs; // none: the start of the measurement
};

std::string sourceRemark(const std::string& nuclide, double activityBq);
std::optional<SourceNote> parseSourceRemark(const std::string& remark);
// The first such remark among a file's.
std::optional<SourceNote> findSourceRemark(const std::vector<std::string>& remarks);

// "NUCLIDE:BQ" or "NUCLIDE:BQ@DATE" as typed on a command line.
std::optional<SourceNote> parseSourceArgument(const std::string& text);

} // namespace tarvio
