#pragma once
// The Tango device of one readout interface: a thin layer over its DeviceSession. Attribute
// reads and writes, commands and the State are one session call each; the event pump pushes
// the changes of State, Counts and the times, and the Spectrum at most at RefreshHz.

#include "tango/DeviceSession.h"
#include "tango/DeviceState.h"

#include <tango.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace tarvio {

class TangoDevice : public Tango::Device_4Impl {
public:
    // The window's refresh rate: a panel follows the spectrum as the window does.
    static constexpr double RefreshHz = 10.0;

    TangoDevice(Tango::DeviceClass* deviceClass, const std::string& name);
    ~TangoDevice() override;

    void init_device() override;
    void delete_device() override;
    Tango::DevState dev_state() override;
    Tango::ConstDevString dev_status() override;

    DeviceSession& session();
    // Wakes the event pump: a command changed the state.
    void changed();

    // Buffers the array attributes hand to Tango; they stay valid until the next read,
    // which the device's lock serialises.
    Spectrum spectrumBuffer;
    PulseBuffer pulseBuffer;
    std::vector<double> doubles;
    std::vector<Tango::DevLong64> longs;
    // Tango keeps the address of a scalar too: one slot per scalar attribute.
    template <typename T> T* scalarSlot(std::size_t index, T value) {
        static_assert(sizeof(T) <= sizeof(ScalarSlot) && alignof(T) <= alignof(ScalarSlot));
        return new (&scalars_.at(index)) T(value);
    }

private:
    struct alignas(8) ScalarSlot {
        unsigned char bytes[8];
    };
    std::array<ScalarSlot, 64> scalars_{};

    void readProperties(std::string& interfaceProperty, std::string& settingsFile);
    void pump();
    void pushChanges(bool spectrumDue);
    DeviceStateKind refreshState(const MeasurementStatus& status, bool opened);

    std::unique_ptr<DeviceSession> session_;
    std::string status_;

    std::thread pump_;
    std::mutex pumpMutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    bool woken_ = false;

    // What was pushed last, so that only changes go out.
    std::optional<DeviceStateKind> pushedState_;
    std::uint64_t pushedCounts_ = ~std::uint64_t{0};
    Tango::DevLong64 pushCounts_ = 0;
    double pushReal_ = -1, pushLive_ = -1;
    std::uint64_t spectrumCounts_ = ~std::uint64_t{0};
    Spectrum pushBuffer_;
};

// The Tango value of a state.
Tango::DevState tangoState(DeviceStateKind kind);

} // namespace tarvio
