#include "link/DeviceLink.h"

namespace tarvio {

void DeviceLink::Attach(DeviceDescr* descr) {
    device = descr;
    ClearReport(*this);
}

void ClearReport(DeviceLink& link) {
    link.level = ErrorCode::NoError;
    link.text[0] = 0;
    link.depth = 0;
}

} // namespace tarvio
