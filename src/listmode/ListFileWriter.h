#pragma once
// Writes one list-mode HDF5 file in single-writer/multiple-reader mode: the header
// attributes at creation, then runs of events appended to the datasets, a flush whenever the
// caller asks (after a flush a reader, or a reader of a killed file, sees every event
// appended before it), and the end attributes once the recording is over. Not thread-safe:
// one writer thread owns it. Failures throw ListFileError naming the file and the reason.

#include "listmode/EventRing.h"
#include "listmode/Hdf5Support.h"
#include "records/EnergyCalibration.h"
#include "records/Measurement.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvio {

struct ListFileHeader {
    MeasurementInfo measurement; // start and operating point
    std::optional<EnergyCalibration> calibration;
    std::uint32_t sampleWidth = 0; // samples per row; 0: no samples recorded
};

struct ListFileEnd {
    std::int64_t recordedUntilNs = 0;
    std::optional<MeasurementInfo> measurement; // when the measurement ended in the recording
    std::uint64_t droppedEvents = 0;
    std::string stopReason; // empty when it recorded until the measurement ended
};

class ListFileWriter {
public:
    // Creates path, replacing a file of that name.
    ListFileWriter(const std::string& path, const ListFileHeader& header);

    void append(const EventRing::Run& run);
    void flush();
    std::uint64_t events() const { return events_; }
    // Bytes the file takes on disk now (cached chunks not counted).
    std::uint64_t fileBytes() const;
    // Bytes of one chunk of every dataset: how much a flush may add beyond the events.
    std::uint64_t chunkBytes() const;

    // Closes the file and writes the end attributes. The events are safe once the first
    // step succeeds; a failure of the second leaves a file without them (as after a kill).
    void finish(const ListFileEnd& end);

private:
    void createDatasets();
    void openDatasets();
    std::string path_;
    std::uint32_t sampleWidth_ = 0;
    std::uint64_t events_ = 0;
    std::vector<std::uint16_t> counts_;
    H5Handle file_;
    H5Handle time_, height_, flags_, sampleCount_, samples_;
};

// Raw bytes one event takes before compression.
std::uint64_t rawEventBytes(std::uint32_t sampleWidth);

} // namespace tarvio
