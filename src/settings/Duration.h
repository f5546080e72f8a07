#pragma once
// Lengths of time as people read and type them: h:mm:ss on the status bar, and in the presets
// dialog either plain seconds or h:mm:ss (m:ss and fractions of a second allowed).

#include <optional>
#include <string>
#include <string_view>

namespace tarvio {

// Whole seconds as hh:mm:ss, truncated; hours keep counting past 99 (123:04:05). Negative
// or not finite counts as 0.
std::string formatClock(double seconds);
// The same of a measured time rounded to the millisecond first, as the files keep it: a
// 30 s preset that ended at 29.9999996 s reads 00:00:30, as the file says 30.000.
std::string formatElapsed(double seconds);

// "90", "1.5" (the locale's separator or a point), "1:30", "2:00:00", "1:02:03.5". Minutes
// and seconds after a colon stay below 60. Blanks around are allowed; nothing else.
std::optional<double> tryParseDuration(std::string_view text);

// What the presets dialog shows: h:mm:ss for whole seconds from a minute on, else seconds in
// the general number format.
std::string formatDuration(double seconds);

} // namespace tarvio
