// Files under the size limit that repeat one small thing millions of times: empty lines,
// keywords, remarks, separators, elements. Each is read in a child whose address space may
// grow by only a few times the file's size, so a reader that gathers a vector of the pieces
// (sixteen bytes or more for every one or two bytes of file) runs out and is caught.
#include "formats/SpectrumFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tarvio {
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

constexpr std::size_t FileBytes = std::size_t{8} << 20;
// What the reader may add to the text it is given: a copy, a document of two nodes per 64
// bytes, counts of a million channels, and room for the allocator.
constexpr std::size_t Budget = 3 * FileBytes + (std::size_t{24} << 20);

std::string repeated(const std::string& head, const std::string& unit, const std::string& tail) {
    std::string chunk;
    while (chunk.size() < 65536)
        chunk += unit;
    std::string text = head;
    text.reserve(FileBytes + chunk.size() + tail.size());
    while (text.size() + chunk.size() + tail.size() <= FileBytes)
        text += chunk;
    return text + tail;
}

std::size_t addressSpaceNow() {
    long pages = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld", &pages) != 1)
            pages = 0;
        std::fclose(statm);
    }
    return static_cast<std::size_t>(pages) * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

// 0: read or refused with a reason; 1: ran out of memory; other: died.
int readWithinBudget(const std::string& text, FileFormat format) {
    const pid_t child = ::fork();
    if (child == 0) {
        const rlim_t limit = addressSpaceNow() + Budget;
        const rlimit bound{limit, limit};
        ::setrlimit(RLIMIT_AS, &bound);
        const ReadResult read = readSpectrumText(text, format, "big");
        ::_exit(read.error.find("too large") != std::string::npos ? 1 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

TEST(ReaderMemory, filesOfOneRepeatedPiece_readInAFewTimesTheirSize) {
    if (Sanitized)
        GTEST_SKIP() << "a sanitizer's shadow memory does not fit an address-space limit";
    const std::string n42Head = "<?xml version=\"1.0\"?><RadInstrumentData><RadMeasurement>"
                                "<Spectrum><ChannelData>1 2</ChannelData></Spectrum>";
    const std::string n42Tail = "</RadMeasurement></RadInstrumentData>";
    struct Case {
        const char* what;
        FileFormat format;
        std::string head, unit, tail;
    };
    const Case cases[] = {
        {"empty lines", FileFormat::TabText, "0\t1\n", "\n", ""},
        {"one row of pieces", FileFormat::TabText, "0\t1\n", " 1", "\n"},
        {"keywords", FileFormat::Spe, "$DATA:\n0 0\n5\n", "$\n", ""},
        {"remarks", FileFormat::Spe, "$DATA:\n0 0\n5\n$SPEC_REM:\n", "a\n", ""},
        {"coefficients", FileFormat::Spe, "$DATA:\n0 0\n5\n$MCA_CAL:\n3\n1 2", " 0", "\n"},
        {"comments", FileFormat::Csv, "", "#a\n", "1,2\n"},
        {"separators", FileFormat::Csv, "1,2\n", ",", "\n"},
        {"tiny elements", FileFormat::N42, n42Head, "<a/>", n42Tail},
        {"remarks", FileFormat::N42, n42Head, "<Remark>" + std::string(48, 'r') + "</Remark>",
         n42Tail},
        {"runs of zeroes", FileFormat::N42, "<a><ChannelData compressionCode=\"CountedZeroes\">",
         " 0 0", "</ChannelData></a>"},
    };
    for (const Case& c : cases) {
        const std::string text = repeated(c.head, c.unit, c.tail);
        EXPECT_EQ(readWithinBudget(text, c.format), 0)
            << formatName(c.format) << ", " << c.what << ": more than " << (Budget >> 20)
            << " MiB for a file of " << (FileBytes >> 20) << " MiB";
    }
}

TEST(ReaderMemory, remarksBeyondTheLimit_areLeftOutWithANote) {
    std::string text = "$DATA:\n0 0\n5\n$SPEC_REM:\n";
    for (int i = 0; i < 1500; ++i)
        text += "remark " + std::to_string(i) + "\n";
    const ReadResult read = readSpectrumText(text, FileFormat::Spe, "many.spe");
    ASSERT_TRUE(read) << read.error;
    ASSERT_EQ(read.spectrum->remarks.size(), 1000u);
    EXPECT_EQ(read.spectrum->remarks.back(), "remark 999");
    ASSERT_EQ(read.notes.size(), 1u);
    EXPECT_EQ(read.notes.front(), "The file holds 1500 remarks; the first 1000 were read.");
}

} // namespace
} // namespace tarvio
