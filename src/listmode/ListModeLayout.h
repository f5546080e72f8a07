#pragma once
// The names inside a list-mode file, shared by the writer and the reader. The layout
// (documented for users in README.md):
//   /time_ns      int64   [n]      receive time, ns since the measurement's start
//   /height       float64 [n]      pulse height in channels (counted in floor(height))
//   /flags        uint32  [n]      PulseFlag bits: rejected and why, after a preset, single
//   /samples      uint16  [n, w]   raw samples, only when recorded with samples
//   /sample_count uint16  [n]      how many of a row's w samples were delivered
// plus attributes on the root for the measurement record, operating point and calibration.
// While the writer runs the datasets may differ in length by the events of one batch: a
// reader takes the shortest.

namespace tarvio::list_layout {

inline constexpr const char* FormatName = "Tarvio2 list mode";
inline constexpr int FormatVersion = 1;

namespace dataset {
inline constexpr const char* TimeNs = "time_ns";
inline constexpr const char* Height = "height";
inline constexpr const char* Flags = "flags";
inline constexpr const char* Samples = "samples";
inline constexpr const char* SampleCount = "sample_count";
} // namespace dataset

namespace attribute {
inline constexpr const char* Format = "format";
inline constexpr const char* Version = "format_version";
inline constexpr const char* TimeSource = "time_source";
inline constexpr const char* FlagBits = "flag_bits";
inline constexpr const char* StartUtc = "start_utc";      // ISO 8601 text
inline constexpr const char* StartUtcMs = "start_utc_ms"; // ms since 1970-01-01 UTC
inline constexpr const char* Interface = "interface";
inline constexpr const char* ChipIdentifiers = "chip_identifiers";
inline constexpr const char* BiasVolts = "bias_volts";
inline constexpr const char* ThresholdVolts = "threshold_volts";
inline constexpr const char* DelaySeconds = "delay_seconds";
inline constexpr const char* SamplesPerPulse = "samples_per_pulse";
inline constexpr const char* DeadTimePerPulse = "dead_time_per_pulse_seconds";
inline constexpr const char* Calibration = "energy_calibration_kev"; // c0, c1, c2
// Written when the recording finishes; absent in a recording that was killed.
inline constexpr const char* Finished = "recording_finished"; // 1
inline constexpr const char* RecordedUntilNs = "recorded_until_ns";
inline constexpr const char* Ended = "measurement_ended"; // 1 when it ended properly
inline constexpr const char* RealSeconds = "real_seconds";
inline constexpr const char* LiveSeconds = "live_seconds";
inline constexpr const char* AcceptedCount = "accepted_count";
inline constexpr const char* CountsAfterEnd = "counts_after_end";
inline constexpr const char* DroppedEvents = "dropped_events";
inline constexpr const char* StopReason = "stop_reason"; // why it stopped before the end
} // namespace attribute

} // namespace tarvio::list_layout
