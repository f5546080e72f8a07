#pragma once
// The interface reset and chip detection belong to a higher layer; the open path reaches them
// through this seam. Install them once before the first open with detection.

#include "link/DeviceLink.h"

namespace tarvio {

struct InterfaceDetection {
    // Global reset and parsing of the answer into the link's interface.
    bool (*resetInterface)(DeviceLink& link) = nullptr;
    // Chip identifiers into the interface's chipIdText (and into text when size is not 0).
    bool (*readChipboardId)(DeviceLink& link, char* text, int size) = nullptr;
};

void SetInterfaceDetection(const InterfaceDetection& detection);
InterfaceDetection CurrentInterfaceDetection();

} // namespace tarvio
