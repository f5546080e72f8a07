#pragma once
// Settings of the simulated readout interface. Users set the first few in the [Simulator]
// section of settings.ini (Enabled, Source, Activity, Chips, Seed, Faults, FaultRate, WireRate,
// Noise, BaselineWander, PileUp); the rest are for tests and benchmarks. Values out of range are
// replaced by their defaults (sanitized()).

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvio {

// Radioactive source in front of the simulated detector.
enum class SimSource : std::uint8_t {
    Am241, // 59.54 keV with the Np L X-rays at 13.9, 17.8, 20.8 and 26.3 keV
    Co57,  // 122.06, 136.47 and 14.41 keV
    Cs137, // 661.7 keV and the Ba K X-rays at 32.0 and 36.4 keV
};

// Chips on the simulated chipboard.
enum class SimChipKind : std::uint8_t {
    Medipix2, // plain Medipix2, 13-bit counters, identifier taken from the USB description
    Mxr,      // Medipix2 MXR, 14-bit counters
    Timepix,  // Timepix, 14-bit counters
};

// Faults the simulated interface commits on its own at random moments, one bit per kind, so
// that anyone can watch the program recover without writing code. Names as in settings.ini.
enum SimFaultFlag : std::uint32_t {
    SimFaultDrop = 1u << 0,      // "drop": bytes of a message never reach the wire
    SimFaultCorrupt = 1u << 1,   // "corrupt": bytes of a message are inverted
    SimFaultInsert = 1u << 2,    // "insert": stray bytes go out before a message
    SimFaultCut = 1u << 3,       // "cut": a message is cut short
    SimFaultSilence = 1u << 4,   // "silence": a command gets no answer at all
    SimFaultWrongCode = 1u << 5, // "wrongcode": a command is answered with another's code
    SimFaultError = 1u << 6,     // "error": an error line goes out before a message
    SimFaultUnplug = 1u << 7,    // "unplug": the cable is pulled, plugged back a while later
};

struct SimFaultName {
    const char* name;
    std::uint32_t flag;
};

inline constexpr SimFaultName SimFaultNames[] = {
    {"drop", SimFaultDrop},   {"corrupt", SimFaultCorrupt}, {"insert", SimFaultInsert},
    {"cut", SimFaultCut},     {"silence", SimFaultSilence}, {"wrongcode", SimFaultWrongCode},
    {"error", SimFaultError}, {"unplug", SimFaultUnplug},
};

inline constexpr std::uint32_t SimFaultAll = (SimFaultUnplug << 1) - 1;

struct SimulatorConfig {
    bool enabled = true;
    SimSource source = SimSource::Am241;
    double activity = 2000.0; // photons per second reaching the detector
    int chips = 1;            // 1..4
    SimChipKind chipKind = SimChipKind::Medipix2;
    int resetRetries = 0;    // extra "!Unit is on line. " prefixes in the reset answer
    std::uint64_t seed = 1;  // same seed, same pulses and frames
    double wireRate = 1.0e6; // bytes per second reaching the receive queue
    bool fastMode = false;   // no pacing: bytes at once, next pulse as soon as the queue empties
    std::uint64_t pulseLimit = 0; // stop triggering after this many pulses (0 = no limit)
    std::string serialNumber = "SIM0001";
    std::uint32_t faults = 0; // SimFaultFlag bits of the faults committed on its own
    double faultRate = 0.0;   // such faults per second, on average
    // The pulse's imperfections. The defaults give the steady, single-photon pulses of old,
    // sample for sample.
    double noiseCodes = 2.0;          // sigma of the converter noise on every sample
    double baselineWanderCodes = 0.0; // sigma of the baseline's slow wander (0: steady)
    bool pileUp = false; // a second photon may land inside the record, at the source's rate

    static constexpr int MaxChips = 4;
    static constexpr int MaxResetRetries = 16;
    static constexpr double MaxActivity = 1.0e7;
    static constexpr double MaxFaultRate = 1000.0;
    static constexpr double MaxNoiseCodes = 500.0;
};

// The config with every out-of-range value replaced by its default.
inline SimulatorConfig sanitized(SimulatorConfig config) {
    const SimulatorConfig defaults;
    if (config.chips < 1 || config.chips > SimulatorConfig::MaxChips)
        config.chips = defaults.chips;
    if (!(config.activity > 0.0 && config.activity <= SimulatorConfig::MaxActivity))
        config.activity = defaults.activity;
    if (config.resetRetries < 0 || config.resetRetries > SimulatorConfig::MaxResetRetries)
        config.resetRetries = defaults.resetRetries;
    if (!(config.wireRate >= 1.0 && config.wireRate <= 1.0e10))
        config.wireRate = defaults.wireRate;
    if (config.serialNumber.empty() || config.serialNumber.size() > 16)
        config.serialNumber = defaults.serialNumber;
    if (!(config.faultRate >= 0.0 && config.faultRate <= SimulatorConfig::MaxFaultRate))
        config.faultRate = defaults.faultRate;
    if (!(config.noiseCodes >= 0.0 && config.noiseCodes <= SimulatorConfig::MaxNoiseCodes))
        config.noiseCodes = defaults.noiseCodes;
    if (!(config.baselineWanderCodes >= 0.0 &&
          config.baselineWanderCodes <= SimulatorConfig::MaxNoiseCodes))
        config.baselineWanderCodes = defaults.baselineWanderCodes;
    config.faults &= SimFaultAll;
    return config;
}

// A list of fault names separated by commas or blanks ("drop, cut, unplug"), or "all", or
// "none"; case-insensitive. Returns false and leaves `faults` alone when a name is unknown.
inline bool parseSimFaults(std::string_view text, std::uint32_t& faults) {
    std::uint32_t parsed = 0;
    std::string word;
    auto take = [&]() {
        if (word.empty())
            return true;
        bool known = word == "none";
        if (word == "all") {
            parsed |= SimFaultAll;
            known = true;
        }
        for (const SimFaultName& entry : SimFaultNames) {
            if (word == entry.name) {
                parsed |= entry.flag;
                known = true;
            }
        }
        word.clear();
        return known;
    };
    for (char c : text) {
        if (c == ',' || c == ' ' || c == '\t') {
            if (!take())
                return false;
            continue;
        }
        word += static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
    }
    if (!take())
        return false;
    faults = parsed;
    return true;
}

// Names as written in settings.ini: "Am-241", "Co-57", "Cs-137" (case-insensitive, the hyphen
// optional). Returns false and leaves `source` alone for any other text.
inline bool parseSimSource(std::string_view text, SimSource& source) {
    std::string key;
    for (char c : text) {
        if (c == '-' || c == ' ' || c == '\t')
            continue;
        key += static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
    }
    if (key == "am241") {
        source = SimSource::Am241;
    } else if (key == "co57") {
        source = SimSource::Co57;
    } else if (key == "cs137") {
        source = SimSource::Cs137;
    } else {
        return false;
    }
    return true;
}

inline const char* simSourceName(SimSource source) {
    switch (source) {
    case SimSource::Co57:
        return "Co-57";
    case SimSource::Cs137:
        return "Cs-137";
    case SimSource::Am241:
        break;
    }
    return "Am-241";
}

} // namespace tarvio
