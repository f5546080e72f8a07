#include "formats/N42Format.h"

#include "formats/FormatText.h"
#include "formats/MetadataRemarks.h"

#include <pugixml.hpp>

#include <algorithm>
#include <new>
#include <utility>

namespace tarvio {

namespace {

constexpr const char* InstrumentId = "RadInstrumentInformation-1";
constexpr const char* DetectorId = "RadDetectorInformation-1";
// The ids of the n-th measurement's elements: "RadMeasurement-1", ...
std::string numberedId(const char* kind, std::size_t n) {
    return std::string(kind) + "-" + std::to_string(n);
}
constexpr int CountsPerLine = 16;

// ---- writing

// XML 1.0 allows no control characters but tab and line breaks, and only whole UTF-8
// sequences; a USB description or a typed title must never make the file unreadable.
std::string xmlSafe(std::string_view text) {
    std::string safe;
    safe.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            const bool allowed = c >= 0x20 ? c != 0x7F : (c == '\t' || c == '\n' || c == '\r');
            safe += allowed ? static_cast<char>(c) : ' ';
            ++i;
            continue;
        }
        const std::size_t length = c >= 0xF0 && c < 0xF5 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        bool whole = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; whole && k < length; ++k)
            whole = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (whole) {
            safe.append(text.substr(i, length));
            i += length;
        } else {
            safe += '?';
            ++i;
        }
    }
    return safe;
}

void addText(pugi::xml_node parent, const char* name, std::string_view text) {
    parent.append_child(name).text().set(xmlSafe(text).c_str());
}

void addRemark(pugi::xml_node parent, std::string_view text) {
    addText(parent, "Remark", text);
}

std::string channelDataText(const std::vector<std::uint64_t>& counts) {
    std::string text;
    text.reserve(counts.size() * 8);
    for (std::size_t i = 0; i < counts.size(); ++i) {
        text += i % CountsPerLine == 0 ? '\n' : ' ';
        text += std::to_string(counts[i]);
    }
    text += '\n';
    return text;
}

void addInstrument(pugi::xml_node root, const MeasuredSpectrum& spectrum) {
    const OperatingPoint& op = spectrum.measurement.operatingPoint;
    pugi::xml_node instrument = root.append_child("RadInstrumentInformation");
    instrument.append_attribute("id") = InstrumentId;
    // The name fields allow punctuation only in one run without blanks, which a USB
    // description rarely keeps to: they hold fixed names, the description goes in free text.
    addText(instrument, "RadInstrumentManufacturerName", "Unknown");
    addText(instrument, "RadInstrumentModelName", "Medipix2 readout interface");
    std::string description = "Pulse-height spectrometer: a USB readout interface with "
                              "Medipix2 or Timepix chips and a scope digitising single "
                              "detector pulses";
    if (!op.interfaceDescription.empty())
        description += " (" + oneLine(op.interfaceDescription) + ")";
    addText(instrument, "RadInstrumentDescription", description);
    addText(instrument, "RadInstrumentClassCode", "Other");
    pugi::xml_node version = instrument.append_child("RadInstrumentVersion");
    addText(version, "RadInstrumentComponentName", "Software");
    addText(version, "RadInstrumentComponentVersion", std::string("Tarvio2 ") + TARVIO_VERSION);

    pugi::xml_node detector = root.append_child("RadDetectorInformation");
    detector.append_attribute("id") = DetectorId;
    addText(detector, "RadDetectorCategoryCode", "Gamma");
    addText(detector, "RadDetectorKindCode", "Other");
    if (!op.chipIdentifiers.empty())
        addText(detector, "RadDetectorDescription", "Chips: " + oneLine(op.chipIdentifiers));
}

void addCalibration(pugi::xml_node root, const std::optional<EnergyCalibration>& calibration,
                    std::size_t n) {
    pugi::xml_node node = root.append_child("EnergyCalibration");
    node.append_attribute("id") = numberedId("EnergyCalibration", n).c_str();
    // Every spectrum must name a calibration; without one the coefficients are all zero, which
    // no reader can take for an energy axis, and the remark says so in words.
    std::string coefficients = "0 0 0";
    if (calibration) {
        const auto& c = calibration->coefficients;
        coefficients = numberText(c[0]) + " " + numberText(c[1]) + " " + numberText(c[2]);
    } else {
        addRemark(node, remark(remark_keys::Calibration, NoCalibrationValue));
    }
    addText(node, "CoefficientValues", coefficients);
}

// The schema wants a real time above zero. A shorter one is written as the shortest the file
// shows; an unknown one (marked so in a remark) as the live time, which it cannot be below.
double realTimeToWrite(const MeasurementInfo& info) {
    constexpr double Shortest = 0.001;
    return std::max(info.realSeconds.value_or(info.liveSeconds.value_or(0.0)), Shortest);
}

void addMeasurement(pugi::xml_node root, const MeasuredSpectrum& spectrum, std::size_t n) {
    const MeasurementInfo& info = spectrum.measurement;
    pugi::xml_node measurement = root.append_child("RadMeasurement");
    measurement.append_attribute("id") = numberedId("RadMeasurement", n).c_str();
    if (!spectrum.title.empty())
        addRemark(measurement, remark(remark_keys::Title, spectrum.title));
    for (const std::string& line : operatingPointRemarks(info))
        addRemark(measurement, line);
    // The schema demands every time; one that is not known is written as a placeholder
    // and named unknown, so it reads back as unknown.
    if (!info.startUtcMs)
        addRemark(measurement, remark(remark_keys::Start, UnknownValue));
    if (!info.realSeconds)
        addRemark(measurement, remark(remark_keys::RealTime, UnknownValue));
    if (!info.liveSeconds)
        addRemark(measurement, remark(remark_keys::LiveTime, UnknownValue));
    for (const std::string& free : spectrum.remarks)
        addRemark(measurement, free);

    addText(measurement, "MeasurementClassCode", "Foreground");
    addText(measurement, "StartDateTime", utcText(info.startUtcMs.value_or(0)));
    addText(measurement, "RealTimeDuration", durationText(realTimeToWrite(info)));
    pugi::xml_node node = measurement.append_child("Spectrum");
    node.append_attribute("id") = numberedId("Spectrum", n).c_str();
    node.append_attribute("radDetectorInformationReference") = DetectorId;
    node.append_attribute("energyCalibrationReference") =
        numberedId("EnergyCalibration", n).c_str();
    addText(node, "LiveTimeDuration", durationText(info.liveSeconds.value_or(0.0)));
    pugi::xml_node data = node.append_child("ChannelData");
    data.append_attribute("compressionCode") = "None";
    data.text().set(channelDataText(spectrum.counts).c_str());
}

struct StringWriter : pugi::xml_writer {
    std::string text;
    void write(const void* data, std::size_t size) override {
        text.append(static_cast<const char*>(data), size);
    }
};

// ---- reading

std::string_view localName(pugi::xml_node node) {
    const std::string_view name = node.name();
    const std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

pugi::xml_node child(pugi::xml_node parent, std::string_view name) {
    for (pugi::xml_node node : parent.children()) {
        if (node.type() == pugi::node_element && localName(node) == name)
            return node;
    }
    return {};
}

// The first element of that name anywhere below root, in document order.
pugi::xml_node descendant(pugi::xml_node root, std::string_view name) {
    for (pugi::xml_node node = root.first_child(); node;) {
        if (node.type() == pugi::node_element && localName(node) == name)
            return node;
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node && node != root && !node.next_sibling())
            node = node.parent();
        if (!node || node == root)
            break;
        node = node.next_sibling();
    }
    return {};
}

// The first of the names found on node or its ancestors.
pugi::xml_node nearest(pugi::xml_node node, std::initializer_list<std::string_view> names) {
    for (; node; node = node.parent()) {
        for (const std::string_view name : names) {
            if (pugi::xml_node found = child(node, name))
                return found;
        }
    }
    return {};
}

std::size_t lineAt(std::string_view text, std::ptrdiff_t offset) {
    std::size_t line = 1;
    const std::size_t end =
        std::min(static_cast<std::size_t>(std::max<std::ptrdiff_t>(offset, 0)), text.size());
    for (std::size_t i = 0; i < end; ++i)
        line += text[i] == '\n' ? 1 : 0;
    return line;
}

std::vector<std::uint64_t> readChannelData(pugi::xml_node data) {
    const std::string_view compression = data.attribute("compressionCode").as_string("None");
    const bool countedZeroes = compression == "CountedZeroes";
    BlankCursor values(data.text().get());
    std::vector<std::uint64_t> counts;
    std::size_t index = 0;
    for (std::string_view piece; values.next(piece);) {
        ++index;
        const auto count = parseCount(piece);
        if (!count)
            failAtElement("ChannelData", "value " + std::to_string(index) + " " + quoted(piece) +
                                             " is not a whole count of zero or more");
        std::uint64_t repeat = 1;
        std::uint64_t value = *count;
        if (countedZeroes && *count == 0) {
            // "0 n" stands for n empty channels.
            std::string_view length;
            const auto run = values.next(length) ? parseCount(length) : std::nullopt;
            if (!run)
                failAtElement("ChannelData", "a run of zeroes without its length");
            repeat = *run;
            ++index;
        }
        if (repeat > MaxFileChannels - counts.size())
            failAtElement("ChannelData",
                          "more than " + std::to_string(MaxFileChannels) + " channels");
        counts.insert(counts.end(), static_cast<std::size_t>(repeat), value);
    }
    if (counts.empty())
        failAtElement("ChannelData", "no counts");
    return counts;
}

std::optional<EnergyCalibration> readCoefficients(pugi::xml_node calibration,
                                                  std::vector<std::string>& notes) {
    for (pugi::xml_node node : calibration.children()) {
        if (localName(node) != "Remark")
            continue;
        MeasuredSpectrum probe;
        probe.calibration = EnergyCalibration{};
        if (readRemark(node.text().get(), probe) && !probe.calibration)
            return std::nullopt;
    }
    const pugi::xml_node values = child(calibration, "CoefficientValues");
    if (!values) {
        notes.push_back("The energy calibration is not given as coefficients; the spectrum was "
                        "read without an energy axis.");
        return std::nullopt;
    }
    std::vector<double> c;
    BlankCursor pieces(values.text().get());
    std::size_t read = 0;
    for (std::string_view piece; pieces.next(piece);) {
        if (++read == MaxCoefficients) {
            notes.push_back("The energy calibration has more than three coefficients; the "
                            "spectrum was read without an energy axis.");
            return std::nullopt;
        }
        const auto value = parseNumber(piece);
        if (!value) {
            notes.push_back("Energy calibration coefficient " + quoted(piece) +
                            " is not a number; the spectrum was read without an energy axis.");
            return std::nullopt;
        }
        if (c.size() >= 3 && *value != 0.0) {
            notes.push_back("The energy calibration has more than three coefficients; the "
                            "spectrum was read without an energy axis.");
            return std::nullopt;
        }
        if (c.size() < 3)
            c.push_back(*value);
    }
    return calibrationFromFile(std::move(c));
}

pugi::xml_node findCalibration(pugi::xml_node root, pugi::xml_node spectrum) {
    const std::string_view reference = spectrum.attribute("energyCalibrationReference").as_string();
    for (pugi::xml_node node : root.children()) {
        if (localName(node) == "EnergyCalibration" &&
            (reference.empty() || reference == node.attribute("id").as_string()))
            return node;
    }
    return {};
}

// An older N42 file keeps its calibration inside the spectrum:
// <Calibration Type="Energy"><Equation><Coefficients>.
pugi::xml_node findOlderCalibration(pugi::xml_node spectrum) {
    for (pugi::xml_node node = spectrum; node; node = node.parent()) {
        for (pugi::xml_node c : node.children()) {
            if (localName(c) == "Calibration" &&
                std::string_view(c.attribute("Type").as_string("Energy")) == "Energy") {
                if (pugi::xml_node coefficients = descendant(c, "Coefficients"))
                    return coefficients;
            }
        }
    }
    return {};
}

void readTimes(pugi::xml_node spectrum, MeasurementInfo& info, std::vector<std::string>& notes) {
    if (pugi::xml_node start = nearest(spectrum, {"StartDateTime", "StartTime"})) {
        const auto parsed = parseDateTime(start.text().get());
        if (!parsed) {
            notes.push_back("The start " + quoted(start.text().get()) +
                            " is not a date and time; it was left out.");
        } else {
            info.startUtcMs = parsed->utcMs;
            if (!parsed->hadZone)
                notes.push_back("The start time has no time zone; it was taken as UTC.");
        }
    }
    auto duration = [&](std::initializer_list<std::string_view> names, std::optional<double>& out) {
        pugi::xml_node node = nearest(spectrum, names);
        if (!node)
            return;
        const auto seconds = parseDuration(node.text().get());
        if (seconds && *seconds >= 0.0)
            out = *seconds;
        else
            notes.push_back("The time " + quoted(node.text().get()) + " in <" +
                            std::string(localName(node)) + "> is not a duration; it was left out.");
    };
    duration({"RealTimeDuration", "RealTime"}, info.realSeconds);
    duration({"LiveTimeDuration", "LiveTime"}, info.liveSeconds);
}

// seen counts the remarks met so far; those beyond MaxRemarks are left out.
void readRemarks(pugi::xml_node node, MeasuredSpectrum& spectrum, std::size_t& seen) {
    for (pugi::xml_node r : node.children()) {
        if (localName(r) != "Remark" || ++seen > MaxRemarks)
            continue;
        const std::string_view text = r.text().get();
        if (!readRemark(text, spectrum) && !trim(text).empty())
            spectrum.remarks.emplace_back(text);
    }
}

// pugixml spends some 50 bytes on every element, attribute and text between tags, so a
// file of nothing but tiny elements would take twenty times its size. Each of those begins
// with '<' or holds '='; a spectrum file has few of them for its size, and one with more
// is refused before a node is built.
void checkNodeCount(std::string_view text) {
    constexpr std::size_t Allowance = 1 << 16; // any small file, however it is written
    constexpr std::size_t BytesPerNode = 32;
    const std::size_t limit = Allowance + text.size() / BytesPerNode;
    std::size_t nodes = 0;
    for (const char c : text)
        nodes += (c == '<' || c == '=') ? 1 : 0;
    if (nodes > limit)
        failAtLine(1, "too many elements and attributes for a spectrum file (" +
                          std::to_string(nodes) + " where at most " + std::to_string(limit) +
                          " fit a file of this size)");
}

void loadDocument(std::string_view text, pugi::xml_document& doc) {
    checkNodeCount(text);
    const pugi::xml_parse_result parsed =
        doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_auto);
    if (parsed.status == pugi::status_out_of_memory)
        throw std::bad_alloc(); // said as for every reader, not as a fault of the XML
    if (!parsed)
        failAtLine(lineAt(text, parsed.offset),
                   std::string("not well-formed XML: ") + parsed.description());
}

} // namespace

std::string writeN42(const MeasuredSpectrum& spectrum) {
    return writeN42Measurements({spectrum});
}

std::string writeN42Measurements(const std::vector<MeasuredSpectrum>& measurements) {
    pugi::xml_document doc;
    pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    pugi::xml_node root = doc.append_child("RadInstrumentData");
    root.append_attribute("xmlns") = N42Namespace;
    addText(root, "RadInstrumentDataCreatorName", "Tarvio2");
    addInstrument(root, measurements.empty() ? MeasuredSpectrum{} : measurements.front());
    // The schema wants every calibration before the first measurement.
    for (std::size_t i = 0; i < measurements.size(); ++i)
        addCalibration(root, measurements[i].calibration, i + 1);
    for (std::size_t i = 0; i < measurements.size(); ++i)
        addMeasurement(root, measurements[i], i + 1);

    StringWriter writer;
    doc.save(writer, "  ", pugi::format_indent, pugi::encoding_utf8);
    return writer.text;
}

MeasuredSpectrum readN42(std::string_view text, std::vector<std::string>& notes) {
    pugi::xml_document doc;
    loadDocument(text, doc);
    const pugi::xml_node root = doc.document_element();

    // The spectra of the measurements, in file order; an older layout has its spectra
    // elsewhere, so any <ChannelData> does when no measurement holds one.
    std::vector<pugi::xml_node> spectra;
    for (pugi::xml_node measurement : root.children()) {
        if (localName(measurement) != "RadMeasurement")
            continue;
        for (pugi::xml_node s : measurement.children()) {
            if (localName(s) == "Spectrum" && child(s, "ChannelData"))
                spectra.push_back(s);
        }
    }
    if (spectra.empty()) {
        if (pugi::xml_node data = descendant(root, "ChannelData"))
            spectra.push_back(data.parent());
    }
    if (spectra.empty())
        failAtElement(localName(root), "no spectrum: the file holds no <ChannelData>");
    if (spectra.size() > 1)
        notes.push_back("The file holds " + std::to_string(spectra.size()) +
                        " spectra; the first was read.");

    const pugi::xml_node spectrumNode = spectra.front();
    MeasuredSpectrum result;
    result.counts = readChannelData(child(spectrumNode, "ChannelData"));
    readTimes(spectrumNode, result.measurement, notes);

    if (pugi::xml_node calibration = findCalibration(root, spectrumNode)) {
        result.calibration = readCoefficients(calibration, notes);
    } else if (pugi::xml_node older = findOlderCalibration(spectrumNode)) {
        pugi::xml_node wrapper;
        pugi::xml_document scratch;
        wrapper = scratch.append_child("EnergyCalibration");
        wrapper.append_copy(older).set_name("CoefficientValues");
        result.calibration = readCoefficients(wrapper, notes);
    }

    // Remarks come last: a time or calibration they mark unknown was written as a
    // placeholder above.
    std::size_t remarks = 0;
    readRemarks(spectrumNode.parent(), result, remarks);
    readRemarks(spectrumNode, result, remarks);
    if (remarks > MaxRemarks)
        notes.push_back(remarksLeftOutNote(remarks));
    return result;
}

// Each measurement is read as a file of its own would be: the instrument, its calibration
// and that measurement alone, through readN42, so that both readers read a spectrum alike.
std::vector<MeasuredSpectrum> readN42Measurements(std::string_view text,
                                                  std::vector<std::string>& notes) {
    pugi::xml_document doc;
    loadDocument(text, doc);
    const pugi::xml_node root = doc.document_element();
    std::vector<pugi::xml_node> measurements;
    for (pugi::xml_node node : root.children()) {
        if (localName(node) == "RadMeasurement" && descendant(node, "ChannelData"))
            measurements.push_back(node);
    }
    if (measurements.size() <= 1)
        return {readN42(text, notes)};

    std::vector<MeasuredSpectrum> spectra;
    for (const pugi::xml_node measurement : measurements) {
        const pugi::xml_node spectrum = descendant(measurement, "ChannelData").parent();
        const std::string_view reference =
            spectrum.attribute("energyCalibrationReference").as_string();
        pugi::xml_document single;
        pugi::xml_node copy = single.append_child(root.name());
        for (pugi::xml_attribute a : root.attributes())
            copy.append_copy(a);
        for (pugi::xml_node node : root.children()) {
            const std::string_view name = localName(node);
            const bool otherCalibration =
                name == "EnergyCalibration" && reference != node.attribute("id").as_string();
            if (name != "RadMeasurement" && !otherCalibration)
                copy.append_copy(node);
        }
        copy.append_copy(measurement);
        StringWriter writer;
        single.save(writer, "", pugi::format_raw, pugi::encoding_utf8);
        spectra.push_back(readN42(writer.text, notes));
    }
    return spectra;
}

} // namespace tarvio
