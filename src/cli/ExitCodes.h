#pragma once
// What tarvio2-cli's exit status tells a script. A stop by signal exits 128 + the signal's
// number, as shells report a program the signal ended, after the output has been written.

namespace tarvio {

enum class ExitCode : int {
    Done = 0,
    Usage = 2,            // a one-line message on stderr; --help explains
    NoInterface = 3,      // none listed, the one named is not there, or it would not open
    InterfaceLost = 4,    // what was counted until then has been written
    OutputNotWritten = 5, // the reason on stderr
    InputUnreadable = 6,  // the file, the line or element, and what was wrong
    SelfTestFailed = 7,   // a step of selftest failed; its report says which and why
    AnalysisFailed = 8,   // a calibration or efficiency asked for could not be made; why
    SignalBase = 128,     // + SIGHUP, SIGINT (130) or SIGTERM (143)
};

inline int exitStatus(ExitCode code) {
    return static_cast<int>(code);
}

} // namespace tarvio
