#pragma once
// Reads a list-mode file: its header and end attributes, and its events in runs, a time
// range at a time, without holding the whole file in memory. A file whose writer was killed
// (or is still writing) is still marked open for writing; HDF5 refuses to open it plainly,
// so the reader then opens it in single-writer/multiple-reader read mode, which reads it up
// to the writer's last flush. The file itself is never changed.

#include "listmode/Hdf5Support.h"
#include "records/EnergyCalibration.h"
#include "records/Measurement.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>

namespace tarvio {

struct ListFileInfo {
    // Start and operating point; the times and counts too when the measurement ended in the
    // recording.
    MeasurementInfo measurement;
    std::optional<EnergyCalibration> calibration;
    std::uint64_t events = 0;
    std::uint32_t sampleWidth = 0;   // 0: recorded without samples
    bool finished = false;           // closed properly, its end noted
    bool measurementEnded = false;   // the measurement ended while it recorded
    bool openedWhileWriting = false; // killed, or still being written: read to its last flush
    // The time the recording covers from the start: as noted at its end, or for an
    // unfinished file, up to its last event.
    std::int64_t recordedUntilNs = 0;
    std::uint64_t droppedEvents = 0;
    std::string stopReason;
};

struct TimeRange {
    std::int64_t fromNs = 0;
    std::int64_t toNs = std::numeric_limits<std::int64_t>::max(); // excluded

    bool contains(std::int64_t ns) const { return ns >= fromNs && ns < toNs; }
};

// A run of consecutive events; the pointers are valid during the call only.
struct ListEvents {
    std::size_t count = 0;
    std::uint64_t first = 0; // the file's index of the first of them (for its samples)
    const std::int64_t* timeNs = nullptr;
    const double* height = nullptr;
    const std::uint32_t* flags = nullptr;
};

class ListFileReader {
public:
    // Throws ListFileError naming the file and why it cannot be read.
    explicit ListFileReader(const std::string& path);

    const ListFileInfo& info() const { return info_; }

    // The events whose time lies in range, in file order.
    void forEach(const TimeRange& range, const std::function<void(const ListEvents&)>& visit);

    // The raw samples of one event (sample_count of them); empty without samples.
    std::vector<std::uint16_t> samples(std::uint64_t event);

    // For a file still being written: takes up what the writer has flushed since.
    void refresh();

private:
    void readHeader();
    std::uint64_t usableEvents();
    std::string path_;
    H5Handle file_;
    H5Handle time_, height_, flags_, sampleCount_, samples_;
    ListFileInfo info_;
};

} // namespace tarvio
