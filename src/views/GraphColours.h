#pragma once
// The colours both graphs draw with.

#include "views/Canvas.h"

namespace tarvio::graph_colours {

inline constexpr Rgb Background{0, 0, 0};
inline constexpr Rgb Grid{64, 64, 64}; // grid and axes
// Axis labels: 5.3 : 1 against the black background, readable where the grid may stay dim.
inline constexpr Rgb LabelText{128, 128, 128};
inline constexpr Rgb Green{0, 255, 0};        // threshold line, spectrum bars
inline constexpr Rgb Red{255, 0, 0};          // waveform, cursor
inline constexpr Rgb Reference{80, 160, 255}; // a spectrum opened for comparison
inline constexpr Rgb Fitted{255, 255, 0};     // the fitted template over the waveform

} // namespace tarvio::graph_colours
