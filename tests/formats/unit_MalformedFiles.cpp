// A file that cannot be read gets one message: the file, the line or element, what was wrong.
#include "formats/SpectrumFiles.h"

#include <gtest/gtest.h>

namespace tarvio {
namespace {

TEST(MalformedFiles, eachFormatNamesTheFileThePlaceAndTheFault) {
    struct Case {
        FileFormat format;
        const char* text;
        const char* message; // after "bad.x: "
    };
    const Case cases[] = {
        {FileFormat::N42, "<RadInstrumentData>\n<RadMeasurement>\n</RadInstrumentData>",
         "line 3: not well-formed XML"},
        {FileFormat::N42, "<RadInstrumentData/>", "element <RadInstrumentData>: no spectrum"},
        {FileFormat::N42, "<a><ChannelData>1 2 -3</ChannelData></a>",
         "element <ChannelData>: value 3 '-3' is not a whole count"},
        {FileFormat::N42, "<a><ChannelData>1 2.5</ChannelData></a>",
         "element <ChannelData>: value 2 '2.5' is not a whole count"},
        {FileFormat::N42, "<a><ChannelData> </ChannelData></a>",
         "element <ChannelData>: no counts"},
        {FileFormat::N42, "<a><ChannelData compressionCode=\"CountedZeroes\">1 0</ChannelData></a>",
         "element <ChannelData>: a run of zeroes without its length"},
        {FileFormat::N42,
         "<a><ChannelData compressionCode=\"CountedZeroes\">0 99999999999</ChannelData></a>",
         "element <ChannelData>: more than 1048576 channels"},
        {FileFormat::Spe, "hello\n$DATA:\n0 0\n1\n", "line 1: not an SPE file"},
        {FileFormat::Spe, "$SPEC_ID:\nx\n", "line 1: no $DATA: block"},
        {FileFormat::Spe, "$DATA:\n0 2\n1\n2\n",
         "line 4: $DATA: announces channels 0 to 2 but "
         "holds 2 counts"},
        {FileFormat::Spe, "$DATA:\n0 1\n1\n2\n3\n", "line 5: more counts than channels 0 to 1"},
        {FileFormat::Spe, "$DATA:\n0 1\n1\nx\n", "line 4: 'x' is not a whole count"},
        {FileFormat::Spe, "$DATA:\n5 1\n", "line 2: '5 1' is not a first and a last channel"},
        {FileFormat::Spe, "$DATA:\n0 2000000\n", "line 2: more than 1048576 channels"},
        {FileFormat::Csv, "channel,counts\n0,5\n1,abc\n", "line 3: 'abc' is not a whole count"},
        {FileFormat::Csv, "channel,energy_keV,counts\n0,1\n", "line 2: the row has 2 columns"},
        {FileFormat::Csv, "channel,counts\n3,5\n1,6\n", "line 3: channel 1 comes after channel 3"},
        {FileFormat::Csv, "a,b,c\n1,2,3\n", "line 1: no column of counts"},
        {FileFormat::Csv, "# only a remark\n", "line 1: no rows of counts"},
        {FileFormat::TabText, "0\t5\n1\t6\t7\n", "line 2: '1 6 7' is not a channel"},
        {FileFormat::TabText, "0\t5\n\n2\t-6\n", "line 3: '-6' is not a whole count"},
        {FileFormat::TabText, "1.0000\t5\nabc\t6\n", "line 2: 'abc' is not an energy"},
        {FileFormat::TabText, "", "line 1: no counts"},
        {FileFormat::TabText, "2000000\t1\n", "line 1: channel 2000000 is beyond"},
    };
    for (const Case& c : cases) {
        const ReadResult read = readSpectrumText(c.text, c.format, "bad.x");
        EXPECT_FALSE(read) << c.text;
        EXPECT_EQ(read.error.rfind(std::string("bad.x: ") + c.message, 0), 0u)
            << formatName(c.format) << ": " << read.error;
    }
}

} // namespace
} // namespace tarvio
