#include "link/InterfaceDetection.h"

#include "link/Locks.h"

namespace tarvio {

namespace {
InterfaceDetection installed; // guarded by the link lock
} // namespace

void SetInterfaceDetection(const InterfaceDetection& detection) {
    QrxCriticalSection lock;
    installed = detection;
}

InterfaceDetection CurrentInterfaceDetection() {
    QrxCriticalSection lock;
    return installed;
}

} // namespace tarvio
