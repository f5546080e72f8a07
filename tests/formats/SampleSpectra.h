#pragma once
// Spectra that exercise every field the formats carry.

#include "formats/MeasuredSpectrum.h"

#include <clocale>
#include <locale>

namespace tarvio::test {

// 4096 channels with counts beyond 32 and 53 bits, a millisecond start and times, a
// calibration whose coefficients need every digit, the whole operating point, an unfinished
// measurement.
inline MeasuredSpectrum fullSample() {
    MeasuredSpectrum s;
    s.counts.resize(4096);
    for (std::size_t i = 0; i < s.counts.size(); ++i)
        s.counts[i] = (i * 7919) % 1001;
    s.counts[0] = 0;
    s.counts[100] = (std::uint64_t{1} << 31) + 5;
    s.counts[2000] = (std::uint64_t{1} << 32) + 7;
    s.counts[4094] = (std::uint64_t{1} << 53) + 1;
    s.counts[4095] = 1048576;                 // would read back as 1048580 from "1.04858e+06"
    s.measurement.startUtcMs = 1714566896789; // 2024-05-01T12:34:56.789Z
    s.measurement.realSeconds = 604800.123;
    s.measurement.liveSeconds = 598123.456;
    s.measurement.ended = false;
    s.measurement.operatingPoint = {
        "Medipix2 ver 2.0 simulated: SIM0001", "Timepix J05-W0087", 52.5, 0.4565, 0.2, 450};
    s.calibration = EnergyCalibration{{-2.5000000000000004, 0.62000000000000011, 1.25e-7}};
    s.title = "Am-241 through 2 mm Al";
    s.remarks = {"Source 10 cm above the detector", "Door closed"};
    return s;
}

// A spectrum that knows nothing but its counts.
inline MeasuredSpectrum bareSample() {
    MeasuredSpectrum s;
    s.counts = {0, 3, 1, 4, 1, 5};
    s.measurement.ended = true;
    return s;
}

// A decimal comma for the C++ global locale and, where the machine has one, the C locale.
class CommaLocale {
public:
    CommaLocale() : saved_(std::locale()) {
        struct Comma : std::numpunct<char> {
            char do_decimal_point() const override { return ','; }
        };
        std::locale::global(std::locale(std::locale::classic(), new Comma));
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"}) {
            if (std::setlocale(LC_NUMERIC, name))
                break;
        }
    }
    ~CommaLocale() {
        std::locale::global(saved_);
        std::setlocale(LC_NUMERIC, "C");
    }
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

private:
    std::locale saved_;
};

} // namespace tarvio::test
