#include "link/Protocol.h"

#include "driver/TimeSource.h"
#include "encodings/Encodings.h"
#include "link/CommandTable.h"
#include "link/DeviceDescr.h"
#include "link/Interfaces.h"
#include "link/PrecisionClock.h"
#include "link/Report.h"
#include "link/Transport.h"
#include "link/TransportLimits.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

namespace tarvio {

namespace {

// Guarded by the link lock.
MessageHook messageHook = nullptr;
std::int32_t messageHookArgument = 0;

constexpr double DefaultTimeout = 0.5;
constexpr std::uint32_t DefaultAttempts = 1;
constexpr double TextTimeout = 1.5;

// The link's interface without a report; the transport reports a missing one itself.
DeviceDescr* linkedDevice(DeviceLink& link) {
    return IsRegistered(link.device) ? link.device : nullptr;
}

double defaultTimeoutOf(DeviceLink& link) {
    QrxStatLeveler level(link);
    const DeviceDescr* descr = FindInterface(link);
    return descr ? descr->defaultTimeout : DefaultTimeout;
}

std::uint32_t defaultAttemptsOf(DeviceLink& link) {
    QrxStatLeveler level(link);
    const DeviceDescr* descr = FindInterface(link);
    return descr && descr->defaultAttempts > 0 ? static_cast<std::uint32_t>(descr->defaultAttempts)
                                               : DefaultAttempts;
}

// Reads count body bytes into rxBuffer at position, never past its end.
std::uint32_t receiveBody(DeviceLink& link, DeviceDescr& descr, std::size_t position,
                          std::size_t count) {
    if (count == 0 || position >= RxBufferSize) {
        return 0; // a zero count would read whatever is queued
    }
    const std::size_t room = RxBufferSize - position;
    return Receive(link, descr.rxBuffer + position,
                   static_cast<std::uint32_t>(std::min(count, room)),
                   static_cast<std::uint32_t>(room));
}

// Reads text up to and including `terminator` into `text`, which holds `size` bytes. The text
// always ends with a NUL inside the buffer: when it filled the buffer, or its terminator took
// the last slot, it is cut by that last character rather than read past its end. Returns what
// ReceiveUntil returns.
std::int32_t receiveText(DeviceLink& link, std::uint8_t* text, std::size_t size,
                         std::uint8_t terminator) {
    const auto room = static_cast<std::int32_t>(size);
    const std::int32_t end = ReceiveUntil(link, text, room, terminator, TextTimeout, 0);
    if (end == room - 1 || end == -room) {
        text[room - 1] = 0;
    }
    return end;
}

enum class TextMessage { Complete, NoClosingQuote, NoCarriageReturn };

// A text message after its opening quote: the text, the closing quote, a carriage return.
// The message goes into the interface's background record.
TextMessage receiveTextMessage(DeviceLink& link, DeviceDescr& descr) {
    QrxCommandResponse& item = descr.backgroundResponse;
    item.code = 0;
    item.messageText = reinterpret_cast<char*>(descr.rxBuffer);
    descr.rxBuffer[0] = '"';
    if (receiveText(link, descr.rxBuffer + 1, RxBufferSize - 1, '"') < 0) {
        return TextMessage::NoClosingQuote;
    }
    std::uint8_t terminator = 0;
    if (Receive(link, &terminator, 1, 1) != 1 || terminator != '\r') {
        return TextMessage::NoCarriageReturn;
    }
    return TextMessage::Complete;
}

bool containsOnLine(const char* text) {
    return std::strstr(text, "Unit is on line.") != nullptr;
}

} // namespace

void SetMessageHook(MessageHook hook, std::int32_t argument) {
    QrxCriticalSection lock;
    messageHook = hook;
    messageHookArgument = argument;
}

namespace {

void noteDamaged(DeviceLink& link) {
    if (IsRegistered(link.device)) {
        link.device->damagedMessages.fetch_add(1, std::memory_order_relaxed);
    }
}

} // namespace

bool CallMessageHook(DeviceLink& link, QrxCommandResponse& message) {
    QrxCriticalSection lock;
    if (!messageHook) {
        return false;
    }
    messageHook(link, message, messageHookArgument);
    return true;
}

bool Resynchronize(DeviceLink& link, const char* text, ErrorCode code) {
    noteDamaged(link);
    const bool synchronized = Synchronize(link);
    Report(link, synchronized ? code : ErrorCode::TimeoutError, "%s. Resynchronization %s.", text,
           synchronized ? "OK" : "failed");
    return false;
}

namespace {

// The body of a timed frame stream: 6 bytes of time, then a frame stream, decoded into the
// record's frame target when it has one. Decoding failures are reported but do not fail.
bool receiveTimedFrame(DeviceLink& link, DeviceDescr& descr, QrxCommandResponse& record) {
    std::uint8_t* const rx = descr.rxBuffer;
    const std::size_t expected = StreamSize(descr) + 6;
    if (expected > RxBufferSize) {
        // A chip count no interface has: the stream would not fit. Resynchronising skips it.
        return Resynchronize(link,
                             "Reception of timed frame stream failed - stream too long for the "
                             "receive buffer.",
                             ErrorCode::FatalError);
    }
    descr.rxCount = static_cast<std::int32_t>(receiveBody(link, descr, 1, expected - 1) + 1);
    if (static_cast<std::size_t>(descr.rxCount) < expected) {
        return Resynchronize(link, "Reception of timed frame stream failed - not enough data.",
                             ErrorCode::FatalError);
    }
    record.frameNumber = ++descr.frameCounter;
    record.frameTime = TicksToSeconds(rx, descr.kind);
    if (!record.frameTarget) {
        return true;
    }
    if (!DeserializeFrameStream(descr.largeCounters, rx + 6,
                                static_cast<std::size_t>(descr.rxCount) - 6, record.frameTarget,
                                record.frameCapacity)) {
        Report(link, ErrorCode::GeneralError, "Error deserializing data stream");
    } else if (!ConvertPseudoCodes(descr.largeCounters, record.frameTarget,
                                   std::min<std::size_t>(PixelCount(descr), record.frameCapacity),
                                   1)) {
        Report(link, ErrorCode::GeneralError, "Error converting data from pseudo codes");
    }
    return true;
}

// The body of scope data: a 16-bit count n, then n + 1 words of samples.
bool receiveScopeData(DeviceLink& link, DeviceDescr& descr) {
    std::uint8_t* const rx = descr.rxBuffer;
    if (receiveBody(link, descr, 1, 1) != 1) {
        return Resynchronize(link, "Reception of scope data failed.", ErrorCode::FatalError);
    }
    // n + 1 in 16 bits: a count of 0xFFFF means no words at all.
    const auto n = static_cast<std::uint16_t>(rx[0] | rx[1] << 8);
    const auto words = static_cast<std::uint16_t>(n + 1);
    const std::size_t bytes = 2 * static_cast<std::size_t>(words);
    descr.rxCount = static_cast<std::int32_t>(receiveBody(link, descr, 2, bytes) + 2);
    // Accepted when at least 2 n of the sample bytes arrived.
    if (bytes > static_cast<std::size_t>(descr.rxCount)) {
        return Resynchronize(link, "Reception of frame stream failed - not enough data.",
                             ErrorCode::FatalError);
    }
    return true;
}

// The body of a response of the given type after its first byte, into rxBuffer and rxCount.
bool receiveBodyOf(DeviceLink& link, DeviceDescr& descr, QrxCommandResponse& record,
                   std::int32_t type) {
    std::uint8_t* const rx = descr.rxBuffer;
    if (type == 1) {
        descr.rxCount = 1;
        return true;
    }
    if (type >= 2) {
        descr.rxCount = static_cast<std::int32_t>(
            receiveBody(link, descr, 1, static_cast<std::size_t>(type) - 1) + 1);
        if (descr.rxCount < type) {
            return Resynchronize(link, "Missing response parameters.", ErrorCode::FatalError);
        }
        return true;
    }
    switch (type) {
    case StringParameter: {
        const std::int32_t end = ReceiveUntil(
            link, rx + 1, static_cast<std::int32_t>(RxBufferSize - 1), '\r', TextTimeout, 0);
        if (end < 0) {
            return Resynchronize(link, "Reception of string parameter failed.",
                                 ErrorCode::FatalError);
        }
        descr.rxCount = end + 1;
        rx[end + 1] = 0; // the carriage return becomes the text's end
        return true;
    }
    case TimedFrameStream:
        return receiveTimedFrame(link, descr, record);
    case ScopeData:
        return receiveScopeData(link, descr);
    case ChipIdList: {
        // With no chips the body is the byte already read; nothing more is read.
        const std::size_t expected = 4 * static_cast<std::size_t>(descr.chipCount);
        descr.rxCount = static_cast<std::int32_t>(
            (expected > 1 ? receiveBody(link, descr, 1, expected - 1) : 0) + 1);
        if (static_cast<std::size_t>(descr.rxCount) < expected) {
            return Resynchronize(link, "Reception of chip ID failed.", ErrorCode::FatalError);
        }
        return true;
    }
    default:
        // No response of the table has another shape.
        return Resynchronize(link, "Unknown response received.", ErrorCode::FatalError);
    }
}

} // namespace

bool ParseResponse(DeviceLink& link, QrxCommandResponse& record) {
    QrxStatLeveler level(link);
    DeviceDescr* descr = linkedDevice(link);
    if (!descr) {
        Report(link, ErrorCode::BadDeviceHandle, "Invalid device handle.");
        return false;
    }
    const CommandInfo* row = FindCommand(record.code);
    if (!row) {
        return Resynchronize(link, "Unknown response received.", ErrorCode::FatalError);
    }
    std::uint8_t* const rx = descr->rxBuffer;
    descr->rxCount = 0;
    if (receiveBody(link, *descr, 0, 1) != 1) {
        return Resynchronize(link, "Too short response.", ErrorCode::FatalError);
    }

    if (row->responseType == OkOnly) {
        // The byte already read and two more are the terminator.
        record.count = 0;
        record.data = nullptr;
        if (receiveBody(link, *descr, 1, 2) != 2 || std::memcmp(rx, "OK\r", 3) != 0) {
            return Resynchronize(link, "Missing response terminator.", ErrorCode::FatalError);
        }
        return true;
    }
    if (!receiveBodyOf(link, *descr, record, row->responseType)) {
        return false;
    }
    record.count = descr->rxCount;
    record.data = rx;

    char terminator[4] = {};
    if (Receive(link, terminator, 3, 3) != 3 || std::memcmp(terminator, "OK\r", 3) != 0) {
        return Resynchronize(link, "Missing response terminator.", ErrorCode::FatalError);
    }
    return true;
}

bool ReceiveMessage(DeviceLink& link, QrxCommandResponse& record) {
    QrxCriticalSection lock;
    QrxStatLeveler level(link);
    record.Reset();
    if (QueueDepth(link) == 0) {
        return false;
    }
    std::uint8_t first = 0;
    if (Receive(link, &first, 1, 1) != 1) {
        return false;
    }
    record.code = first;
    DeviceDescr* descr = linkedDevice(link);
    if (!descr) {
        return false;
    }
    char* const text = reinterpret_cast<char*>(descr->rxBuffer);

    if (first == '!') {
        record.code = 0;
        record.errorText = text;
        const bool complete = receiveText(link, descr->rxBuffer, RxBufferSize, '\r') >= 0;
        if (complete) {
            CallMessageHook(link, record);
            Report(link, containsOnLine(text) ? ErrorCode::BadResponse : ErrorCode::DeviceError,
                   "Error received: %s", text);
            return true;
        }
        if (containsOnLine(text)) {
            Report(link, ErrorCode::BadResponse, "Error received: %s", text);
            return false;
        }
        return Resynchronize(link, text, ErrorCode::DeviceError);
    }

    if (first == '"') {
        record.code = 0;
        switch (receiveTextMessage(link, *descr)) {
        case TextMessage::NoClosingQuote:
            return Resynchronize(link,
                                 "Error receiving text message. Missing [\"] string terminator.",
                                 ErrorCode::FatalError);
        case TextMessage::NoCarriageReturn:
            return Resynchronize(link, "Error receiving text message. Missing [0x0d] terminator.",
                                 ErrorCode::FatalError);
        case TextMessage::Complete:
            break;
        }
        CallMessageHook(link, descr->backgroundResponse);
        return true;
    }

    if (first == '[') {
        record.code = 0;
        QrxCommandResponse& item = descr->backgroundResponse;
        const double limit = PrecisionClock::instance().Now() + FlowingStreamGrace;
        for (;;) {
            item.Reset();
            item.background = true;
            std::uint8_t code = 0;
            if (Receive(link, &code, 1, 1) != 1) {
                return Resynchronize(link, "Unexpected end of background message.",
                                     ErrorCode::FatalError);
            }
            item.code = code;
            if (code == ']') {
                item.Reset();
                return true;
            }
            if (code == '"') {
                if (receiveTextMessage(link, *descr) != TextMessage::Complete) {
                    return Resynchronize(link, "Error receiving background message text.",
                                         ErrorCode::FatalError);
                }
            } else if (!ParseResponse(link, item)) {
                return Resynchronize(link, "Background message reception failed.",
                                     ErrorCode::FatalError);
            }
            CallMessageHook(link, item);
            // A group that never closes would hold the link lock for ever.
            if (PrecisionClock::instance().Now() > limit) {
                return Resynchronize(link, "Background message did not end in time.",
                                     ErrorCode::FatalError);
            }
        }
    }

    if (!ParseResponse(link, record)) {
        return Resynchronize(link, "Error receiving command response.", ErrorCode::FatalError);
    }
    return true;
}

namespace {

// NextResponse, but a stream of messages that never lets up ends once the wait is past
// `limit`, so that a chattering device cannot hold the link lock for ever.
bool nextResponseBefore(DeviceLink& link, QrxCommandResponse& record, double limit) {
    for (;;) {
        if (!ReceiveMessage(link, record)) {
            return false;
        }
        if (record.code != 0) {
            return true;
        }
        timeSource().sleepFor(0);
        if (PrecisionClock::instance().Now() > limit) {
            return false;
        }
    }
}

// The end of a wait that saw no response to `code` in time; always false.
bool timedOut(DeviceLink& link, std::uint8_t code) {
    const bool synchronized = Synchronize(link);
    Report(link, synchronized ? ErrorCode::UnsupportedOperation : ErrorCode::TimeoutError,
           "Timeout. Not received response to '%c' [0x%02x] = \"%s\". "
           "Resynchronization %s.",
           code, code, CommandName(code), synchronized ? "OK" : "failed");
    return false;
}

} // namespace

bool NextResponse(DeviceLink& link, QrxCommandResponse& record) {
    return nextResponseBefore(link, record, std::numeric_limits<double>::infinity());
}

bool AwaitResponse(DeviceLink& link, QrxCommandResponse& record, std::uint8_t code,
                   double timeout) {
    QrxStatLeveler level(link);
    if (!(timeout >= 0)) {
        timeout = defaultTimeoutOf(link);
    }
    PrecisionClock& clock = PrecisionClock::instance();
    const double deadline = clock.Now() + timeout;
    for (;;) {
        if (nextResponseBefore(link, record, deadline + FlowingStreamGrace)) {
            if (record.code == code) {
                return true;
            }
            // The host never asks for scope data: a pulse that arrives bare while a command
            // waits is background traffic, not a wrong answer. Hand it on and keep waiting,
            // but not for ever: pulses that never stop end the wait as any flowing stream does.
            if (ResponseTypeOf(record.code) == ScopeData) {
                CallMessageHook(link, record);
                if (clock.Now() <= deadline + FlowingStreamGrace) {
                    continue;
                }
                return timedOut(link, code);
            }
            const std::uint8_t received = record.code;
            noteDamaged(link);
            const bool synchronized = Synchronize(link);
            // CommandName's fallback text is per call; keep the first before naming the second.
            char receivedName[64];
            std::snprintf(receivedName, sizeof receivedName, "%s", CommandName(received));
            Report(link, synchronized ? ErrorCode::FatalError : ErrorCode::TimeoutError,
                   "Got response to different command: '%c' [0x%02x] = \"%s\", istead of '%c' "
                   "[0x%02x] = \"%s\". Resynchronization %s.",
                   received, received, receivedName, code, code, CommandName(code),
                   synchronized ? "OK" : "failed");
            return false;
        }
        timeSource().sleepFor(0);
        if (clock.Now() >= deadline) {
            return timedOut(link, code);
        }
    }
}

bool ExecuteCommand(DeviceLink& link, QrxCommandResponse& record, const void* bytes,
                    std::uint32_t length, double timeout, std::uint32_t attempts) {
    QrxCriticalSection lock;
    ThreadPriorityBoost boost(ThreadPriorityTimeCritical);
    QrxStatLeveler level(link);
    if (!bytes) {
        return false;
    }
    if (!(timeout >= 0)) {
        timeout = defaultTimeoutOf(link);
    }
    if (attempts == 0) {
        attempts = defaultAttemptsOf(link);
    }
    const std::uint8_t code = *static_cast<const std::uint8_t*>(bytes);
    for (std::uint32_t attempt = 0; attempt < attempts; ++attempt) {
        if (Transmit(link, bytes, length) == 0) {
            // A write that ended without a driver failure leaves no error level behind; the
            // failure must still read as one.
            const ErrorCode level =
                IsError(link.level) ? link.level : ErrorCode::TransmissionFailed;
            Report(link, level, "Command \"%s\" failed.", CommandName(code));
            continue;
        }
        if (AwaitResponse(link, record, code, timeout)) {
            Report(link, ErrorCode::Message, "Command \"%s\" performed OK.", CommandName(code));
            return true;
        }
    }
    return false;
}

} // namespace tarvio
