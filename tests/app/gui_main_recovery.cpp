// A measurement killed with SIGKILL is offered back at the next start, with at least the
// counts of its last autosave.

#include "MainWindowTestSupport.h"

#include "formats/SpectrumFiles.h"

#include <QProcess>

#include <filesystem>

using namespace tarvio;
using namespace tarvio::test;

namespace {

class MainWindowRecovery : public MainWindowTest {};

// The autosave in folder (temporary files a kill left behind aside), if exactly one.
std::optional<MeasuredSpectrum> onlyAutosave(const std::string& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (it->path().filename().string().rfind("autosave-", 0) == 0)
            files.push_back(it->path());
    }
    if (files.size() != 1)
        return std::nullopt;
    return readSpectrumFile(files[0].string()).spectrum;
}

TEST_F(MainWindowRecovery, killedWhileMeasuring_isOfferedBackWithItsLastAutosave) {
    const std::string folder = dir.file("autosave");
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QStringLiteral(TARVIO_MEASURING_CHILD),
                {QString::fromStdString(dir.file("child.ini")), QString::fromStdString(folder),
                 QStringLiteral("20")});
    ASSERT_TRUE(child.waitForStarted());
    // Two autosaves with counts: the measurement runs and keeps saving.
    std::uint64_t first = 0;
    ASSERT_TRUE(eventually([&] {
        const auto saved = onlyAutosave(folder);
        if (!saved || saved->totalCounts() == 0)
            return false;
        first = first == 0 ? saved->totalCounts() : first;
        return saved->totalCounts() > first;
    }));
    child.kill();
    ASSERT_TRUE(child.waitForFinished());
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);
    const auto last = onlyAutosave(folder);
    ASSERT_TRUE(last);
    EXPECT_FALSE(last->measurement.ended);

    addSimulator();
    createWindow();
    window->setAutosaveFolder(folder);
    boxes.answerYes = true;
    window->offerRestore();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    PulseBuffer pulse;
    Spectrum restored;
    window->controller().Snapshot(pulse, restored);
    EXPECT_EQ(measuredSpectrum(restored).counts, last->counts);
}

} // namespace
