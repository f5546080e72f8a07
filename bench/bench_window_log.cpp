// What a device that floods the log costs the window: one batch of log lines handed from
// the inbox to the log view, as the window does every 50 ms while lines keep coming.

#include "app/LogInbox.h"
#include "app/MainWindow.h"
#include "driver/Backend.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <string>

using namespace tarvio;

namespace {

// A line as long as the link layer's reports get (255 characters).
std::string reportLine(std::size_t i) {
    std::string line = "Device is not responding - error line " + std::to_string(i) + " ";
    line.resize(255, '.');
    return line;
}

void flushLogBatch(benchmark::State& state) {
    const auto lines = static_cast<std::size_t>(state.range(0));
    removeAllBackends(); // no interface: the window alone
    TfrmMain window("/nonexistent/settings.ini");
    std::size_t serial = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (std::size_t i = 0; i < lines; ++i)
            window.logInbox().pushLine(reportLine(serial++));
        state.ResumeTiming();
        window.flushLog();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * lines));
}

} // namespace

// 200 lines is the batch the window shows per 50 ms under a flood; the inbox's capacity is
// what the close sequence may have to show at once.
BENCHMARK(flushLogBatch)->Arg(200)->Arg(LogInbox::DefaultCapacity)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
