#pragma once
// The main window's area below the menu: it opens at the size of the default layout, never
// gets smaller, and when the window grows it moves and stretches the controls anchored to it
// (see Anchors.h). A control that is not anchored stays where it was placed.

#include "app/Anchors.h"

#include <QSize>
#include <QWidget>

#include <vector>

namespace tarvio {

class ClientArea : public QWidget {
    Q_OBJECT

public:
    ClientArea(QSize defaultSize, QWidget* parent);

    // The widget follows the area's growth with these anchors, from the rectangle it has now,
    // which must be its place in the default layout. Its parent is this area or a widget
    // anchored before it.
    void anchor(QWidget* widget, Anchors anchors);

    QSize defaultSize() const { return defaultSize_; }
    QSize sizeHint() const override { return defaultSize_; }
    QSize minimumSizeHint() const override { return defaultSize_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void relayout();

    QSize defaultSize_;
    std::vector<QWidget*> widgets_;
    std::vector<AnchoredItem> items_;
};

} // namespace tarvio
