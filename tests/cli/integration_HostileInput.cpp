// The built tarvio2-cli against what an attacker or a careless script gives it: numbers that
// are not numbers, names at the length limit, targets that are not files, a machine without
// the memory, a calibration no file can hold, and a signal before the handlers are in place.

#include "ChildProcess.h"
#include "formats/SpectrumFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <spawn.h>
#include <sys/stat.h>

using namespace tarvio;
using namespace tarvio::test;
namespace fs = std::filesystem;

namespace {

// The sanitizers reserve terabytes of address space for their shadow memory, which no
// address-space limit leaves room for.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool Sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool Sanitized = true;
#else
constexpr bool Sanitized = false;
#endif
#else
constexpr bool Sanitized = false;
#endif

class HostileInput : public ::testing::Test {
protected:
    void SetUp() override {
        settings = dir.file("settings.ini");
        writeText(settings, "[Settings]\nDelay=0\n");
    }
    // A short simulated run to output, with extra options in front.
    std::vector<std::string> acquire(const std::string& output,
                                     std::vector<std::string> extra = {}) const {
        std::vector<std::string> args = {"--settings", settings, "acquire",  "--simulate", "--fast",
                                         "--counts",   "20",     "--output", output};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }

    TempDir dir;
    std::string settings;
};

} // namespace

TEST_F(HostileInput, nonFiniteAndOversizedNumbers_exitTwoNamingTheOption_beforeMeasuring) {
    const std::string output = dir.file("never.txt");
    const char* TwoTo64 = "18446744073709551616";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"--threshold", "nan"}, {"--threshold", "-nan"}, {"--activity", "nan"},
        {"--delay", "nan"},     {"--delay", "inf"},      {"--seed", TwoTo64},
        {"--counts", TwoTo64},  {"--real-time", "inf"},  {"--live-time", "1e309"},
        {"--autosave", "inf"},  {"--seed", "-1"},        {"--activity", "0x10"},
    };
    for (const auto& [option, value] : cases) {
        ChildProcess cli(TARVIO_CLI_PATH, acquire(output, {option, value}));
        EXPECT_EQ(cli.wait(), 2) << option << " " << value << ": " << cli.errRest();
        EXPECT_NE(cli.errRest().find(option + ": '" + value + "'"), std::string::npos)
            << cli.errRest();
        EXPECT_FALSE(fs::exists(output)) << option << " " << value;
    }
}

TEST_F(HostileInput, outputNameOf255Bytes_isWritten_andOneOf256IsRefusedBeforeMeasuring) {
    const std::string longest = dir.file(std::string(251, 'a') + ".txt");
    ChildProcess written(TARVIO_CLI_PATH, acquire(longest));
    EXPECT_EQ(written.wait(), 0) << written.errRest();
    EXPECT_TRUE(fs::is_regular_file(longest));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2)
        << "a temporary file was left";

    const std::string tooLong = dir.file(std::string(252, 'a') + ".txt");
    ChildProcess refused(TARVIO_CLI_PATH, acquire(tooLong));
    EXPECT_EQ(refused.wait(), 5);
    EXPECT_NE(refused.errRest().find("the name is 256 bytes long"), std::string::npos)
        << refused.errRest();
    EXPECT_EQ(refused.errRest().find("Measuring"), std::string::npos) << refused.errRest();
}

TEST_F(HostileInput, outputThatIsNotARegularFile_isRefusedAndLeftAsItWas) {
    const std::string fifo = dir.file("fifo.txt");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string target = dir.file("elsewhere.txt");
    writeText(target, "kept");
    const std::string link = dir.file("link.txt");
    fs::create_symlink(target, link);
    for (const auto& [path, kind] :
         {std::pair{fifo, "it is a FIFO"}, std::pair{link, "it is a symbolic link"}}) {
        ChildProcess acquired(TARVIO_CLI_PATH, acquire(path));
        EXPECT_EQ(acquired.wait(), 5) << acquired.errRest();
        EXPECT_NE(acquired.errRest().find(kind), std::string::npos) << acquired.errRest();

        const std::string source = dir.file("source.spe");
        MeasuredSpectrum two;
        two.counts = {1, 2};
        ASSERT_TRUE(saveSpectrumFile(source, two, FileFormat::Spe));
        ChildProcess converted(TARVIO_CLI_PATH, {"convert", source, path});
        EXPECT_EQ(converted.wait(), 5) << converted.errRest();
        EXPECT_NE(converted.errRest().find(kind), std::string::npos) << converted.errRest();
    }
    EXPECT_EQ(fs::status(fifo).type(), fs::file_type::fifo);
    EXPECT_TRUE(fs::is_symlink(link));
    std::ifstream kept(target);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "kept");
}

TEST_F(HostileInput, inputLargerThanTheMemoryAllowed_exitsSixWithASentence) {
    if (Sanitized)
        GTEST_SKIP() << "a sanitizer's shadow memory does not fit an address-space limit";
    const std::string big = dir.file("big.txt");
    { std::ofstream out(big); }
    fs::resize_file(big, std::uintmax_t{96} << 20); // sparse: costs no disk
    ChildProcess cli("/bin/sh", {"-c", "ulimit -v 65536 && exec \"$0\" analyze \"$1\" --roi 0:0",
                                 TARVIO_CLI_PATH, big});
    EXPECT_EQ(cli.wait(), 6) << cli.errRest();
    EXPECT_EQ(cli.errRest(), "tarvio2-cli: there is not enough memory to read the input\n");
}

TEST_F(HostileInput, calibrationWithInfiniteEnergies_isRefusedWhereRead) {
    // Finite coefficients whose energies overflow a double long before the last channel.
    const std::string source = dir.file("huge.spe");
    writeText(source, "$DATA:\n0 2\n1\n2\n3\n$MCA_CAL:\n3\n1e308 1e308 1e308 keV\n");
    ChildProcess cli(TARVIO_CLI_PATH, {"convert", "--calibrated", source, dir.file("out.txt")});
    EXPECT_EQ(cli.wait(), 2) << cli.errRest();
    EXPECT_NE(cli.errRest().find("has no energy calibration"), std::string::npos) << cli.errRest();
    EXPECT_FALSE(fs::exists(dir.file("out.txt")));
}

TEST_F(HostileInput, stopSignalPendingAtStart_isHandledAsAStop_notTheDefaultAction) {
    // SIGTERM is already waiting when the program starts, as one sent in its first
    // milliseconds would be: the run stops as for any stop, with its message and status.
    const std::string log = dir.file("stderr.txt");
    const std::vector<std::string> args = {
        TARVIO_CLI_PATH, "--settings", settings, "acquire",  "--simulate",
        "--fast",        "--counts",   "5000",   "--output", dir.file("early.n42")};
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t held;
    sigemptyset(&held);
    sigaddset(&held, SIGTERM);
    posix_spawnattr_setsigmask(&attributes, &held);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t child = -1;
    ASSERT_EQ(posix_spawn(&child, args[0].c_str(), &actions, &attributes, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::kill(child, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 143);
    std::ifstream err(log);
    const std::string said{std::istreambuf_iterator<char>(err), {}};
    EXPECT_NE(said.find("Stopped by SIGTERM"), std::string::npos) << said;
}
