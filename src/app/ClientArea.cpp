#include "app/ClientArea.h"

#include <algorithm>
#include <iterator>

namespace tarvio {

ClientArea::ClientArea(QSize defaultSize, QWidget* parent)
    : QWidget(parent), defaultSize_(defaultSize) {
    setMinimumSize(defaultSize);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ClientArea::anchor(QWidget* widget, Anchors anchors) {
    int parent = -1;
    if (widget->parentWidget() != this) {
        const auto found = std::find(widgets_.begin(), widgets_.end(), widget->parentWidget());
        // Inside something that does not follow the area: it stays put with its parent.
        if (found == widgets_.end())
            return;
        parent = static_cast<int>(std::distance(widgets_.begin(), found));
    }
    const QRect r = widget->geometry();
    widgets_.push_back(widget);
    items_.push_back({parent, {r.x(), r.y(), r.width(), r.height()}, anchors});
    // Anchored after the window has grown: it takes its place at once.
    if (size() != defaultSize_)
        relayout();
}

void ClientArea::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    relayout();
}

void ClientArea::relayout() {
    const std::vector<PixelRect> rects =
        layOut(items_, {defaultSize_.width(), defaultSize_.height()}, {width(), height()});
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const PixelRect& r = rects[i];
        const QRect target(r.left, r.top, r.width, r.height);
        if (widgets_[i]->geometry() != target)
            widgets_[i]->setGeometry(target);
    }
}

} // namespace tarvio
