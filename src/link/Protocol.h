#pragma once
// Command execution, responses, unasked messages and resynchronisation.

#include "link/CommandResponse.h"
#include "link/DeviceLink.h"

#include <cstdint>

namespace tarvio {

// Called for every unasked message the receive path hands on, with the link lock held.
using MessageHook = void (*)(DeviceLink& link, QrxCommandResponse& message, std::int32_t argument);

// Replaces any earlier hook (null: none).
void SetMessageHook(MessageHook hook, std::int32_t argument);
// Calls the installed hook, if any; returns whether one was called.
bool CallMessageHook(DeviceLink& link, QrxCommandResponse& message);

// Sends a command and waits for its response. timeout < 0: the interface's default; attempts
// 0: the interface's default; length 0: the NUL-terminated text's length.
bool ExecuteCommand(DeviceLink& link, QrxCommandResponse& record, const void* bytes,
                    std::uint32_t length, double timeout, std::uint32_t attempts);
// Waits for a response with the code, handing messages on meanwhile.
bool AwaitResponse(DeviceLink& link, QrxCommandResponse& record, std::uint8_t code, double timeout);
// Receives until a response arrives (true) or the queue runs dry or reception fails (false).
bool NextResponse(DeviceLink& link, QrxCommandResponse& record);
// Receives one complete message, group or response; false when nothing was queued or on error.
bool ReceiveMessage(DeviceLink& link, QrxCommandResponse& record);
// Reads the body of the response whose code is in record.code.
bool ParseResponse(DeviceLink& link, QrxCommandResponse& record);
// Synchronises and reports "<text>. Resynchronization OK/failed."; always false.
bool Resynchronize(DeviceLink& link, const char* text, ErrorCode code);

} // namespace tarvio
