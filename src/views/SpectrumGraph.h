#pragma once
// The pulse-height spectrum as a bar histogram, with the view state that goes with it: the
// visible window in channels and counts, the cursor, and the energy axis it is given.

#include "records/EnergyCalibration.h"
#include "records/Spectrum.h"
#include "views/Canvas.h"
#include "views/CountAxis.h"
#include "views/PeakOverlay.h"
#include "views/RegionBands.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace tarvio {

// As the top of the count window: follow the spectrum's largest count at every draw.
inline constexpr std::uint32_t AutoCount = 0xFFFFFFFFu;

struct ScrollInfo {
    std::uint32_t firstChannel = 0;
    std::uint32_t lowCount = 0;
    std::uint32_t channelScrollMax = 0;
    std::uint32_t countScrollMax = 0;
};

// How bars are put on the canvas. Both give the same pixels: bars share one colour and all
// end on the base line, so where several channels fall into one pixel column only the
// tallest shows. Drawing only that one is what keeps a full redraw cheap.
enum class BarDrawing { EveryChannel, TallestPerColumn };

class SpectrumGraph {
public:
    explicit SpectrumGraph(Canvas& image);

    // Draws in the stored window.
    void draw(const Spectrum& spectrum);
    // Stores the window (high may be AutoCount), then draws.
    void drawRange(const Spectrum& spectrum, std::uint32_t first, std::uint32_t last,
                   std::uint32_t low, std::uint32_t high);

    void setCalibrated(bool calibrated) { calibrated_ = calibrated; }
    bool calibrated() const { return calibrated_; }
    // Held within the spectrum's channels.
    void setCursorChannel(int channel);
    int cursorChannel() const { return cursorChannel_; }
    void setCursorVisible(bool visible) { cursorVisible_ = visible; }
    bool cursorVisible() const { return cursorVisible_; }
    // The count under the cursor as of the last draw.
    std::uint32_t cursorValue() const { return cursorValue_; }

    // A rectangle in image pixels, in the frame of the last draw; -1 in any argument resets
    // the view to all channels and an automatic count axis.
    void zoomToRect(int left, int top, int width, int height);
    // A negative value leaves that axis alone. The count axis scrolls only while it is fixed.
    void scrollTo(int firstChannel, int lowCount);
    ScrollInfo getScrollInfo() const;

    void setBarDrawing(BarDrawing mode) { barDrawing_ = mode; }

    // The readable look (SpectrumGraphAxes.cpp): round 1-2-5 ticks, labels in margins sized to
    // their text and clear of the axes, axis titles with units. Off, the graph keeps the look
    // it has always had. Takes effect at the next draw.
    void setReadableAxes(bool readable) { readableAxes_ = readable; }
    bool readableAxes() const { return readableAxes_; }

    // A reference spectrum, already scaled to the live one: drawn over the bars as a line, or
    // (subtract) taken off them, never below zero. Empty: none.
    void setReference(std::vector<double> scaled, bool subtract);
    bool hasReference() const { return !reference_.empty(); }
    // Whether the bars show the live spectrum less the reference.
    bool showsDifference() const { return !reference_.empty() && subtractReference_; }

    // Counts on a logarithmic axis (see CountAxis); the window, zoom and scrolling stay in
    // counts as on the linear axis.
    void setLogScale(bool log) { logScale_ = log; }
    bool logScale() const { return logScale_; }
    // Found peaks, their fitted curves and a nuclide's lines, drawn over the bars.
    void setPeakOverlay(PeakOverlay overlay) { overlay_ = std::move(overlay); }
    const PeakOverlay& peakOverlay() const { return overlay_; }

    // Regions of interest, drawn as bands behind the bars with their background lines.
    void setRegionBands(std::vector<RegionBand> bands) { bands_ = std::move(bands); }

    // The energy axis the Calibrated view labels, as the analysis state's activeCalibration()
    // gives it; without one the axis keeps channel numbers.
    void setCalibration(std::optional<EnergyCalibration> calibration) {
        calibration_ = calibration;
    }
    const std::optional<EnergyCalibration>& calibration() const { return calibration_; }
    // The channel under an image column, in the frame of the last draw: what the operator
    // sees, even after a zoom or scroll that has not been drawn yet.
    double channelAt(int x) const;
    std::uint32_t drawnFirstChannel() const { return drawnFirst_; }
    std::uint32_t drawnLastChannel() const { return drawnLast_; }

    std::uint32_t firstChannel() const { return firstChannel_; }
    std::uint32_t lastChannel() const { return lastChannel_; }
    std::uint32_t lowCount() const { return lowCount_; }
    std::uint32_t highCount() const { return highCount_; }
    double xScale() const { return xScale_; }
    double yScale() const { return yScale_; }
    std::uint32_t spectrumMax() const { return spectrumMax_; }
    std::uint32_t leftMargin() const { return leftMargin_; }
    std::uint32_t bottomMargin() const { return bottomMargin_; }
    std::uint32_t topMargin() const { return topMargin_; } // 0 but in the readable look

private:
    // Layout pixels in image pixels, at least 1.
    int scaled(int layoutPixels) const;
    // Margins for the canvas's present pixel ratio.
    void adoptPixelRatio();
    int plotWidth() const;
    int plotHeight() const;
    void drawBars(const Spectrum& spectrum, std::uint32_t first, std::uint32_t width,
                  std::uint32_t low);
    // The live spectrum, or the net one in scratch when subtracting the reference.
    const Spectrum& shownSpectrum(const Spectrum& live, Spectrum& scratch) const;
    // The top of an automatic count axis: the spectrum's largest count, or the reference's.
    std::uint32_t autoTop(const Spectrum& shown) const;
    void drawReference(std::uint32_t first, std::uint32_t width, std::uint32_t low);
    void drawPeakOverlay(const Spectrum& spectrum, std::uint32_t first, std::uint32_t last,
                         std::uint32_t low);
    // While the reference is subtracted: a mark that the bars are a difference.
    void drawDifferenceMark();
    void drawLinearCountGrid(std::uint32_t countRange, std::uint32_t low);
    // The readable look: margins for labels up to `top`, then ticks, labels and titles.
    void fitReadableMargins(std::uint32_t low, std::uint32_t top);
    void drawReadableAxes(std::uint32_t first, std::uint32_t last, std::uint32_t low,
                          std::uint32_t countRange, const std::optional<EnergyCalibration>& energy);

    Canvas& image_;
    double xScale_;
    double yScale_;
    std::uint32_t firstChannel_ = 0;
    std::uint32_t lastChannel_ = SpectrumChannels;
    std::uint32_t lowCount_ = 0;
    std::uint32_t highCount_ = AutoCount;
    bool calibrated_ = false;
    std::uint32_t spectrumMax_ = 0;
    int cursorChannel_ = 0;
    std::uint32_t cursorValue_ = 0;
    bool cursorVisible_ = false;
    std::uint32_t leftMargin_ = 15;
    std::uint32_t bottomMargin_ = 15;
    std::uint32_t topMargin_ = 0;
    bool readableAxes_ = false;
    BarDrawing barDrawing_ = BarDrawing::TallestPerColumn;
    std::vector<double> reference_;
    bool subtractReference_ = false;
    bool logScale_ = false;
    CountAxis countAxis_; // of the last draw, as zoom needs it
    std::uint32_t drawnFirst_ = 0;
    std::uint32_t drawnLast_ = SpectrumChannels;
    std::vector<RegionBand> bands_;
    std::vector<Bar> bars_; // of the last draw, kept to spare an allocation per refresh
    std::optional<EnergyCalibration> calibration_;
    PeakOverlay overlay_;
};

} // namespace tarvio
