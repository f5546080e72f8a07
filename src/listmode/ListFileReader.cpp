#include "listmode/ListFileReader.h"

#include "listmode/ListModeLayout.h"

#include <algorithm>
#include <vector>

namespace tarvio {

namespace {

namespace names = list_layout;

// Events read from the file in one go.
constexpr std::uint64_t ReadEvents = 1 << 20;
constexpr std::uint32_t MostSamplesPerRow = 1 << 16;

bool saysOpenForWrite(const std::vector<std::string>& reasons) {
    return std::any_of(reasons.begin(), reasons.end(), [](const std::string& reason) {
        return reason.find("already open for write") != std::string::npos ||
               reason.find("open for write") != std::string::npos;
    });
}

H5Handle openFile(const std::string& path, bool& whileWriting) {
    whileWriting = false;
    if (hid_t plain = H5Fopen(path.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT); plain >= 0)
        return {plain, H5Fclose};
    const std::vector<std::string> reasons = hdf5Reasons();
    if (saysOpenForWrite(reasons)) {
        // Its writer was killed or still runs: what it flushed is readable this way.
        if (hid_t swmr = H5Fopen(path.c_str(), H5F_ACC_RDONLY | H5F_ACC_SWMR_READ, H5P_DEFAULT);
            swmr >= 0) {
            whileWriting = true;
            return {swmr, H5Fclose};
        }
        throw ListFileError(path +
                            ": the recording is marked open for writing and cannot be "
                            "read while written: " +
                            hdf5Reason());
    }
    if (H5Fis_hdf5(path.c_str()) <= 0) {
        H5Eclear2(H5E_DEFAULT);
        throw ListFileError(path + ": not an HDF5 file, or unreadable");
    }
    throw ListFileError(path + ": " + (reasons.empty() ? "cannot be opened" : reasons.front()));
}

H5Handle openEventSet(hid_t file, const char* name, const std::string& path, int rank,
                      bool required) {
    if (H5Lexists(file, name, H5P_DEFAULT) <= 0) {
        H5Eclear2(H5E_DEFAULT);
        if (required)
            throw ListFileError(path + ": no dataset '" + name + "': not a list-mode recording");
        return {};
    }
    H5Handle set(checked(H5Dopen2(file, name, H5P_DEFAULT), path + ": dataset " + name), H5Dclose);
    H5Handle space(checked(H5Dget_space(set.get()), path + ": dataset " + name), H5Sclose);
    if (H5Sget_simple_extent_ndims(space.get()) != rank)
        throw ListFileError(path + ": dataset '" + name + "' has the wrong shape");
    return set;
}

hsize_t rowsOf(const H5Handle& set, hsize_t* width = nullptr) {
    H5Handle space(H5Dget_space(set.get()), H5Sclose);
    hsize_t dims[2] = {0, 0};
    if (!space || H5Sget_simple_extent_dims(space.get(), dims, nullptr) < 0) {
        H5Eclear2(H5E_DEFAULT);
        return 0;
    }
    if (width)
        *width = dims[1];
    return dims[0];
}

template <typename T>
void readRows(const H5Handle& set, hid_t memoryType, hsize_t first, hsize_t count, T* out,
              const std::string& what) {
    H5Handle fileSpace(checked(H5Dget_space(set.get()), what), H5Sclose);
    const hsize_t start[1] = {first};
    const hsize_t size[1] = {count};
    checked(H5Sselect_hyperslab(fileSpace.get(), H5S_SELECT_SET, start, nullptr, size, nullptr),
            what);
    H5Handle memorySpace(checked(H5Screate_simple(1, size, nullptr), what), H5Sclose);
    checked(H5Dread(set.get(), memoryType, memorySpace.get(), fileSpace.get(), H5P_DEFAULT, out),
            what);
}

} // namespace

ListFileReader::ListFileReader(const std::string& path) : path_(path) {
    quietHdf5();
    bool whileWriting = false;
    file_ = openFile(path, whileWriting);
    info_.openedWhileWriting = whileWriting;
    const auto format = readStringAttribute(file_.get(), names::attribute::Format);
    if (!format || *format != names::FormatName)
        throw ListFileError(path + ": an HDF5 file, but not a list-mode recording of this program");
    namespace d = names::dataset;
    time_ = openEventSet(file_.get(), d::TimeNs, path, 1, true);
    height_ = openEventSet(file_.get(), d::Height, path, 1, true);
    flags_ = openEventSet(file_.get(), d::Flags, path, 1, true);
    sampleCount_ = openEventSet(file_.get(), d::SampleCount, path, 1, false);
    samples_ = openEventSet(file_.get(), d::Samples, path, 2, false);
    if (samples_ && sampleCount_) {
        hsize_t width = 0;
        rowsOf(samples_, &width);
        if (width == 0 || width > MostSamplesPerRow)
            throw ListFileError(path + ": dataset 'samples' has the wrong shape");
        info_.sampleWidth = static_cast<std::uint32_t>(width);
    }
    readHeader();
}

std::uint64_t ListFileReader::usableEvents() {
    // A killed writer may have grown one dataset by a batch more than another.
    hsize_t n = std::min({rowsOf(time_), rowsOf(height_), rowsOf(flags_)});
    if (info_.sampleWidth > 0)
        n = std::min({n, rowsOf(sampleCount_), rowsOf(samples_)});
    return n;
}

void ListFileReader::readHeader() {
    namespace a = names::attribute;
    const hid_t f = file_.get();
    MeasurementInfo& m = info_.measurement;
    OperatingPoint& op = m.operatingPoint;
    m.startUtcMs = readIntAttribute(f, a::StartUtcMs);
    op.interfaceDescription = readStringAttribute(f, a::Interface).value_or("");
    op.chipIdentifiers = readStringAttribute(f, a::ChipIdentifiers).value_or("");
    op.biasVolts = readDoubleAttribute(f, a::BiasVolts);
    op.thresholdVolts = readDoubleAttribute(f, a::ThresholdVolts);
    op.delaySeconds = readDoubleAttribute(f, a::DelaySeconds);
    if (const auto samples = readIntAttribute(f, a::SamplesPerPulse); samples && *samples > 0)
        op.samplesPerPulse = static_cast<std::uint32_t>(*samples);
    m.deadTimePerPulseSeconds = readDoubleAttribute(f, a::DeadTimePerPulse);
    if (const auto c = readDoublesAttribute(f, a::Calibration); c.size() == 3)
        info_.calibration = EnergyCalibration::fromCoefficients(c[0], c[1], c[2]);

    info_.finished = readIntAttribute(f, a::Finished).value_or(0) == 1;
    info_.measurementEnded = readIntAttribute(f, a::Ended).value_or(0) == 1;
    info_.droppedEvents = static_cast<std::uint64_t>(
        std::max<std::int64_t>(0, readIntAttribute(f, a::DroppedEvents).value_or(0)));
    info_.stopReason = readStringAttribute(f, a::StopReason).value_or("");
    m.ended = info_.measurementEnded;
    m.realSeconds = readDoubleAttribute(f, a::RealSeconds);
    m.liveSeconds = readDoubleAttribute(f, a::LiveSeconds);
    m.acceptedCount = static_cast<std::uint64_t>(
        std::max<std::int64_t>(0, readIntAttribute(f, a::AcceptedCount).value_or(0)));
    m.countsAfterEnd = static_cast<std::uint64_t>(
        std::max<std::int64_t>(0, readIntAttribute(f, a::CountsAfterEnd).value_or(0)));
    refresh();
    if (info_.finished)
        info_.recordedUntilNs =
            readIntAttribute(f, a::RecordedUntilNs).value_or(info_.recordedUntilNs);
}

void ListFileReader::refresh() {
    quietHdf5();
    if (info_.openedWhileWriting) {
        for (const H5Handle* set : {&time_, &height_, &flags_, &sampleCount_, &samples_}) {
            if (*set && H5Drefresh(set->get()) < 0)
                H5Eclear2(H5E_DEFAULT);
        }
    }
    info_.events = usableEvents();
    if (info_.events > 0 && !info_.finished) {
        std::int64_t last = 0;
        readRows(time_, H5T_NATIVE_INT64, info_.events - 1, 1, &last, path_ + ": time_ns");
        info_.recordedUntilNs = std::max(info_.recordedUntilNs, last);
    }
}

void ListFileReader::forEach(const TimeRange& range,
                             const std::function<void(const ListEvents&)>& visit) {
    quietHdf5();
    const std::uint64_t total = info_.events;
    const std::uint64_t batch =
        std::min<std::uint64_t>(ReadEvents, std::max<std::uint64_t>(total, 1));
    std::vector<std::int64_t> time(batch);
    std::vector<double> height(batch);
    std::vector<std::uint32_t> flags(batch);
    for (std::uint64_t first = 0; first < total; first += batch) {
        const std::uint64_t n = std::min(batch, total - first);
        readRows(time_, H5T_NATIVE_INT64, first, n, time.data(), path_ + ": time_ns");
        readRows(height_, H5T_NATIVE_DOUBLE, first, n, height.data(), path_ + ": height");
        readRows(flags_, H5T_NATIVE_UINT32, first, n, flags.data(), path_ + ": flags");
        // Hand on each stretch of events inside the range.
        std::size_t i = 0;
        while (i < n) {
            while (i < n && !range.contains(time[i]))
                ++i;
            std::size_t end = i;
            while (end < n && range.contains(time[end]))
                ++end;
            if (end > i)
                visit(ListEvents{end - i, first + i, time.data() + i, height.data() + i,
                                 flags.data() + i});
            i = end;
        }
    }
}

std::vector<std::uint16_t> ListFileReader::samples(std::uint64_t event) {
    if (info_.sampleWidth == 0 || event >= info_.events)
        return {};
    quietHdf5();
    std::uint16_t count = 0;
    readRows(sampleCount_, H5T_NATIVE_UINT16, event, 1, &count, path_ + ": sample_count");
    std::vector<std::uint16_t> row(info_.sampleWidth);
    H5Handle fileSpace(checked(H5Dget_space(samples_.get()), path_), H5Sclose);
    const hsize_t start[2] = {event, 0};
    const hsize_t size[2] = {1, info_.sampleWidth};
    checked(H5Sselect_hyperslab(fileSpace.get(), H5S_SELECT_SET, start, nullptr, size, nullptr),
            path_ + ": samples");
    H5Handle memorySpace(checked(H5Screate_simple(2, size, nullptr), path_), H5Sclose);
    checked(H5Dread(samples_.get(), H5T_NATIVE_UINT16, memorySpace.get(), fileSpace.get(),
                    H5P_DEFAULT, row.data()),
            path_ + ": samples");
    row.resize(std::min<std::size_t>(count, row.size()));
    return row;
}

} // namespace tarvio
