#pragma once
// Reset of a freshly opened interface and detection of the chips on it; the open path of the
// link layer reaches both through its detection seam (InstallChipDetection).

#include "link/DeviceLink.h"

namespace tarvio {

// Global reset, then the on-line answer line parsed into the interface's chip count and
// family flags. The link lock is held throughout, so the monitoring thread cannot take the
// answer line for an unasked message.
bool ResetInterface(DeviceLink& link);

// Reads the chip identifiers into the interface's chipIdText, largeCounters and timepix, then
// copies chipIdText into `text` (at most size - 1 characters and a terminator) unless size is
// 0; a negative size counts as 64. On failure the interface's fields keep their values.
bool ReadChipboardId(DeviceLink& link, char* text, int size);

// Joins ResetInterface and ReadChipboardId to the open path of the link layer. Idempotent.
void InstallChipDetection();

} // namespace tarvio
