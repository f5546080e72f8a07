#pragma once
// The continuum under the peaks by SNIP clipping (statistics-sensitive non-linear iterative
// peak clipping: C. G. Ryan et al., Nucl. Instrum. Methods B 34 (1988) 396, with the
// decreasing clipping window of M. Morhac et al., Nucl. Instrum. Methods A 401 (1997) 113).
//
// The counts are first compressed with the log-log-square-root transform so that the clipping
// treats small and large counts alike; then, for a window p from the widest down to 1, every
// channel is replaced by the mean of its neighbours p channels away when that is lower. Each
// channel clips only with windows up to its own half-width, so the window can follow the
// peak width across the spectrum. A peak narrower than its window is clipped away; the
// smooth continuum stays.

#include <cstddef>
#include <span>
#include <vector>

namespace tarvio {

// `halfWidths[i]`: the widest clipping window of channel i, in channels (about the peak's
// FWHM there). Returns the background in counts per channel, never above the counts.
std::vector<double> snipBackground(std::span<const double> counts, std::span<const int> halfWidths);

} // namespace tarvio
