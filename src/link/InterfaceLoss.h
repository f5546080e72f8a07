#pragma once
// A lost interface: the driver has given up on its device (unplugged, or failing past every
// retry). The link notices it on the failed driver call, reports that failure as usual, marks
// the interface and tells the loss hook once; from then on the queue of a lost interface reads
// as empty (its failure reported once), waits on it end at once, and the monitoring thread
// leaves it alone. Closing it works as for any other interface.

#include "link/DeviceLink.h"

#include <cstdint>

namespace tarvio {

// Called once per lost interface, on the thread whose driver call failed, with the link lock
// held when the caller held it. Hand any further work over; never close from inside.
using LossHook = void (*)(DeviceLink& link, std::int32_t argument);

// Replaces any earlier hook (null: none).
void SetLossHook(LossHook hook, std::int32_t argument);

// After a failed driver call on the link's interface: asks the driver whether the device is
// lost and, the first time it is, marks the interface and calls the hook. Returns whether the
// interface is lost.
bool NoteDriverFailure(DeviceLink& link);

// Whether the link refers to a registered interface that has been found lost.
bool InterfaceLost(const DeviceLink& link);

} // namespace tarvio
