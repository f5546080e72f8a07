#include "tango/TangoDevice.h"

#include "tango/SessionAdapter.h"

#include <chrono>
#include <iostream>

namespace tarvio {

Tango::DevState tangoState(DeviceStateKind kind) {
    switch (kind) {
    case DeviceStateKind::On:
        return Tango::ON;
    case DeviceStateKind::Running:
        return Tango::RUNNING;
    case DeviceStateKind::Fault:
        return Tango::FAULT;
    case DeviceStateKind::Off:
        break;
    }
    return Tango::OFF;
}

namespace {

// Attributes whose changes the pump pushes; Tango is told so, and checks no criteria.
constexpr const char* PushedAttributes[] = {"State", "Counts", "RealTime", "LiveTime", "Spectrum"};

} // namespace

TangoDevice::TangoDevice(Tango::DeviceClass* deviceClass, const std::string& name)
    : Tango::Device_4Impl(deviceClass, name.c_str()) {
    init_device();
}

TangoDevice::~TangoDevice() {
    delete_device();
}

void TangoDevice::readProperties(std::string& interfaceProperty, std::string& settingsFile) {
    if (!Tango::Util::_UseDb)
        return;
    Tango::DbData data;
    data.push_back(Tango::DbDatum("Interface"));
    data.push_back(Tango::DbDatum("SettingsFile"));
    get_db_device()->get_property(data);
    if (!data[0].is_empty())
        data[0] >> interfaceProperty;
    if (!data[1].is_empty())
        data[1] >> settingsFile;
}

void TangoDevice::init_device() {
    std::string interfaceProperty, settingsFile;
    readProperties(interfaceProperty, settingsFile);
    session_ = std::make_unique<SessionAdapter>(interfaceProperty, settingsFile);
    session_->setStateListener([this] { changed(); });
    for (const char* name : PushedAttributes)
        set_change_event(name, true, false);
    // The device opens its interface at once, so that a server started by a site's starter
    // is ready to measure; a failure leaves it OFF with the reason in Status.
    if (!session_->open())
        std::cerr << get_name() << ": " << session_->lastProblem() << '\n';
    refreshState(session_->status(), session_->opened());
    {
        std::lock_guard<std::mutex> lock(pumpMutex_);
        stopping_ = false;
    }
    pump_ = std::thread([this] { pump(); });
}

void TangoDevice::delete_device() {
    if (!session_)
        return;
    {
        std::lock_guard<std::mutex> lock(pumpMutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (pump_.joinable())
        pump_.join();
    session_->setStateListener({});
    session_->shutdown();
    if (const std::string record = session_->simulatorRecord(); !record.empty())
        std::cerr << get_name() << ": " << record << '\n';
    session_.reset();
}

DeviceSession& TangoDevice::session() {
    if (!session_)
        Tango::Except::throw_exception("TARVIO_NoSession", "The device is being reinitialised.",
                                       "TangoDevice::session");
    return *session_;
}

DeviceStateKind TangoDevice::refreshState(const MeasurementStatus& status, bool opened) {
    const DeviceStateKind kind = deviceStateOf(opened, status.state);
    set_state(tangoState(kind));
    status_ =
        deviceStatusText(kind, status.state, session_->interfaceName(), session_->lastProblem());
    set_status(status_);
    return kind;
}

Tango::DevState TangoDevice::dev_state() {
    if (!session_)
        return Tango::OFF;
    return tangoState(refreshState(session_->status(), session_->opened()));
}

Tango::ConstDevString TangoDevice::dev_status() {
    dev_state();
    return status_.c_str();
}

void TangoDevice::changed() {
    {
        std::lock_guard<std::mutex> lock(pumpMutex_);
        woken_ = true;
    }
    wake_.notify_all();
}

void TangoDevice::pump() {
    using Clock = std::chrono::steady_clock;
    const auto period =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / RefreshHz));
    auto nextSpectrum = Clock::now();
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(pumpMutex_);
            wake_.wait_for(lock, period, [this] { return stopping_ || woken_; });
            if (stopping_)
                return;
            woken_ = false;
        }
        const auto now = Clock::now();
        const bool spectrumDue = now >= nextSpectrum;
        if (spectrumDue)
            nextSpectrum = now + period;
        try {
            // Pushing touches the attributes a client may be reading: under the device's lock,
            // as every request runs.
            Tango::AutoTangoMonitor sync(&get_dev_monitor());
            pushChanges(spectrumDue);
        } catch (const Tango::DevFailed& failure) {
            // The lock timed out (a slow command) or a client's event channel failed: the
            // next round pushes what changed.
            (void)failure;
        }
    }
}

void TangoDevice::pushChanges(bool spectrumDue) {
    if (!session_)
        return;
    const MeasurementStatus status = session_->status();
    const DeviceStateKind kind = refreshState(status, session_->opened());
    if (kind != pushedState_) {
        pushedState_ = kind;
        push_change_event("State");
    }
    // Tango may keep the address of a pushed value: it lives in the device.
    if (status.info.acceptedCount != pushedCounts_) {
        pushedCounts_ = status.info.acceptedCount;
        pushCounts_ = static_cast<Tango::DevLong64>(pushedCounts_);
        push_change_event("Counts", &pushCounts_);
    }
    if (const double real = status.info.realSeconds.value_or(0.0); real != pushReal_) {
        pushReal_ = real;
        push_change_event("RealTime", &pushReal_);
    }
    if (const double live = status.info.liveSeconds.value_or(0.0); live != pushLive_) {
        pushLive_ = live;
        push_change_event("LiveTime", &pushLive_);
    }
    if (spectrumDue && status.info.acceptedCount != spectrumCounts_) {
        spectrumCounts_ = status.info.acceptedCount;
        session_->spectrum(pushBuffer_);
        push_change_event("Spectrum", pushBuffer_.counts.data(), SpectrumChannels);
    }
}

} // namespace tarvio
