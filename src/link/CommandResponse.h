#pragma once
// One command response or unasked message as received from an interface.

#include "link/Locks.h"

#include <cstdint>

namespace tarvio {

// Derives from the lock holder so that a record can hold the link lock for its lifetime.
class QrxCommandResponse : public QrxCriticalSection {
public:
    explicit QrxCommandResponse(bool lock = true);
    QrxCommandResponse(std::uint16_t* frameTarget, std::uint32_t frameCapacity, bool lock);

    // Clears what a reception fills; keeps the frame target, its capacity and the lock.
    void Reset();

    bool background = false;              // filled inside a background group
    std::uint8_t code = 0;                // response code; 0 after a message
    std::int32_t count = 0;               // body bytes received
    std::uint8_t* data = nullptr;         // body, in the interface's receive buffer
    char* errorText = nullptr;            // text of an error line, ending with its carriage return
    char* messageText = nullptr;          // a text message, from its opening to its closing quote
    std::uint32_t frameNumber = 0;        // the interface's frame counter after a frame stream
    std::uint16_t* frameTarget = nullptr; // where frame streams are decoded to; none: not decoded
    std::uint32_t frameCapacity = 0;      // values at frameTarget
    double frameTime = 0.0;               // time carried by a timed frame stream, seconds
};

} // namespace tarvio
