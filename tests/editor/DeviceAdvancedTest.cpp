// A unit's advanced settings: the dialog's checks give the servers' ranges, only settings off
// their default are written, and each server kind offers only the settings it reads.
#include "editor/DeviceAdvanced.h"

#include "fileformat/ConfigFormat.h"

#include <gtest/gtest.h>

using namespace vorn::editor;

namespace {

const std::string kTarnvale = vorn::format::kTarnvaleName;
const std::string kRennick = vorn::format::kRennickName;

} // namespace

TEST(DeviceAdvanced, TheDialogRefusesWhatTheServersRefuseAndKeepsNothingThen) {
    DeviceAdvanced advanced;
    EXPECT_EQ(advanced.setFromDialog({{"maxregisters", "0"}}, kTarnvale),
              "Registers per read must be a whole number from 1 to 123.");
    EXPECT_EQ(advanced.setFromDialog({{"maxbithole", "12.5"}}, kTarnvale),
              "Largest hole in bits must be a whole number from 0 to 1966.");
    EXPECT_EQ(advanced.setFromDialog({{"backupaddress", "plc7.plant"}}, kTarnvale),
              "Backup IP address must be an IPv4 address such as 192.168.0.2.");
    EXPECT_EQ(advanced, DeviceAdvanced{});
    EXPECT_EQ(advanced.attributesText(), "");
}

TEST(DeviceAdvanced, OnlySettingsOffTheirDefaultAreWrittenInTheFilesOrder) {
    DeviceAdvanced advanced;
    ASSERT_EQ(advanced.setFromDialog({{"backupaddress", " 10.0.0.9 "},
                                      {"maxregisters", "123"},
                                      {"reducedafter", "3"},
                                      {"maxregisterhole", "0"}},
                                     kTarnvale),
              std::nullopt);
    EXPECT_EQ(advanced.attributesText(),
              " maxregisterhole=\"0\" reducedafter=\"3\" backupaddress=\"10.0.0.9\"");
    EXPECT_EQ(advanced.text("maxregisters"), "123");
    EXPECT_EQ(advanced.text("reducedinterval"), "10");
}

TEST(DeviceAdvanced, ARennickUnitTakesTheReadLimitsAndReducedRateAsElements) {
    std::vector<std::string> names;
    for (const AdvancedSetting& setting : DeviceAdvanced::settingsFor(kRennick))
        names.push_back(setting.name);
    EXPECT_EQ(names, (std::vector<std::string>{"maxregisters", "maxbits", "maxregisterhole",
                                               "maxbithole", "reducedafter", "reducedinterval"}));
    DeviceAdvanced advanced;
    EXPECT_TRUE(advanced.take("maxregisters", "16"));
    EXPECT_TRUE(advanced.take("maxbits", "1968")); // the default: not written
    EXPECT_FALSE(advanced.take("silent", "10"));
    EXPECT_EQ(advanced.elementLines("\t\t\t", "\r\n"), "\t\t\t<maxregisters>16</maxregisters>\r\n");
}
