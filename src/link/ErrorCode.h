#pragma once
// Result levels of link operations and the texts of driver statuses.

#include "driver/Driver.h"

#include <cstdint>

namespace tarvio {

// Signed 8-bit level of a report: 0 and 1 are not errors, 2 and above are.
enum class ErrorCode : std::int8_t {
    NoError = 0,
    Message = 1,
    GeneralError = 2,
    BadDeviceHandle = 3,
    TransmissionFailed = 4,
    DeviceNotResponding = 5,
    BadParameter = 6,
    DeviceError = 7,
    BadResponse = 8,
    FatalError = 9,
    TimeoutError = 10,
    UnsupportedOperation = 11,
};

constexpr bool IsError(ErrorCode code) {
    return static_cast<std::int8_t>(code) >= 2;
}

// Caption text of a level; "Unknown error type" outside 0..11.
const char* ErrorCodeName(ErrorCode code);
// Text of a driver status; statuses outside 0..18 get a clear text of their own.
const char* StatusText(DriverStatus status);

} // namespace tarvio
