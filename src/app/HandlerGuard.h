#pragma once
// The boundary of every event handler: an error raised inside ends the handler, its message
// appears in the application's error box, and the event loop carries on. Qt must never see
// an exception pass through it.

#include "app/MessageBoxes.h"

#include <QString>

#include <exception>
#include <utility>

class QWidget;

namespace tarvio {

template <class Handler> void runGuarded(QWidget* parent, Handler&& handler) noexcept {
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception& error) {
        showErrorBox(parent, QString::fromUtf8(error.what()));
    } catch (...) {
        // An error without a message of its own still gets its box.
        showErrorBox(parent, QString());
    }
}

} // namespace tarvio
