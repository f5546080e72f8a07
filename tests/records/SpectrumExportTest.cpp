#include "records/SpectrumExport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <locale>
#include <sstream>

using namespace tarvio;
namespace fs = std::filesystem;

namespace {

class SpectrumFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir =
            fs::temp_directory_path() /
            ("tarvio_export_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    static std::string read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::size_t entries() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {}));
    }

    fs::path dir;
};

struct CommaDecimal : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
};

} // namespace

TEST_F(SpectrumFile, clearedSpectrum_writes4096CrLfLinesWithZeroCounts) {
    Spectrum spectrum;
    spectrum.clear();
    const fs::path path = dir / "s.txt";
    const SaveResult result = spectrum.saveText(path.string());
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_TRUE(result.error.empty());
    std::string expected;
    for (int i = 0; i < 4096; ++i)
        expected += std::to_string(i) + "\t0\r\n";
    EXPECT_EQ(read(path), expected);
    EXPECT_EQ(entries(), 1u); // no temporary left behind
}

TEST_F(SpectrumFile, countsAboveSignedRange_writtenAsUnsigned) {
    Spectrum spectrum;
    spectrum.counts[1] = 4000000000u;
    const std::string text = spectrumText(spectrum);
    EXPECT_EQ(text.substr(0, 19), "0\t0\r\n1\t4000000000\r\n");
}

TEST_F(SpectrumFile, calibrated_writesFourDecimalsWithPointWhateverTheLocale) {
    const std::locale previous = std::locale::global(std::locale(std::locale(), new CommaDecimal));
    Spectrum spectrum;
    spectrum.addCount(100);
    const fs::path path = dir / "e.txt";
    const SaveResult result =
        spectrum.saveCalibratedText(path.string(), {100, 59.5}, {200, 122.06});
    std::locale::global(previous);
    ASSERT_TRUE(result.ok) << result.error;
    const std::string text = read(path);
    EXPECT_EQ(text.substr(0, 14), "-2.5000\t0\r\n-1.");
    EXPECT_NE(text.find("\r\n59.5000\t1\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\n2536.4000\t0\r\n"), std::string::npos); // channel 4095, last line
    EXPECT_EQ(text.size() - text.rfind("2536.4000\t0\r\n"), 13u);
    EXPECT_EQ(text.find(','), std::string::npos);
}

TEST_F(SpectrumFile, polynomialCalibration_writesItsEnergies) {
    Spectrum spectrum;
    spectrum.addCount(100);
    const fs::path path = dir / "q.txt";
    ASSERT_TRUE(spectrum.saveCalibratedText(path.string(), EnergyCalibration{{-20, 0.2, 1e-5}}));
    const std::string text = read(path);
    EXPECT_EQ(text.substr(0, 12), "-20.0000\t0\r\n");
    EXPECT_NE(text.find("\r\n0.1000\t1\r\n"), std::string::npos); // -20 + 20 + 0.1
}

TEST_F(SpectrumFile, calibrationUndefined_writesNothingAndSaysWhy) {
    const fs::path path = dir / "keep.txt";
    std::ofstream(path) << "earlier";
    Spectrum spectrum;
    spectrum.clear();
    const SaveResult result = spectrum.saveCalibratedText(path.string(), {0, 0}, {0, 0});
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error,
              "Calibration undefined: the two calibration channels must be at least one channel "
              "apart.");
    EXPECT_EQ(read(path), "earlier");
    EXPECT_EQ(entries(), 1u);

    const SaveResult plain = spectrum.saveText(path.string()); // unaffected
    EXPECT_TRUE(plain.ok);
}

TEST_F(SpectrumFile, existingFile_isReplacedWhole) {
    const fs::path path = dir / "s.txt";
    std::ofstream(path) << std::string(200000, 'x');
    Spectrum spectrum;
    spectrum.clear();
    spectrum.addCount(0);
    ASSERT_TRUE(spectrum.saveText(path.string()).ok);
    const std::string text = read(path);
    EXPECT_EQ(text.substr(0, 10), "0\t1\r\n1\t0\r\n");
    EXPECT_EQ(text.find('x'), std::string::npos);
}

TEST_F(SpectrumFile, missingFolderOrUnwritableTarget_failsLeavingNothingBehind) {
    Spectrum spectrum;
    spectrum.clear();
    const fs::path missing = dir / "no" / "such" / "s.txt";
    SaveResult result = spectrum.saveText(missing.string());
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find(missing.string()), std::string::npos);
    EXPECT_FALSE(fs::exists(missing));

    // A folder in the way: the rename fails, the folder and its contents stay.
    const fs::path folder = dir / "taken";
    fs::create_directories(folder / "inside");
    result = spectrum.saveText(folder.string());
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.rfind("Unable to write to ", 0), std::string::npos);
    EXPECT_TRUE(fs::is_directory(folder / "inside"));
    EXPECT_EQ(entries(), 1u);

    EXPECT_FALSE(spectrum.saveText("").ok);
}
