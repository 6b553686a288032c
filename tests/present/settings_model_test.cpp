// The settings dialog's decisions, without a dialog: which port the showing
// selects and names, what a confirm writes and puts in force, and the
// interval field's rules.

#include <filesystem>
#include <gtest/gtest.h>

#include "base/exe_dir.h"
#include "config/config.h"
#include "present/settings_model.h"
#include "reader/serial_ports.h"
#include "state/shared_state.h"
#include "tests/temp_dir.h"

namespace {

using Names = std::vector<std::string>;

class SettingsModelTest : public testing::Test
{
protected:
    void SetUp() override
    {
        SetExeDirOverride(m_dir.path().string());
        ResetSharedState();
        ports({"COM3", "COM12"});
    }
    void TearDown() override
    {
        SetSerialPortSource({});
        SetExeDirOverride({});
        ResetSharedState();
    }

    static void ports(const Names& names)
    {
        SetSerialPortSource([names](Names& out) {
            out = names;
            return true;
        });
    }
    void settings(const std::string& lines) { m_dir.write("config.ini", "[Config]\n" + lines); }
    // The state a running program had before the dialog opened.
    static void stateInForce()
    {
        SetPortNo = 3;
        ReadSleep = 7;
        LastMsgCode = 4;
        CardHandled = true;
        DeviceOK = true;
    }
    const std::string& selectedName() const
    {
        return m_model.view().ports[static_cast<std::size_t>(m_model.view().selected)].name;
    }

    TempDir m_dir;
    SettingsModel m_model;
};

TEST_F(SettingsModelTest, SerialPortsAreNamedWithTwoDigitsAndSortedWithoutCase)
{
    const struct
    {
        Names system, listed;
    } cases[] = {
        {{"COM3", "COM12", "COM100", "COM4"}, {"COM03", "COM04", "COM100", "COM12"}},
        {{"COM15", "com7", "com11"}, {"COM07", "com11", "COM15"}},
        {{"CNCA0", "COM", "COM1A", "COM0", "COM1001", "COM2"}, {"COM02"}},
    };
    for (const auto& c : cases) {
        ports(c.system);
        EXPECT_EQ(SettingsModel::ListSerialPorts(), c.listed);
    }
}

TEST_F(SettingsModelTest, TheShowingSelectsAndNamesThePortSetting)
{
    const struct
    {
        const char* port;
        Names system;
        const char* selected;
        const char* current;
    } cases[] = {
        {"3", {"COM3", "COM12"}, "COM03", "COM03"},
        {"12", {"com12"}, "com12", "com12"}, // found without regard to case
        {"4", {"COM3"}, "自动", "COM04(无该端口)"},
        {"-3", {"COM3"}, "自动", "COM0-3(无该端口)"},
        {"1001", {}, "USB", "USB"},
        {"abc", {"COM3"}, "自动", "自动"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port);
        ports(c.system);
        settings(std::string("Port=") + c.port + "\nSleep=1500\n");
        m_model.FormShow();
        EXPECT_EQ(selectedName(), c.selected);
        EXPECT_EQ(m_model.view().current, c.current);
        EXPECT_EQ(m_model.view().sleep, "1500");
        EXPECT_EQ(m_model.view().sleepMaxLength, 4);
    }
}

// An absent configured port shows 自动 selected, but only the operator's own
// choice replaces it; the last status is forgotten only when the port changed.
TEST_F(SettingsModelTest, ConfirmWritesThePortChosenAndPutsTheFileInForce)
{
    const struct
    {
        const char* what;
        const char* configured;
        int chosen; // index into the list, -1 for none
        std::int32_t port;
    } cases[] = {
        {"absent port, nothing chosen", "4", -1, 4},
        {"absent port, 自动 chosen", "4", 0, 0},
        {"present port, nothing chosen", "3", -1, 3},
        {"USB chosen", "3", 1, 1001},
        {"COM12 chosen", "3", 3, 12},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        settings(std::string("Port=") + c.configured + "\nReaderCallTimeout=2500\n");
        stateInForce();
        SetPortNo = std::stoi(c.configured);
        m_model.FormShow();
        if (c.chosen >= 0)
            m_model.portChosen(c.chosen);
        EXPECT_TRUE(m_model.OkBtnClick(" 45\t"));
        EXPECT_EQ(m_model.view().error, "");
        EXPECT_EQ(ReadPortSetting(), c.port);
        EXPECT_EQ(ReadConfig(kSleepKey), "45");
        EXPECT_EQ(SetPortNo, c.port);
        EXPECT_EQ(ReadSleep, 45);
        // A key the dialog does not show stays as written by hand.
        EXPECT_EQ(ReadConfig(kReaderCallTimeoutKey), "2500");
        EXPECT_EQ(LastMsgCode, std::to_string(c.port) == c.configured ? 4 : 0);
        EXPECT_FALSE(CardHandled);
        EXPECT_FALSE(DeviceOK);
    }
}

TEST_F(SettingsModelTest, AFailedWriteKeepsTheDialogOpenAndTheSettingsInForce)
{
    settings("Port=3\nSleep=7\n");
    std::filesystem::permissions(m_dir.file("config.ini"), std::filesystem::perms::owner_read);
    stateInForce();
    m_model.FormShow();
    m_model.portChosen(1);
    EXPECT_FALSE(m_model.OkBtnClick("500"));
    EXPECT_EQ(m_model.view().error, "设置未能保存：config.ini 不可写");
    EXPECT_EQ(SetPortNo, 3);
    EXPECT_EQ(ReadSleep, 7);
    EXPECT_EQ(LastMsgCode, 4);
    EXPECT_TRUE(CardHandled);
    EXPECT_TRUE(DeviceOK);
}

TEST_F(SettingsModelTest, TheIntervalFieldTakesDigitsAndEditingKeysUpToItsLimit)
{
    for (const char32_t key : {U'0', U'9', char32_t(8), char32_t(13), char32_t(127)})
        EXPECT_TRUE(SettingsModel::SleepEditKeyPress(key)) << int(key);
    for (const char32_t key : {U'a', U'-', U' ', U'/', U':', U'３', char32_t(27)})
        EXPECT_FALSE(SettingsModel::SleepEditKeyPress(key)) << int(key);
    EXPECT_EQ(SettingsModel::sleepMaxLengthFor(""), 3);
    EXPECT_EQ(SettingsModel::sleepMaxLengthFor("999"), 3);
    EXPECT_EQ(SettingsModel::sleepMaxLengthFor("15000"), 5);
}

} // namespace
