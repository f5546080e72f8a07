#include "spectrometer/InterfaceReset.h"

#include "link/CommandResponse.h"
#include "link/DeviceDescr.h"
#include "link/InterfaceDetection.h"
#include "link/Interfaces.h"
#include "link/Locks.h"
#include "link/Protocol.h"
#include "link/Report.h"
#include "link/Transport.h"
#include "spectrometer/ChipIdentifiers.h"
#include "spectrometer/Commands.h"
#include "spectrometer/ResetAnswer.h"

#include <algorithm>
#include <cstring>

namespace tarvio {

namespace {

constexpr int MaxAnswerLength = 511;
constexpr double AnswerTimeout = 10.0; // seconds for the whole line
constexpr double AnswerGap = 2.0;      // longest pause between two of its bytes

} // namespace

bool ResetInterface(DeviceLink& link) {
    QrxStatLeveler leveler(link);
    QrxCriticalSection linkLock;
    DeviceDescr* descr = FindInterface(link);
    if (!descr) {
        return false;
    }
    if (!GlobalReset(link)) {
        return false;
    }

    // One spare byte, so the line can be terminated whatever ReceiveUntil stored.
    char line[MaxAnswerLength + 2] = {};
    const std::int32_t end =
        ReceiveUntil(link, line, MaxAnswerLength + 1, '\r', AnswerTimeout, AnswerGap);
    if (end <= 0) {
        descr->chipCount = 0;
        Report(link, link.level, "Reset command failed. Bad response.");
        return false;
    }
    line[end] = '\0'; // drops the carriage return

    const ResetAnswer answer = ParseResetAnswer(line);
    if (answer.kind == ResetAnswer::Kind::NoPrefix || answer.kind == ResetAnswer::Kind::Malformed) {
        Report(link, ErrorCode::FatalError, "Reset command failed. Bad response format: %s", line);
        return false;
    }
    if (answer.retries > 0) {
        Report(link, ErrorCode::Message, "%d retries needed to reset the interface.",
               answer.retries);
    }
    descr->chipCount = answer.chipCount;
    if (answer.kind == ResetAnswer::Kind::Typed) {
        if (std::memcmp(answer.type, "MXR", 3) == 0) {
            descr->largeCounters = true;
        } else if (std::memcmp(answer.type, "TPX", 3) == 0) {
            descr->largeCounters = true;
            descr->timepix = true;
        }
    }
    return true;
}

bool ReadChipboardId(DeviceLink& link, char* text, int size) {
    QrxStatLeveler leveler(link);
    DeviceDescr* descr = FindInterface(link);
    if (!descr) {
        return false;
    }
    QrxCommandResponse response(true);
    const std::uint8_t command[1] = {'|'};
    if (!ExecuteCommand(link, response, command, 1, -1.0, 0)) {
        return false;
    }
    const std::size_t received =
        response.data ? static_cast<std::size_t>(std::max(0, response.count)) : 0;
    const ChipIdentifiers ids = DecodeChipIdentifiers(response.data, received, descr->chipCount);
    static_assert(sizeof descr->chipIdText == sizeof ids.text);
    std::memcpy(descr->chipIdText, ids.text, sizeof ids.text);
    descr->largeCounters = ids.largeCounters;
    descr->timepix = ids.timepix;

    if (size != 0 && text) {
        const std::size_t capacity = size < 0 ? ChipIdTextCapacity : static_cast<std::size_t>(size);
        if (text != descr->chipIdText) {
            const std::size_t n = std::min(std::strlen(descr->chipIdText), capacity - 1);
            std::memmove(text, descr->chipIdText, n);
            text[n] = '\0';
        }
    }
    return true;
}

void InstallChipDetection() {
    InterfaceDetection detection;
    detection.resetInterface = &ResetInterface;
    detection.readChipboardId = &ReadChipboardId;
    SetInterfaceDetection(detection);
}

} // namespace tarvio
