#include "link/InterfaceLoss.h"

#include "driver/Driver.h"
#include "link/DeviceDescr.h"
#include "link/Interfaces.h"

#include <mutex>

namespace tarvio {

namespace {

// Read by whichever thread's driver call fails, which may or may not hold the link lock.
std::mutex hookMutex;
LossHook lossHook = nullptr;
std::int32_t lossHookArgument = 0;

} // namespace

void SetLossHook(LossHook hook, std::int32_t argument) {
    std::lock_guard guard(hookMutex);
    lossHook = hook;
    lossHookArgument = argument;
}

bool NoteDriverFailure(DeviceLink& link) {
    if (!IsRegistered(link.device)) {
        return false;
    }
    DeviceDescr& descr = *link.device;
    if (descr.lost.load(std::memory_order_acquire)) {
        return true;
    }
    if (!DriverDeviceLost(descr.handle)) {
        return false; // a failure the next call may not meet again
    }
    if (descr.lost.exchange(true, std::memory_order_acq_rel)) {
        return true; // the other thread got here first and told the hook
    }
    LossHook hook = nullptr;
    std::int32_t argument = 0;
    {
        std::lock_guard guard(hookMutex);
        hook = lossHook;
        argument = lossHookArgument;
    }
    if (hook) {
        hook(link, argument);
    }
    return true;
}

bool InterfaceLost(const DeviceLink& link) {
    return IsRegistered(link.device) && link.device->lost.load(std::memory_order_acquire);
}

} // namespace tarvio
