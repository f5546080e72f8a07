#pragma once
// Byte transport over an open interface and synchronisation with it. These take no lock:
// their callers hold the link lock.

#include "link/DeviceLink.h"

#include <cstdint>

namespace tarvio {

// The interface answers a blank with the blank and this pattern.
constexpr char SyncPattern[] = "1234567890qwertyuiopasdfghjklzxcvbnmOK\r";
constexpr int SyncPatternLength = 39;

// Bytes waiting in the receive queue; 0 on failure.
std::uint32_t QueueDepth(DeviceLink& link);
// Reads count bytes (0: all waiting) into a buffer of size bytes (0: count + 1); stores a
// NUL after them when fewer than size arrived. Bytes read; 0 on failure.
std::uint32_t Receive(DeviceLink& link, void* buffer, std::uint32_t count, std::uint32_t size);
// Writes length bytes (0: the text's length). Bytes written; 0 on failure.
std::uint32_t Transmit(DeviceLink& link, const void* bytes, std::uint32_t length);

// Timeouts and gaps in seconds: a timeout of 0 or less means 1.5 s, a gap of 0 or less none.
// Bytes consumed including the match; minus the bytes skipped on failure.
std::int32_t WaitForByte(DeviceLink& link, std::uint8_t byte, double timeout, double gap);
// Bytes consumed in all, positive, on success; minus that count otherwise.
std::int32_t WaitForString(DeviceLink& link, const char* text, std::int32_t length, double timeout,
                           double gap);
// Position of the terminator in buffer on success; minus the bytes received on failure.
std::int32_t ReceiveUntil(DeviceLink& link, void* buffer, std::int32_t size,
                          std::uint8_t terminator, double timeout, double gap);
// Sends the blank and skips everything up to the end of the synchronisation pattern.
bool Synchronize(DeviceLink& link);

} // namespace tarvio
