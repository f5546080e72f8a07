#pragma once
// Round tick values for the readable look of the graphs' axes: steps of 1, 2 or 5 times a
// power of ten, labels that name them with just the decimals the step needs, and the margin
// pieces (labels beside an axis, a title under it) measured on the canvas.

#include "views/Canvas.h"

#include <string>
#include <vector>

namespace tarvio {

// The smallest 1-2-5 step that splits span into at most maxTicks parts, never below
// minimumStep (1 for whole counts and channels; 0 for none). A span of nothing gives
// minimumStep, or 1.
double roundStep(double span, int maxTicks, double minimumStep = 0.0);
// The next larger 1-2-5 step: 1 → 2 → 5 → 10.
double nextRoundStep(double step);

// The multiples of step from low to high, both included (low may lie above high: none).
std::vector<double> roundTicks(double low, double high, double step);

// Decimals that tell the multiples of step apart: 0 for whole steps, 1 for 0.5 or 0.2 ...
int decimalsForStep(double step);
// A tick value as its label: "-0" never appears, whatever the rounding.
std::string tickLabel(double value, int decimals);

// The axis titles, with units.
namespace axis_titles {
inline constexpr const char* Channel = "channel";
inline constexpr const char* Energy = "energy (keV)";
inline constexpr const char* Counts = "counts";
inline constexpr const char* Sample = "sample";
inline constexpr const char* Volts = "voltage (V)";
} // namespace axis_titles

// Lengths of the readable look in layout pixels; a graph scales them to its image.
namespace readable_axes {
inline constexpr int Gap = 3;        // between a label and whatever is beside it
inline constexpr int TickLength = 4; // of the ticks in the margin
} // namespace readable_axes

// Labels under a horizontal axis, centred on their ticks but kept within [minX, maxX); a
// label that would come closer than `gap` to the previous one is left out.
struct TickLabel {
    int position = 0; // the tick's pixel column or row
    std::string text;
};
void drawLabelsUnder(Canvas& canvas, const std::vector<TickLabel>& labels, int top, int minX,
                     int maxX, int gap);
// Labels left of a vertical axis, right-aligned at `right` and centred on their rows but
// kept within [minY, maxY); a label closer than `gap` to the one drawn before is left out.
void drawLabelsBeside(Canvas& canvas, const std::vector<TickLabel>& labels, int right, int minY,
                      int maxY, int gap);
// The inside of a graph's plot, in pixels: left and top included, right and bottom (the
// horizontal axis's row) the far edges.
struct PlotBox {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};
// Dotted grid lines across the plot at every label, and solid ticks of `tick` pixels out
// into the margins below and left of it.
void drawGridAndTicks(Canvas& canvas, const std::vector<TickLabel>& xLabels,
                      const std::vector<TickLabel>& yLabels, const PlotBox& plot, int tick);
// Whether labels centred on their positions would overlap (or come closer than gap).
bool labelsCrowd(Canvas& canvas, const std::vector<TickLabel>& labels, int gap);

} // namespace tarvio
