#include "listmode/ListFileWriter.h"

#include "listmode/ListModeLayout.h"
#include "records/PulseEvent.h"

#include <algorithm>
#include <array>
#include <ctime>

namespace tarvio {

namespace {

namespace names = list_layout;

constexpr hsize_t EventChunk = 32768;
constexpr hsize_t SampleChunkValues = 262144;
// Fast deflate: the writer must keep up with the fastest wire on one core.
constexpr unsigned DeflateLevel = 1;
constexpr std::size_t ChunkCacheBytes = std::size_t{8} << 20;

std::string isoUtc(std::int64_t utcMs) {
    const std::time_t seconds = static_cast<std::time_t>(utcMs / 1000);
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                  static_cast<int>(utcMs % 1000));
    return text;
}

H5Handle fileAccess() {
    H5Handle fapl(checked(H5Pcreate(H5P_FILE_ACCESS), "file access"), H5Pclose);
    // Single-writer/multiple-reader needs the newest file format.
    checked(H5Pset_libver_bounds(fapl.get(), H5F_LIBVER_LATEST, H5F_LIBVER_LATEST), "file format");
    return fapl;
}

H5Handle chunkedCreation(int rank, const hsize_t* chunk) {
    H5Handle dcpl(checked(H5Pcreate(H5P_DATASET_CREATE), "dataset"), H5Pclose);
    checked(H5Pset_chunk(dcpl.get(), rank, chunk), "dataset chunks");
    if (H5Zfilter_avail(H5Z_FILTER_DEFLATE) > 0) {
        checked(H5Pset_shuffle(dcpl.get()), "dataset shuffle");
        checked(H5Pset_deflate(dcpl.get(), DeflateLevel), "dataset compression");
    }
    return dcpl;
}

void createDataset(hid_t file, const char* name, hid_t type, int rank, const hsize_t* dims,
                   const hsize_t* chunk) {
    hsize_t maxDims[2] = {H5S_UNLIMITED, rank > 1 ? dims[1] : 0};
    H5Handle space(checked(H5Screate_simple(rank, dims, maxDims), name), H5Sclose);
    H5Handle dcpl = chunkedCreation(rank, chunk);
    H5Handle set(
        checked(H5Dcreate2(file, name, type, space.get(), H5P_DEFAULT, dcpl.get(), H5P_DEFAULT),
                name),
        H5Dclose);
}

H5Handle openDataset(hid_t file, const char* name) {
    H5Handle dapl(checked(H5Pcreate(H5P_DATASET_ACCESS), name), H5Pclose);
    checked(H5Pset_chunk_cache(dapl.get(), 521, ChunkCacheBytes, 1.0), name);
    return {checked(H5Dopen2(file, name, dapl.get()), name), H5Dclose};
}

// Appends count rows of width values (1-D when width is 0) at row first; in memory the rows
// lie memoryWidth values apart.
void appendRows(const H5Handle& set, hid_t memoryType, hsize_t first, hsize_t count, hsize_t width,
                const void* data, const char* name, hsize_t memoryWidth = 0) {
    const int rank = width > 0 ? 2 : 1;
    const hsize_t newDims[2] = {first + count, width};
    checked(H5Dset_extent(set.get(), newDims), name);
    H5Handle fileSpace(checked(H5Dget_space(set.get()), name), H5Sclose);
    const hsize_t start[2] = {first, 0};
    const hsize_t size[2] = {count, width};
    checked(H5Sselect_hyperslab(fileSpace.get(), H5S_SELECT_SET, start, nullptr, size, nullptr),
            name);
    const hsize_t memoryDims[2] = {count, std::max(memoryWidth, width)};
    H5Handle memorySpace(checked(H5Screate_simple(rank, memoryDims, nullptr), name), H5Sclose);
    if (memoryDims[1] != width) {
        const hsize_t origin[2] = {0, 0};
        checked(
            H5Sselect_hyperslab(memorySpace.get(), H5S_SELECT_SET, origin, nullptr, size, nullptr),
            name);
    }
    checked(H5Dwrite(set.get(), memoryType, memorySpace.get(), fileSpace.get(), H5P_DEFAULT, data),
            name);
}

void writeHeader(hid_t file, const ListFileHeader& header) {
    namespace a = names::attribute;
    writeAttribute(file, a::Format, std::string(names::FormatName));
    writeAttribute(file, a::Version, std::int64_t{names::FormatVersion});
    writeAttribute(file, a::TimeSource,
                   std::string("host receive time in ns since the measurement's start: the "
                               "interface sends no time stamp of its own"));
    writeAttribute(file, a::FlagBits,
                   std::string("1 saturated, 2 pile-up, 4 shape (rejected: not in the "
                               "spectrum); 256 after a preset ended the measurement; 512 single "
                               "shot"));
    const MeasurementInfo& m = header.measurement;
    const OperatingPoint& op = m.operatingPoint;
    if (m.startUtcMs) {
        writeAttribute(file, a::StartUtcMs, *m.startUtcMs);
        writeAttribute(file, a::StartUtc, isoUtc(*m.startUtcMs));
    }
    writeAttribute(file, a::Interface, op.interfaceDescription);
    writeAttribute(file, a::ChipIdentifiers, op.chipIdentifiers);
    if (op.biasVolts)
        writeAttribute(file, a::BiasVolts, *op.biasVolts);
    if (op.thresholdVolts)
        writeAttribute(file, a::ThresholdVolts, *op.thresholdVolts);
    if (op.delaySeconds)
        writeAttribute(file, a::DelaySeconds, *op.delaySeconds);
    if (op.samplesPerPulse)
        writeAttribute(file, a::SamplesPerPulse, std::int64_t{*op.samplesPerPulse});
    if (m.deadTimePerPulseSeconds)
        writeAttribute(file, a::DeadTimePerPulse, *m.deadTimePerPulseSeconds);
    if (header.calibration) {
        const auto& c = header.calibration->coefficients;
        writeAttribute(file, a::Calibration, std::vector<double>(c.begin(), c.end()));
    }
}

} // namespace

std::uint64_t rawEventBytes(std::uint32_t sampleWidth) {
    return sizeof(std::int64_t) + sizeof(double) + sizeof(std::uint32_t) +
           (sampleWidth > 0 ? sizeof(std::uint16_t) * (sampleWidth + 1) : 0);
}

ListFileWriter::ListFileWriter(const std::string& path, const ListFileHeader& header)
    : path_(path), sampleWidth_(header.sampleWidth) {
    quietHdf5();
    try {
        H5Handle fapl = fileAccess();
        file_ = H5Handle(checked(H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, fapl.get()),
                                 "cannot create the file"),
                         H5Fclose);
        writeHeader(file_.get(), header);
        createDatasets();
        // From here on readers may open the file while it grows, and a kill leaves it
        // readable up to the last flush.
        checked(H5Fstart_swmr_write(file_.get()), "cannot start writing");
        openDatasets();
    } catch (const ListFileError& error) {
        throw ListFileError(path + ": " + error.what());
    }
}

void ListFileWriter::createDatasets() {
    namespace d = names::dataset;
    const hsize_t empty[2] = {0, sampleWidth_};
    const hsize_t chunk[1] = {EventChunk};
    createDataset(file_.get(), d::TimeNs, H5T_STD_I64LE, 1, empty, chunk);
    createDataset(file_.get(), d::Height, H5T_IEEE_F64LE, 1, empty, chunk);
    createDataset(file_.get(), d::Flags, H5T_STD_U32LE, 1, empty, chunk);
    if (sampleWidth_ > 0) {
        createDataset(file_.get(), d::SampleCount, H5T_STD_U16LE, 1, empty, chunk);
        const hsize_t rows = std::max<hsize_t>(1, SampleChunkValues / sampleWidth_);
        const hsize_t sampleChunk[2] = {rows, sampleWidth_};
        createDataset(file_.get(), d::Samples, H5T_STD_U16LE, 2, empty, sampleChunk);
    }
}

void ListFileWriter::openDatasets() {
    namespace d = names::dataset;
    time_ = openDataset(file_.get(), d::TimeNs);
    height_ = openDataset(file_.get(), d::Height);
    flags_ = openDataset(file_.get(), d::Flags);
    if (sampleWidth_ > 0) {
        sampleCount_ = openDataset(file_.get(), d::SampleCount);
        samples_ = openDataset(file_.get(), d::Samples);
    }
}

void ListFileWriter::append(const EventRing::Run& run) {
    if (run.count == 0)
        return;
    namespace d = names::dataset;
    quietHdf5();
    try {
        const hsize_t n = run.count;
        // Time last: a reader of a killed file takes the shortest dataset, so the others are
        // never behind it.
        appendRows(height_, H5T_NATIVE_DOUBLE, events_, n, 0, run.height, d::Height);
        appendRows(flags_, H5T_NATIVE_UINT32, events_, n, 0, run.flags, d::Flags);
        if (sampleWidth_ > 0 && run.samples) {
            // The ring keeps room for the most samples; the file the measurement's.
            counts_.resize(run.count);
            for (std::size_t i = 0; i < run.count; ++i)
                counts_[i] = std::min<std::uint16_t>(run.sampleCount[i],
                                                     static_cast<std::uint16_t>(sampleWidth_));
            appendRows(sampleCount_, H5T_NATIVE_UINT16, events_, n, 0, counts_.data(),
                       d::SampleCount);
            appendRows(samples_, H5T_NATIVE_UINT16, events_, n, sampleWidth_, run.samples,
                       d::Samples, run.sampleStride);
        }
        appendRows(time_, H5T_NATIVE_INT64, events_, n, 0, run.timeNs, d::TimeNs);
    } catch (const ListFileError& error) {
        throw ListFileError(path_ + ": " + error.what());
    }
    events_ += run.count;
}

void ListFileWriter::flush() {
    quietHdf5();
    if (H5Fflush(file_.get(), H5F_SCOPE_LOCAL) < 0)
        throw ListFileError(path_ + ": " + hdf5Reason());
}

std::uint64_t ListFileWriter::fileBytes() const {
    hsize_t size = 0;
    if (file_ && H5Fget_filesize(file_.get(), &size) < 0)
        H5Eclear2(H5E_DEFAULT);
    return size;
}

std::uint64_t ListFileWriter::chunkBytes() const {
    std::uint64_t bytes = EventChunk * rawEventBytes(0);
    if (sampleWidth_ > 0)
        bytes += EventChunk * sizeof(std::uint16_t) + SampleChunkValues * sizeof(std::uint16_t);
    return bytes;
}

void ListFileWriter::finish(const ListFileEnd& end) {
    namespace a = names::attribute;
    quietHdf5();
    time_.reset();
    height_.reset();
    flags_.reset();
    sampleCount_.reset();
    samples_.reset();
    if (!file_.reset())
        throw ListFileError(path_ + ": closing: " + hdf5Reason());
    try {
        H5Handle fapl = fileAccess();
        H5Handle file(checked(H5Fopen(path_.c_str(), H5F_ACC_RDWR, fapl.get()), "reopening"),
                      H5Fclose);
        const hid_t f = file.get();
        writeAttribute(f, a::RecordedUntilNs, end.recordedUntilNs);
        writeAttribute(f, a::DroppedEvents, static_cast<std::int64_t>(end.droppedEvents));
        if (!end.stopReason.empty())
            writeAttribute(f, a::StopReason, end.stopReason);
        if (const auto& m = end.measurement) {
            writeAttribute(f, a::Ended, std::int64_t{m->ended ? 1 : 0});
            if (m->realSeconds)
                writeAttribute(f, a::RealSeconds, *m->realSeconds);
            if (m->liveSeconds)
                writeAttribute(f, a::LiveSeconds, *m->liveSeconds);
            writeAttribute(f, a::AcceptedCount, static_cast<std::int64_t>(m->acceptedCount));
            writeAttribute(f, a::CountsAfterEnd, static_cast<std::int64_t>(m->countsAfterEnd));
            if (m->deadTimePerPulseSeconds)
                writeAttribute(f, a::DeadTimePerPulse, *m->deadTimePerPulseSeconds);
        }
        writeAttribute(f, a::Finished, std::int64_t{1});
        if (!file.reset())
            throw ListFileError("closing: " + hdf5Reason());
    } catch (const ListFileError& error) {
        throw ListFileError(path_ + ": the end of the recording was not noted (" + error.what() +
                            "); its events are kept");
    }
}

} // namespace tarvio
