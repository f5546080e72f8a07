#pragma once
// Reporting of link operations: every operation describes what it did through Report.

#include "link/DeviceLink.h"

#include <cstdint>
#include <functional>

namespace tarvio {

// Called for every report once installed, on the reporting thread with the link lock held.
using ReportHook = void (*)(DeviceLink& link, std::int32_t argument);

// Where error reports go while no hook is installed: a modal box in the window, a recorder
// in tests. Without a sink, standard error.
using ErrorBoxSink = std::function<void(const char* caption, const char* text)>;

// Composes the text (printf-style, null format allowed), chains the link's previous text in
// parentheses, bounds it to 255 characters, stores it and the code in the link and delivers
// it. Returns whether code is 2 or more.
bool Report(DeviceLink& link, ErrorCode code, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Replaces any earlier hook; a null hook goes back to error boxes.
void SetReportHook(ReportHook hook, std::int32_t argument);
// Replaces the error-box sink and returns the one before; an empty one goes back to standard
// error.
ErrorBoxSink SetErrorBoxSink(ErrorBoxSink sink);
// Shows a box through the sink without taking the link lock (for a thread that may be stuck
// holding it).
void ShowErrorBox(const char* caption, const char* text);

} // namespace tarvio
