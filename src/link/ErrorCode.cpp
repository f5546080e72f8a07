#include "link/ErrorCode.h"

#include <iterator>

namespace tarvio {

const char* ErrorCodeName(ErrorCode code) {
    static constexpr const char* names[] = {
        "No error",
        "Message",
        "General error",
        "Bad device handle",
        "Transmission failed",
        "Device is not responding",
        "Bad parameter",
        "Error reported by device",
        "Bad response of the device",
        "Fatal error",
        "Timeout error",
        "Unsupported operation",
    };
    const int index = static_cast<int>(code);
    return index >= 0 && index < static_cast<int>(std::size(names)) ? names[index]
                                                                    : "Unknown error type";
}

const char* StatusText(DriverStatus status) {
    static constexpr const char* texts[] = {
        "OK",
        "Invalid handle",
        "Device not found",
        "Device not opened",
        "IO error",
        "Insuficient resources",
        "Invalid parameter",
        "Invalid baud rate",
        "Device not opened for erase",
        "Device not opened for write",
        "Failed to write device",
        "EEPROM read failed",
        "EEPROM write failed",
        "EEPROM erase failed",
        "EEPROM not present",
        "EEPROM not programmed",
        "Invalid Args",
        "Not supported",
        "Other Error",
    };
    return status < std::size(texts) ? texts[status] : "Unknown driver status";
}

} // namespace tarvio
