// Where autosaves go, which one is offered back after a crash, and how many are kept.
#include "autosave/AutosaveStore.h"
#include "formats/SpectrumFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>

namespace tarvio {
namespace {

namespace fs = std::filesystem;

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            saved_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (saved_)
            ::setenv(name_, saved_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> saved_;
};

MeasuredSpectrum measurement(std::uint64_t counts, bool ended) {
    MeasuredSpectrum s;
    s.counts = {counts, 2 * counts};
    s.measurement.ended = ended;
    return s;
}

// Files written within one clock tick still get distinct, ordered times.
void setWritten(const std::string& path, int secondsAgo) {
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::seconds(secondsAgo));
}

TEST(AutosaveStore, folderFollowsXdgDataHome_elseTheHomeFolder) {
    {
        ScopedEnv xdg("XDG_DATA_HOME", "/data/me");
        EXPECT_EQ(AutosaveStore::defaultFolder(), "/data/me/tarvio2/autosave");
    }
    ScopedEnv home("HOME", "/home/me");
    for (const char* ignored : {"relative/path", "", static_cast<const char*>(nullptr)}) {
        ScopedEnv xdg("XDG_DATA_HOME", ignored);
        EXPECT_EQ(AutosaveStore::defaultFolder(), "/home/me/.local/share/tarvio2/autosave");
    }
    AutosaveStore store("/x");
    EXPECT_EQ(store.fileFor(1714566896789),
              "/x/autosave-20240501T123456.789Z-" + std::to_string(::getpid()) + ".n42");
}

TEST(AutosaveStore, onlyTheNewestAutosaveIsOffered_whileItNeverEndedAndWasNotRestored) {
    test::TempDir dir;
    AutosaveStore store(dir.file("deep/autosave"));
    EXPECT_FALSE(store.newestUnfinished());

    const std::string first = store.fileFor(1000);
    ASSERT_TRUE(store.write(first, measurement(5, false)));
    setWritten(first, 20);
    auto offered = store.newestUnfinished();
    ASSERT_TRUE(offered);
    EXPECT_EQ(offered->path, first);
    EXPECT_EQ(offered->spectrum.counts, (std::vector<std::uint64_t>{5, 10}));

    // A later measurement that ended properly: nothing to offer.
    const std::string second = store.fileFor(2000);
    ASSERT_TRUE(store.write(second, measurement(7, true)));
    setWritten(second, 10);
    EXPECT_FALSE(store.newestUnfinished());

    // Its autosave rewritten while it runs again counts as the newest.
    ASSERT_TRUE(store.write(first, measurement(9, false)));
    offered = store.newestUnfinished();
    ASSERT_TRUE(offered);
    EXPECT_EQ(offered->spectrum.counts[0], 9u);
    ASSERT_TRUE(store.markRestored(*offered));
    EXPECT_FALSE(store.newestUnfinished());
    EXPECT_TRUE(fs::exists(first)); // the file stays

    test::writeText(dir.file("deep/autosave/autosave-broken.n42"), "<RadInstrumentData>");
    std::string problem;
    EXPECT_FALSE(store.newestUnfinished(&problem));
    EXPECT_NE(problem.find("autosave-broken.n42: line 1"), std::string::npos) << problem;
}

TEST(AutosaveStore, keepsTheNewestTwenty_andClearsWhatAnInterruptedWriteLeft) {
    test::TempDir dir;
    AutosaveStore store(dir.path().string());
    const std::string stale = dir.file(".autosave-x.n42.1.0.tmp");
    const std::string fresh = dir.file(".autosave-y.n42.1.1.tmp");
    const std::string foreign = dir.file("notes.n42");
    const std::string staleNow = dir.file(".tarvio2-00000001-00000002.tmp");
    for (const std::string& path : {stale, fresh, foreign, staleNow})
        test::writeText(path, "x");
    setWritten(stale, 3600);
    setWritten(staleNow, 3600);

    for (int i = 0; i < 23; ++i) {
        const std::string path = store.fileFor(1000 * i);
        ASSERT_TRUE(store.write(path, measurement(i, true)));
        setWritten(path, 100 - i); // the later, the newer
    }
    store.prune();
    int kept = 0;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        kept += entry.path().filename().string().rfind("autosave-", 0) == 0 ? 1 : 0;
    EXPECT_EQ(kept, 20);
    EXPECT_FALSE(fs::exists(store.fileFor(2000)));
    EXPECT_TRUE(fs::exists(store.fileFor(3000)));
    EXPECT_TRUE(fs::exists(store.fileFor(22000)));
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_FALSE(fs::exists(staleNow));
    EXPECT_TRUE(fs::exists(fresh));
    EXPECT_TRUE(fs::exists(foreign));
}

} // namespace
} // namespace tarvio
