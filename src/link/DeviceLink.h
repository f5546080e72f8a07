#pragma once
// The handle through which every link operation is made, and which keeps that operation's
// report. A plain record: whoever declares it owns it; it owns nothing.

#include "link/ErrorCode.h"

#include <cstdint>

namespace tarvio {

struct DeviceDescr;

constexpr int ReportTextSize = 256; // NUL included: at most 255 characters

struct DeviceLink {
    DeviceDescr* device = nullptr; // the open interface addressed; may be none
    ErrorCode level = ErrorCode::NoError;
    char text[ReportTextSize] = {};
    std::int32_t depth = 0; // link operations currently in progress on this link

    DeviceLink() = default;
    explicit DeviceLink(DeviceDescr* descr) { Attach(descr); }

    // Refers the link to another interface and clears its report.
    void Attach(DeviceDescr* descr);
};

// Level NoError, empty text, depth 0; the device stays.
void ClearReport(DeviceLink& link);

} // namespace tarvio
