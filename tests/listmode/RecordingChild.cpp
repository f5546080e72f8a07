// A process that records synthetic pulses and waits to be killed: the test of a killed
// writer starts it, waits for "flushed N" (N pulses safe on disk, more on their way) and
// sends SIGKILL. A process of its own, so that the kill hits a real writer mid-recording.
#include "SyntheticEvents.h"

#include <cstdio>
#include <cstdlib>
#include <thread>
#include <unistd.h>

int main(int argc, char** argv) {
    using namespace tarvio;
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s FILE.h5 PULSES FLUSHED\n", argv[0]);
        return 2;
    }
    const std::size_t pulses = std::strtoull(argv[2], nullptr, 10);
    const std::size_t flushed = std::strtoull(argv[3], nullptr, 10);
    const auto events = test::syntheticEvents(pulses);
    ListModeOptions options;
    options.path = argv[1];
    options.flushInterval = std::chrono::milliseconds(20);
    ListModeRecorder recorder(options);
    recorder.measurementStarted(test::startInfo());
    for (std::size_t i = 0; i < flushed; ++i)
        recorder.pulse(test::pulseOf(events[i]));
    while (recorder.status().flushedEvents < flushed)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    for (std::size_t i = flushed; i < events.size(); ++i)
        recorder.pulse(test::pulseOf(events[i]));
    std::printf("flushed %zu\n", static_cast<std::size_t>(recorder.status().flushedEvents));
    std::fflush(stdout);
    for (;;)
        ::pause();
}
