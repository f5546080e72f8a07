#pragma once
// The zoom rubber band over the spectrum image: a white rectangle outline without fill. It
// keeps the band in image pixels as the drag made it (negative extents included) and shows it
// normalised. Whether it is hidden doubles as whether a drag is under way.

#include "app/ZoomBand.h"

#include <QWidget>

namespace tarvio {

class ImageView;

class ZoomShape : public QWidget {
    Q_OBJECT

public:
    explicit ZoomShape(ImageView* image);

    const BandRect& band() const { return band_; }
    void setBand(const BandRect& band);
    // A drag is under way while the band is not hidden.
    bool active() const { return !isHidden(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ImageView* image_;
    BandRect band_;
};

} // namespace tarvio
