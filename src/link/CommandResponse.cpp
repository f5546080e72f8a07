#include "link/CommandResponse.h"

namespace tarvio {

QrxCommandResponse::QrxCommandResponse(bool lock) : QrxCriticalSection(lock) {}

QrxCommandResponse::QrxCommandResponse(std::uint16_t* target, std::uint32_t capacity, bool lock)
    : QrxCriticalSection(lock), frameTarget(target), frameCapacity(target ? capacity : 0) {}

void QrxCommandResponse::Reset() {
    background = false;
    code = 0;
    count = 0;
    data = nullptr;
    errorText = nullptr;
    messageText = nullptr;
    frameNumber = 0;
    frameTime = 0.0;
}

} // namespace tarvio
