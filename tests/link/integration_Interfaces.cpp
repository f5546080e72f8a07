#include "LinkFixture.h"
#include "link/InterfaceDetection.h"
#include "link/Interfaces.h"
#include "link/Transport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace tarvio {
namespace {

using test::ReportRecorder;
using ::testing::ElementsAre;

// A scripted pipe on a manual clock; reports go to the recorder's hook.
class InterfacesTest : public ::testing::Test {
protected:
    InterfacesTest() { recorder.hookReports(); }
    ~InterfacesTest() override {
        SetInterfaceDetection({});
        while (RegisteredCount() > 0) {
            DeviceLink closer(RegisteredInterface(0));
            CloseInterface(closer, true);
        }
    }

    std::vector<std::string> texts() const { return test::recordedReportTexts(); }

    ManualTimeSource clock{1000.0};
    ScopedTimeSource timeScope{clock};
    ScopedScriptedPipe pipe;
    ReportRecorder recorder;
};

TEST_F(InterfacesTest, noDevice_reportsNoneConnectedAndStoresNothing) {
    char out[16] = "untouched";
    EXPECT_EQ(ListInterfaces(Medipix2Any, out, sizeof out), 0);
    EXPECT_STREQ(out, "untouched");
    EXPECT_THAT(texts(), ElementsAre("No compatible device connected."));
}

TEST_F(InterfacesTest, filterThree_listsOnlyMedipixDescriptions) {
    pipe->addDevice("USB Serial");
    pipe->addDevice("Medipix2 ver 1.2");
    pipe->addDevice("Other");
    char out[64];
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(ListInterfaces(Medipix2Any, out, sizeof out), 1);
    EXPECT_STREQ(out, "Medipix2 ver 1.2");
    EXPECT_EQ(out[std::strlen(out) + 1], '#');
    ASSERT_EQ(test::recordedReports().size(), 4u);
    EXPECT_EQ(test::recordedReports()[0].text,
              "Connected devices (Number of all FTDI devices = 3):");
    EXPECT_EQ(test::recordedReports()[1].text,
              "??: USB Serial - Not Medipix (Connected devices (Number of all FTDI devices = 3):)");
    EXPECT_EQ(test::recordedReports()[2].text.substr(0, 22), "01: Medipix2 ver 1.2 (");
    EXPECT_EQ(test::recordedReports()[3].text.substr(0, 23), "??: Other - Not Medipix");
}

TEST_F(InterfacesTest, filterZeroAndFilterBits_selectPrefixes) {
    pipe->addDevice("USB Serial");
    pipe->addDevice("Medipix2 3V ver 2");
    pipe->addDevice("Medipix2 ver 1");
    EXPECT_EQ(ListInterfaces(AnyDevice, nullptr, 0), 3);
    EXPECT_EQ(test::recordedReports().back().text.substr(0, 20), "03: Medipix2 ver 1 (");
    EXPECT_EQ(ListInterfaces(Medipix2ThreeVolt, nullptr, 100), 1);
    EXPECT_EQ(ListInterfaces(Medipix2Ver, nullptr, 100), 1);
    EXPECT_EQ(ListInterfaces(4 + Medipix2Any, nullptr, 100), 2); // only the two low bits count
}

TEST_F(InterfacesTest, smallDescriptionArea_storesOnlyWhatFitsButCountsAll) {
    pipe->addDevice("Medipix2 A");
    pipe->addDevice("Medipix2 BBBBBBBB");
    pipe->addDevice("Medipix2 C");
    char out[24];
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(ListInterfaces(Medipix2Any, out, 20), 3);
    EXPECT_STREQ(out, "Medipix2 A");
    EXPECT_EQ(out[11], '#'); // the second did not fit and the third, though it would, follows it
    EXPECT_EQ(out[20], '#');
}

TEST_F(InterfacesTest, open_readsDeviceInformationAndSetsIdSource) {
    auto device = pipe->addDevice("Medipix2 ver 1: AB12", "SN7", 8, 0x04036010);
    device->queue("stale");
    DeviceDescr* descr = OpenInterface("Medipix2 ver 1: AB12", false, true);
    ASSERT_NE(descr, nullptr);
    EXPECT_TRUE(IsRegistered(descr));
    EXPECT_STREQ(descr->description, "Medipix2 ver 1: AB12");
    EXPECT_STREQ(descr->serialNumber, "SN7");
    EXPECT_EQ(descr->deviceType, 8u);
    EXPECT_EQ(descr->deviceId, 0x04036010u);
    EXPECT_STREQ(descr->idSource, "AB12");
    EXPECT_TRUE(descr->largeCounters);
    EXPECT_EQ(descr->chipCount, 1);
    EXPECT_EQ(descr->kind, 3);
    EXPECT_EQ(descr->defaultTimeout, 0.5);
    EXPECT_EQ(descr->defaultAttempts, 1);
    EXPECT_EQ(device->pending(), 0u); // purged
    EXPECT_EQ(device->readTimeoutMs(), 1000u);
    EXPECT_EQ(test::recordedReports()[0].text, "Device was opened succesfully");
    EXPECT_STREQ(descr->configReport.text, "Device information acquired succesfully");
}

TEST_F(InterfacesTest, descriptionWithoutColon_takesIdFromSerialNumber) {
    pipe->addDevice("Medipix2 ver 1", "SN9");
    DeviceDescr* descr = OpenInterface("Medipix2 ver 1", false, false);
    ASSERT_NE(descr, nullptr);
    EXPECT_STREQ(descr->idSource, "SN9");
    // A colon at the very end leaves an empty identifier, never one past the text.
    std::strcpy(descr->description, "Medipix2:");
    descr->SetIdSource();
    EXPECT_STREQ(descr->idSource, "");
}

TEST_F(InterfacesTest, failingDriverSteps_areReportedAndConfigurationGoesOn) {
    auto device = pipe->addDevice("Medipix2 ver 1");
    device->fail(PipeOp::Purge, DRV_IO_ERROR, 1);
    device->fail(PipeOp::SetTimeouts, DRV_INVALID_PARAMETER, 1);
    device->fail(PipeOp::DeviceInfo, DRV_OTHER_ERROR, 1);
    DeviceDescr* descr = OpenInterface("Medipix2 ver 1", false, false);
    ASSERT_NE(descr, nullptr);
    EXPECT_EQ(descr->configReport.level, ErrorCode::DeviceNotResponding);
    EXPECT_STREQ(descr->configReport.text, "Other Error (Invalid parameter (IO error))");
    EXPECT_STREQ(descr->idSource, "");
}

TEST_F(InterfacesTest, unopenableDevice_reportsStatusAndReturnsNone) {
    auto device = pipe->addDevice("Medipix2 ver 1");
    device->fail(PipeOp::Open, DRV_DEVICE_NOT_OPENED, 1);
    EXPECT_EQ(OpenInterface("Medipix2 ver 1", false, false), nullptr);
    EXPECT_EQ(OpenInterface("Medipix2 missing", false, false), nullptr);
    EXPECT_THAT(texts(), ElementsAre("Device not opened", "Device not found"));
    EXPECT_EQ(test::recordedReports()[0].level, ErrorCode::DeviceNotResponding);
    EXPECT_EQ(RegisteredCount(), 0);
}

TEST_F(InterfacesTest, close_releasesDriverAndSecondCloseIsRefused) {
    auto device = pipe->addDevice("Medipix2 ver 1");
    DeviceLink link(OpenInterface("Medipix2 ver 1", false, false));
    ASSERT_NE(link.device, nullptr);
    EXPECT_TRUE(CloseInterface(link, false));
    EXPECT_EQ(link.device, nullptr);
    EXPECT_FALSE(device->isOpen());
    EXPECT_STREQ(link.text, "Device closed succesfully");
    EXPECT_FALSE(CloseInterface(link, false));
    EXPECT_EQ(link.level, ErrorCode::BadDeviceHandle);
    EXPECT_EQ(std::string(link.text).substr(0, 22), "Invalid device handle ");
    ClearReport(link);
    EXPECT_FALSE(CloseInterface(link, true));
    EXPECT_STREQ(link.text, "");
}

TEST_F(InterfacesTest, failingClose_isReportedAndStillForgetsTheInterface) {
    auto device = pipe->addDevice("Medipix2 ver 1");
    DeviceLink link(OpenInterface("Medipix2 ver 1", false, false));
    device->fail(PipeOp::Close, DRV_IO_ERROR, 1);
    EXPECT_TRUE(CloseInterface(link, false));
    EXPECT_EQ(link.level, ErrorCode::DeviceNotResponding);
    EXPECT_EQ(RegisteredCount(), 0);
}

TEST_F(InterfacesTest, closingTheMiddleInterface_keepsOrderOfTheOthers) {
    pipe->addDevice("Medipix2 ver 1");
    DeviceDescr* a = OpenInterface("Medipix2 ver 1", false, false);
    DeviceDescr* b = OpenInterface("Medipix2 ver 1", false, false);
    DeviceDescr* c = OpenInterface("Medipix2 ver 1", false, false);
    DeviceLink link(b);
    EXPECT_TRUE(CloseInterface(link, true));
    ASSERT_EQ(RegisteredCount(), 2);
    EXPECT_EQ(RegisteredInterface(0), a);
    EXPECT_EQ(RegisteredInterface(1), c);
    EXPECT_EQ(RegisteredInterface(2), nullptr);
    int position = -1;
    EXPECT_TRUE(IsRegistered(c, &position));
    EXPECT_EQ(position, 1);
    EXPECT_FALSE(IsRegistered(b));
}

TEST_F(InterfacesTest, findInterface_reportsAClosedInterface) {
    pipe->addDevice("Medipix2 ver 1");
    DeviceLink link(OpenInterface("Medipix2 ver 1", false, false));
    EXPECT_EQ(FindInterface(link), link.device);
    DeviceLink other(link.device);
    CloseInterface(link, true);
    EXPECT_EQ(FindInterface(other), nullptr);
    EXPECT_EQ(other.level, ErrorCode::BadDeviceHandle);
    EXPECT_STREQ(other.text, "Invalid device handle.");
}

TEST_F(InterfacesTest, errorBoxCaption_namesARegisteredInterface) {
    pipe->addDevice("Medipix2 ver 1");
    DeviceLink link(OpenInterface("Medipix2 ver 1", false, false));
    SetReportHook(nullptr, 0);
    link.depth = 1;
    Report(link, ErrorCode::FatalError, "lost");
    ASSERT_EQ(recorder.boxes().size(), 1u);
    EXPECT_EQ(recorder.boxes()[0].caption, "Fatal error - Medipix2 ver 1 (1)");
}

TEST_F(InterfacesTest, openBeyondTheRegistry_isRefusedAndTheHandleClosed) {
    auto device = pipe->addDevice("Medipix2 ver 1");
    for (int i = 0; i < MaxOpenInterfaces; ++i) {
        ASSERT_NE(OpenInterface("Medipix2 ver 1", false, false), nullptr) << i;
    }
    test::recordedReports().clear();
    EXPECT_EQ(OpenInterface("Medipix2 ver 1", false, false), nullptr);
    EXPECT_EQ(RegisteredCount(), MaxOpenInterfaces);
    EXPECT_EQ(device->opens() - device->closes(), MaxOpenInterfaces);
    ASSERT_FALSE(test::recordedReports().empty());
    EXPECT_EQ(test::recordedReports().back().level, ErrorCode::GeneralError);
    EXPECT_NE(test::recordedReports().back().text.find("Too many open interfaces (512)"),
              std::string::npos);
}

bool resetSucceeds(DeviceLink& link) {
    link.device->chipCount = 2;
    return true;
}
bool resetMarksLargeCounters(DeviceLink& link) {
    link.device->largeCounters = true;
    return true;
}
bool resetFails(DeviceLink&) {
    return false;
}
bool chipIdReads(DeviceLink& link, char*, int size) {
    EXPECT_EQ(size, 0);
    std::strcpy(link.device->chipIdText, "C10-W0123");
    return true;
}

TEST_F(InterfacesTest, detection_plainChipsTakeTheirIdFromTheDescription) {
    pipe->addDevice("Medipix2 ver 1: AB12");
    SetInterfaceDetection({&resetSucceeds, &chipIdReads});
    DeviceDescr* descr = OpenInterface("Medipix2 ver 1: AB12", true, false);
    ASSERT_NE(descr, nullptr);
    EXPECT_EQ(descr->chipCount, 2);
    EXPECT_STREQ(descr->chipIdText, "AB12");
}

TEST_F(InterfacesTest, detection_largeCountersReadTheChipboardId) {
    pipe->addDevice("Medipix2 ver 1");
    SetInterfaceDetection({&resetMarksLargeCounters, &chipIdReads});
    DeviceDescr* descr = OpenInterface("Medipix2 ver 1", true, false);
    ASSERT_NE(descr, nullptr);
    EXPECT_STREQ(descr->chipIdText, "C10-W0123");
}

TEST_F(InterfacesTest, detection_failedOrMissingReset_keepsTheInterfaceOpen) {
    pipe->addDevice("Medipix2 ver 1");
    DeviceDescr* descr = OpenInterface("Medipix2 ver 1", true, false);
    ASSERT_NE(descr, nullptr);
    EXPECT_TRUE(IsRegistered(descr));
    EXPECT_EQ(test::recordedReports().back().level, ErrorCode::FatalError);
    SetInterfaceDetection({&resetFails, nullptr});
    EXPECT_FALSE(ConfigureInterface(*descr, true, false, 1));
    EXPECT_TRUE(ConfigureInterface(*descr, false, true, 4));
    EXPECT_EQ(descr->chipCount, 4);
    EXPECT_TRUE(descr->largeCounters);
}

} // namespace
} // namespace tarvio
