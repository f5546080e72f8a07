// Each attribute is a reader and, when writable, a check and a writer: one session call plus
// the conversion to the attribute's unit.

#include "tango/TangoAttributes.h"

#include "analysis/RegionFigures.h"
#include "settings/AnalysisSettings.h"
#include "spectrometer/DeadTime.h"
#include "tango/Limits.h"
#include "tango/TangoDevice.h"

#include <cmath>
#include <functional>
#include <limits>
#include <type_traits>

namespace tarvio {

void refuse(const std::string& message, const char* origin) {
    Tango::Except::throw_exception("TARVIO_ValueRefused", message, origin);
}

namespace {

TangoDevice& device(Tango::DeviceImpl* impl) {
    return *static_cast<TangoDevice*>(impl);
}

void interfaceRefused(const char* attribute) {
    Tango::Except::throw_exception("TARVIO_InterfaceFailed",
                                   std::string("The interface did not take ") + attribute +
                                       "; the log of the server says why.",
                                   attribute);
}

void describe(Tango::Attr& attribute, const char* unit, const char* description) {
    Tango::UserDefaultAttrProp properties;
    if (unit[0] != '\0')
        properties.set_unit(unit);
    properties.set_description(description);
    attribute.set_default_properties(properties);
}

// Slots handed out to the scalar attributes, in the device's scalar storage.
std::size_t slots = 0;

// A scalar: a reader giving nullopt when the value is not known (the attribute is then
// INVALID), and for a writable one a writer that checks first.
template <typename T> class Scalar : public Tango::Attr {
public:
    using Reader = std::function<std::optional<T>(TangoDevice&)>;
    using Writer = std::function<void(TangoDevice&, T)>;

    Scalar(const char* name, long type, Reader reader, Writer writer = {})
        : Tango::Attr(name, type, writer ? Tango::READ_WRITE : Tango::READ),
          reader_(std::move(reader)), writer_(std::move(writer)), slot_(slots++) {}

    void read(Tango::DeviceImpl* impl, Tango::Attribute& attribute) override {
        TangoDevice& d = device(impl);
        if (const std::optional<T> value = reader_(d)) {
            attribute.set_value(d.scalarSlot(slot_, *value));
        } else {
            attribute.set_quality(Tango::ATTR_INVALID);
        }
    }
    void write(Tango::DeviceImpl* impl, Tango::WAttribute& attribute) override {
        T value{};
        attribute.get_write_value(value);
        writer_(device(impl), value);
    }

private:
    Reader reader_;
    Writer writer_;
    std::size_t slot_;
};

// A writable array of 64-bit integers.
class LongArray : public Tango::SpectrumAttr {
public:
    using Reader = std::function<std::vector<Tango::DevLong64>(TangoDevice&)>;
    using Writer = std::function<void(TangoDevice&, const std::vector<std::int64_t>&)>;

    LongArray(const char* name, long maxLength, Reader reader, Writer writer)
        : Tango::SpectrumAttr(name, Tango::DEV_LONG64, Tango::READ_WRITE, maxLength),
          reader_(std::move(reader)), writer_(std::move(writer)) {}

    void read(Tango::DeviceImpl* impl, Tango::Attribute& attribute) override {
        TangoDevice& d = device(impl);
        d.longs = reader_(d);
        attribute.set_value(d.longs.data(), static_cast<long>(d.longs.size()));
    }
    void write(Tango::DeviceImpl* impl, Tango::WAttribute& attribute) override {
        const Tango::DevLong64* data = nullptr;
        attribute.get_write_value(data);
        const long length = attribute.get_write_value_length();
        std::vector<std::int64_t> values(data, data + (data ? length : 0));
        writer_(device(impl), values);
    }

private:
    Reader reader_;
    Writer writer_;
};

// A read-only array of doubles: a spectrum (Base SpectrumAttr) or an image (ImageAttr).
template <typename Base> class DoubleArray : public Base {
public:
    // Fills the device's doubles and says the dimensions (y 0 for a spectrum).
    using Reader = std::function<void(TangoDevice&, long& x, long& y)>;

    DoubleArray(const char* name, long maxX, long maxY,
                Reader reader) requires std::is_same_v<Base, Tango::ImageAttr>
        : Base(name, Tango::DEV_DOUBLE, Tango::READ, maxX, maxY), reader_(std::move(reader)) {}
    DoubleArray(const char* name, long maxX,
                Reader reader) requires std::is_same_v<Base, Tango::SpectrumAttr>
        : Base(name, Tango::DEV_DOUBLE, Tango::READ, maxX), reader_(std::move(reader)) {}

    void read(Tango::DeviceImpl* impl, Tango::Attribute& attribute) override {
        TangoDevice& d = device(impl);
        long x = 0, y = 0;
        reader_(d, x, y);
        attribute.set_value(d.doubles.data(), x, y);
    }

private:
    Reader reader_;
};

class SpectrumCounts : public Tango::SpectrumAttr {
public:
    SpectrumCounts()
        : Tango::SpectrumAttr("Spectrum", Tango::DEV_ULONG, Tango::READ, SpectrumChannels) {}
    void read(Tango::DeviceImpl* impl, Tango::Attribute& attribute) override {
        TangoDevice& d = device(impl);
        d.session().spectrum(d.spectrumBuffer);
        attribute.set_value(d.spectrumBuffer.counts.data(), SpectrumChannels);
    }
};

class PulseSamples : public Tango::SpectrumAttr {
public:
    PulseSamples()
        : Tango::SpectrumAttr("Pulse", Tango::DEV_USHORT, Tango::READ, MaxPulseSamples) {}
    void read(Tango::DeviceImpl* impl, Tango::Attribute& attribute) override {
        TangoDevice& d = device(impl);
        d.session().pulse(d.pulseBuffer);
        attribute.set_value(d.pulseBuffer.samples.data(),
                            static_cast<long>(d.pulseBuffer.deliveredCount));
    }
};

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// Columns of RegionFigures, one row per region.
constexpr long FigureColumns = 12;

void regionFigureRows(TangoDevice& d, long& x, long& y) {
    DeviceSession& session = d.session();
    const std::vector<RegionFigures> figures = session.regionFigures();
    const auto calibration = session.calibration();
    d.doubles.clear();
    for (const RegionFigures& f : figures) {
        const RegionEnergyFigures e =
            calibration ? regionEnergyFigures(f, *calibration) : RegionEnergyFigures{};
        const double row[FigureColumns] = {double(f.region.first),
                                           double(f.region.last),
                                           f.gross,
                                           f.net,
                                           f.netUncertainty,
                                           f.netRate.value_or(NaN),
                                           f.centroid.value_or(NaN),
                                           f.fwhm.value_or(NaN),
                                           f.resolutionPercent.value_or(NaN),
                                           e.centroidKeV.value_or(NaN),
                                           e.fwhmKeV.value_or(NaN),
                                           e.resolutionPercent.value_or(NaN)};
        d.doubles.insert(d.doubles.end(), row, row + FigureColumns);
    }
    x = FigureColumns;
    y = static_cast<long>(figures.size());
}

template <typename T> std::optional<T> known(std::optional<double> value) {
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    return static_cast<T>(*value);
}

void addPresetAttributes(std::vector<Tango::Attr*>& list) {
    auto* real = new Scalar<Tango::DevDouble>(
        "PresetRealTime", Tango::DEV_DOUBLE,
        [](TangoDevice& d) { return std::optional(d.session().presets().realSeconds.value_or(0)); },
        [](TangoDevice& d, double seconds) {
            if (const Refusal r = checkPresetSeconds("PresetRealTime", seconds))
                refuse(*r, "PresetRealTime");
            MeasurementPresets p = d.session().presets();
            p.realSeconds = seconds > 0 ? std::optional(seconds) : std::nullopt;
            d.session().setPresets(p);
        });
    describe(*real, "s", "Real time at which a measurement ends by itself; 0: no preset");
    auto* live = new Scalar<Tango::DevDouble>(
        "PresetLiveTime", Tango::DEV_DOUBLE,
        [](TangoDevice& d) { return std::optional(d.session().presets().liveSeconds.value_or(0)); },
        [](TangoDevice& d, double seconds) {
            if (const Refusal r = checkPresetSeconds("PresetLiveTime", seconds))
                refuse(*r, "PresetLiveTime");
            MeasurementPresets p = d.session().presets();
            p.liveSeconds = seconds > 0 ? std::optional(seconds) : std::nullopt;
            d.session().setPresets(p);
        });
    describe(*live, "s", "Live time at which a measurement ends by itself; 0: no preset");
    auto* counts = new Scalar<Tango::DevLong64>(
        "PresetCounts", Tango::DEV_LONG64,
        [](TangoDevice& d) {
            return std::optional<Tango::DevLong64>(d.session().presets().counts.value_or(0));
        },
        [](TangoDevice& d, Tango::DevLong64 value) {
            if (const Refusal r = checkPresetCounts(value))
                refuse(*r, "PresetCounts");
            MeasurementPresets p = d.session().presets();
            p.counts = value > 0 ? std::optional<std::uint64_t>(value) : std::nullopt;
            d.session().setPresets(p);
        });
    describe(*counts, "counts", "Counts at which a measurement ends by itself; 0: no preset");
    auto* region = new LongArray(
        "PresetRegion", 4,
        [](TangoDevice& d) {
            std::vector<Tango::DevLong64> v;
            if (const auto r = d.session().presets().region)
                v = {r->first, r->last, static_cast<Tango::DevLong64>(r->counts), r->gross};
            return v;
        },
        [](TangoDevice& d, const std::vector<std::int64_t>& values) {
            const RegionPresetValue value = parseRegionPreset(values);
            if (value.refusal)
                refuse(*value.refusal, "PresetRegion");
            MeasurementPresets p = d.session().presets();
            p.region = value.preset;
            d.session().setPresets(p);
        });
    describe(*region, "",
             "Counts in a region at which a measurement ends by itself: first channel, last "
             "channel, counts (net above the edges' background), 1 for gross counts; empty: none");
    list.insert(list.end(), {real, live, counts, region});
}

void addOperatingPointAttributes(std::vector<Tango::Attr*>& list) {
    auto* bias = new Scalar<Tango::DevLong>(
        "Bias", Tango::DEV_LONG,
        [](TangoDevice& d) {
            return std::optional<Tango::DevLong>(d.session().operatingPoint().biasVolts);
        },
        [](TangoDevice& d, Tango::DevLong volts) {
            if (const Refusal r = checkBias(volts, d.session().biasRange()))
                refuse(*r, "Bias");
            if (!d.session().setBias(volts))
                interfaceRefused("Bias");
        });
    describe(*bias, "V", "Detector bias, BiasMin to BiasMax; applied while BiasOn");
    auto* biasOn = new Scalar<Tango::DevBoolean>(
        "BiasOn", Tango::DEV_BOOLEAN,
        [](TangoDevice& d) {
            return std::optional<Tango::DevBoolean>(d.session().operatingPoint().biasOn);
        },
        [](TangoDevice& d, Tango::DevBoolean on) {
            if (!d.session().setBiasOn(on))
                interfaceRefused("BiasOn");
        });
    describe(*biasOn, "", "Whether the bias is switched on");
    auto* biasMax = new Scalar<Tango::DevLong>("BiasMax", Tango::DEV_LONG, [](TangoDevice& d) {
        const BiasRange r = d.session().biasRange();
        return std::optional<Tango::DevLong>(std::max(r.min, r.max));
    });
    describe(*biasMax, "V", "The highest bias the server accepts (BiasMax of the settings)");
    auto* biasMin = new Scalar<Tango::DevLong>("BiasMin", Tango::DEV_LONG, [](TangoDevice& d) {
        const BiasRange r = d.session().biasRange();
        return std::optional<Tango::DevLong>(std::min(r.min, r.max));
    });
    describe(*biasMin, "V", "The lowest bias the server accepts (BiasMin of the settings)");
    auto* threshold = new Scalar<Tango::DevDouble>(
        "Threshold", Tango::DEV_DOUBLE,
        [](TangoDevice& d) { return std::optional(d.session().operatingPoint().thresholdVolts); },
        [](TangoDevice& d, double volts) {
            if (const Refusal r = checkThreshold(volts))
                refuse(*r, "Threshold");
            if (!d.session().setThreshold(volts))
                interfaceRefused("Threshold");
        });
    describe(*threshold, "V", "Discriminator threshold, 0 to 2.5 V");
    auto* delay = new Scalar<Tango::DevDouble>(
        "Delay", Tango::DEV_DOUBLE,
        [](TangoDevice& d) {
            return std::optional(d.session().operatingPoint().delaySeconds * 1000.0);
        },
        [](TangoDevice& d, double milliseconds) {
            if (const Refusal r = checkDelay(milliseconds))
                refuse(*r, "Delay");
            if (!d.session().setDelay(milliseconds / 1000.0))
                interfaceRefused("Delay");
        });
    describe(*delay, "ms", "Interval the interface waits after every pulse; from the next Start");
    auto* samples = new Scalar<Tango::DevLong>(
        "Samples", Tango::DEV_LONG,
        [](TangoDevice& d) {
            return std::optional<Tango::DevLong>(d.session().operatingPoint().samples);
        },
        [](TangoDevice& d, Tango::DevLong count) {
            if (const Refusal r = checkSamples(count))
                refuse(*r, "Samples");
            if (!d.session().setSamples(static_cast<std::uint16_t>(count)))
                interfaceRefused("Samples");
        });
    describe(*samples, "", "Samples per pulse, 1 to 450");
    list.insert(list.end(), {bias, biasOn, biasMax, biasMin, threshold, delay, samples});
}

void addReadings(std::vector<Tango::Attr*>& list) {
    auto* real = new Scalar<Tango::DevDouble>("RealTime", Tango::DEV_DOUBLE, [](TangoDevice& d) {
        return std::optional(d.session().status().info.realSeconds.value_or(0.0));
    });
    describe(*real, "s", "Elapsed time of the measurement");
    auto* live = new Scalar<Tango::DevDouble>("LiveTime", Tango::DEV_DOUBLE, [](TangoDevice& d) {
        return std::optional(d.session().status().info.liveSeconds.value_or(0.0));
    });
    describe(*live, "s", "Real time less the estimated dead time");
    auto* counts = new Scalar<Tango::DevLong64>("Counts", Tango::DEV_LONG64, [](TangoDevice& d) {
        return std::optional<Tango::DevLong64>(d.session().status().info.acceptedCount);
    });
    describe(*counts, "counts", "Pulses counted into the spectrum");
    auto* accepted =
        new Scalar<Tango::DevDouble>("AcceptedRate", Tango::DEV_DOUBLE, [](TangoDevice& d) {
            return known<double>(d.session().status().rates.accepted);
        });
    describe(*accepted, "1/s", "Counts per second of real time");
    auto* input = new Scalar<Tango::DevDouble>("InputRate", Tango::DEV_DOUBLE, [](TangoDevice& d) {
        return known<double>(d.session().status().rates.input);
    });
    describe(*input, "1/s",
             "Estimated pulses per second reaching the detector (dead-time corrected)");
    auto* dead = new Scalar<Tango::DevDouble>("DeadTime", Tango::DEV_DOUBLE, [](TangoDevice& d) {
        const auto fraction = d.session().status().rates.liveFraction;
        return fraction ? known<double>(100.0 * (1.0 - *fraction)) : std::nullopt;
    });
    describe(*dead, "%", "Share of the real time the interface was blind");
    list.insert(list.end(), {real, live, counts, accepted, input, dead});

    auto* axis = new DoubleArray<Tango::SpectrumAttr>(
        "EnergyAxis", SpectrumChannels, [](TangoDevice& d, long& x, long& y) {
            d.doubles.clear();
            if (const auto c = d.session().calibration())
                for (std::uint32_t channel = 0; channel < SpectrumChannels; ++channel)
                    d.doubles.push_back(c->energy(channel));
            x = static_cast<long>(d.doubles.size());
            y = 0;
        });
    describe(*axis, "keV", "Energy of every channel; empty while uncalibrated");
    auto* coefficients = new DoubleArray<Tango::SpectrumAttr>(
        "CalibrationCoefficients", 3, [](TangoDevice& d, long& x, long& y) {
            d.doubles.clear();
            if (const auto c = d.session().calibration())
                d.doubles.assign(c->coefficients.begin(), c->coefficients.end());
            x = static_cast<long>(d.doubles.size());
            y = 0;
        });
    describe(*coefficients, "", "keV = c0 + c1 channel + c2 channel^2; empty while uncalibrated");
    auto* figures = new DoubleArray<Tango::ImageAttr>("RegionFigures", FigureColumns, MaxRegions,
                                                      regionFigureRows);
    describe(*figures, "",
             "One row per region: first, last, gross, net, net uncertainty, net rate (1/s), "
             "centroid, FWHM, resolution (%) in channels, then centroid, FWHM (keV), "
             "resolution (%) on the energy axis; NaN where a figure is absent");
    auto* regions = new LongArray(
        "Regions", 2 * MaxRegions,
        [](TangoDevice& d) {
            std::vector<Tango::DevLong64> v;
            for (const Region& r : d.session().regions())
                v.insert(v.end(), {r.first, r.last});
            return v;
        },
        [](TangoDevice& d, const std::vector<std::int64_t>& values) {
            const RegionsValue value = parseRegions(values);
            if (value.refusal)
                refuse(*value.refusal, "Regions");
            d.session().setRegions(value.regions);
        });
    describe(*regions, "", "Regions of interest: first and last channel of each, in turn");
    list.insert(list.end(),
                {new SpectrumCounts, new PulseSamples, axis, coefficients, figures, regions});

    auto* simulated =
        new Scalar<Tango::DevLong64>("SimulatorCommands", Tango::DEV_LONG64, [](TangoDevice& d) {
            const auto commands = d.session().simulatorCommands();
            return commands ? std::optional<Tango::DevLong64>(*commands) : std::nullopt;
        });
    simulated->set_disp_level(Tango::EXPERT);
    describe(*simulated, "", "Commands a simulated interface has taken; INVALID for a real one");
    list.push_back(simulated);
}

} // namespace

void addAttributes(std::vector<Tango::Attr*>& attributes) {
    addReadings(attributes);
    addPresetAttributes(attributes);
    addOperatingPointAttributes(attributes);
}

} // namespace tarvio
