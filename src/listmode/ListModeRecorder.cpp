#include "listmode/ListModeRecorder.h"

#include "listmode/DiskRoom.h"
#include "listmode/EventRing.h"
#include "listmode/ListFileWriter.h"
#include "records/PulseBuffer.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace tarvio {

namespace {

// Events written to the file in one go at most.
constexpr std::size_t BatchEvents = 65536;
// Reserved on the disk ahead of the file at least: room for HDF5's own records at close.
constexpr std::uint64_t MinimumAhead = std::uint64_t{4} << 20;
constexpr std::size_t EventsWithoutSamples = std::size_t{1} << 20;
constexpr std::size_t SampleRingBytes = std::size_t{32} << 20;
constexpr auto IdlePoll = std::chrono::milliseconds(20);

std::uint32_t sampleWidthFor(const ListModeOptions& options, const MeasurementInfo& info) {
    if (!options.samples)
        return 0;
    const std::uint32_t perPulse = info.operatingPoint.samplesPerPulse.value_or(MaxPulseSamples);
    return std::clamp<std::uint32_t>(perPulse, 1, MaxPulseSamples);
}

std::size_t ringEventsFor(const ListModeOptions& options, std::uint32_t width) {
    if (options.ringEvents > 0)
        return options.ringEvents;
    if (width == 0)
        return EventsWithoutSamples;
    return std::max<std::size_t>(4096, SampleRingBytes / (width * sizeof(std::uint16_t)));
}

std::string formatSeconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

} // namespace

ListModeRecorder::ListModeRecorder(ListModeOptions options) : options_(std::move(options)) {
    status_.path = options_.path;
    // Ready before the measurement starts: its first pulses may come before the news of its
    // start, and wait here for the file.
    const std::uint32_t width = options_.samples ? MaxPulseSamples : 0;
    ring_ = std::make_unique<EventRing>(ringEventsFor(options_, width), width);
    accepting_.store(true, std::memory_order_release);
}

ListModeRecorder::~ListModeRecorder() {
    close();
}

ListModeStatus ListModeRecorder::close() {
    accepting_.store(false, std::memory_order_release);
    {
        std::lock_guard lock(mutex_);
        endRequested_ = true;
    }
    wake_.notify_all();
    if (writer_.joinable())
        writer_.join();
    return status();
}

void ListModeRecorder::measurementStarted(const MeasurementInfo& info) {
    if (started_)
        return;
    started_ = true;
    setState(ListModeStatus::State::Recording);
    writer_ = std::thread([this, info] { writeLoop(info); });
}

void ListModeRecorder::pulse(const PulseEvent& event) {
    if (!offer(event))
        dropped_.fetch_add(1, std::memory_order_relaxed);
}

bool ListModeRecorder::offer(const PulseEvent& event) {
    if (!accepting_.load(std::memory_order_acquire))
        return true;
    return ring_->push(event);
}

void ListModeRecorder::measurementEnded(const MeasurementInfo& info) {
    if (!started_)
        return; // a measurement that ran before this one was asked for
    accepting_.store(false, std::memory_order_release);
    {
        std::lock_guard lock(mutex_);
        endRequested_ = true;
        endInfo_ = info;
    }
    // The writer drains the ring and closes the file on its own; the session that ends the
    // measurement does not wait for it (close() does).
    wake_.notify_all();
}

ListModeStatus ListModeRecorder::status() const {
    std::lock_guard lock(statusMutex_);
    ListModeStatus status = status_;
    status.droppedEvents = dropped_.load(std::memory_order_relaxed);
    return status;
}

void ListModeRecorder::setState(ListModeStatus::State state, const std::string& message) {
    std::lock_guard lock(statusMutex_);
    status_.state = state;
    status_.message = message;
}

void ListModeRecorder::writeLoop(MeasurementInfo start) {
    ListFileHeader header;
    header.measurement = start;
    header.calibration = options_.calibration;
    header.sampleWidth = sampleWidthFor(options_, start);

    std::unique_ptr<ListFileWriter> file;
    std::unique_ptr<DiskRoom> room;
    try {
        file = std::make_unique<ListFileWriter>(options_.path, header);
        room = std::make_unique<DiskRoom>(options_.path, options_.keepFreeBytes);
    } catch (const ListFileError& error) {
        stopEarly(error.what());
        return;
    }

    const std::uint64_t eventBytes = rawEventBytes(header.sampleWidth);
    const std::uint64_t limit = options_.sizeLimitBytes;
    std::uint64_t sizeAtFlush = file->fileBytes();
    std::uint64_t rawSinceFlush = 0;
    std::int64_t lastNs = 0;
    auto lastFlush = std::chrono::steady_clock::now();
    std::string stopReason;
    bool ended = false;
    try {
        while (!ended) {
            EventRing::Run run = ring_->peek(BatchEvents);
            if (run.count > 0) {
                if (limit > 0) {
                    // What still fits takes the file to its limit; the rest is not written.
                    // A chunk flushed part-filled is written anew elsewhere when it grows:
                    // the file may grow by a chunk of each dataset beyond the events.
                    const std::uint64_t used = sizeAtFlush + rawSinceFlush + file->chunkBytes();
                    const std::uint64_t fits = used < limit ? (limit - used) / eventBytes : 0;
                    if (fits == 0) {
                        stopReason = "the recording reached its size limit of " + byteText(limit);
                        break;
                    }
                    run.count = static_cast<std::size_t>(std::min<std::uint64_t>(run.count, fits));
                }
                const std::uint64_t runBytes = run.count * eventBytes;
                const std::uint64_t pending = rawSinceFlush + runBytes;
                stopReason = room->reserve(
                    file->fileBytes(), std::max(MinimumAhead, 2 * pending + file->chunkBytes()));
                if (!stopReason.empty())
                    break;
                file->append(run);
                lastNs = run.timeNs[run.count - 1];
                ring_->release(run.count);
                rawSinceFlush = pending;
                std::lock_guard lock(statusMutex_);
                status_.events = file->events();
            }
            const auto now = std::chrono::steady_clock::now();
            if (now - lastFlush >= options_.flushInterval) {
                file->flush();
                lastFlush = now;
                sizeAtFlush = file->fileBytes();
                rawSinceFlush = 0;
                std::lock_guard lock(statusMutex_);
                status_.flushedEvents = file->events();
                status_.fileBytes = sizeAtFlush;
            }
            if (run.count == 0) {
                std::unique_lock lock(mutex_);
                if (endRequested_ && ring_->filled() == 0)
                    ended = true;
                else
                    wake_.wait_for(lock, std::min<std::chrono::steady_clock::duration>(
                                             IdlePoll, options_.flushInterval));
            }
        }
    } catch (const ListFileError& error) {
        stopReason = error.what();
    }
    accepting_.store(false, std::memory_order_release);

    ListFileEnd end;
    end.droppedEvents = dropped_.load(std::memory_order_relaxed);
    end.stopReason = stopReason;
    end.recordedUntilNs = lastNs;
    if (stopReason.empty()) {
        std::lock_guard lock(mutex_);
        end.measurement = endInfo_;
        if (endInfo_ && endInfo_->realSeconds)
            end.recordedUntilNs =
                std::max(lastNs, static_cast<std::int64_t>(*endInfo_->realSeconds * 1e9));
        if (!endInfo_)
            end.stopReason = "the recording was closed before the measurement ended";
    }
    std::string finishProblem;
    try {
        file->finish(end);
    } catch (const ListFileError& error) {
        finishProblem = error.what();
    }
    room->release();
    {
        std::lock_guard lock(statusMutex_);
        status_.events = file->events();
        status_.flushedEvents = file->events();
        std::error_code error;
        const auto size = std::filesystem::file_size(options_.path, error);
        status_.fileBytes = error ? 0 : size;
    }
    file.reset();
    if (!stopReason.empty()) {
        std::string message =
            options_.path + ": recording stopped: " + stopReason + "; the file keeps the first " +
            formatSeconds(static_cast<double>(end.recordedUntilNs) * 1e-9) + " and stays readable";
        if (!finishProblem.empty())
            message += " (" + finishProblem + ")";
        stopEarly(message);
    } else {
        setState(ListModeStatus::State::Finished, finishProblem);
    }
}

void ListModeRecorder::stopEarly(const std::string& message) {
    accepting_.store(false, std::memory_order_release);
    setState(ListModeStatus::State::Stopped, message);
    if (options_.onStopped)
        options_.onStopped(message);
}

} // namespace tarvio
