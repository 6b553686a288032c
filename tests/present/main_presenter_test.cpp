// The main window's decisions, without a window.

#include <gtest/gtest.h>

#include "state/shared_state.h"
#include "reader/read_thread.h"
#include "present/main_presenter.h"
#include "present/status_repeats.h"

namespace {

class MainPresenterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetSharedState();
        m_library.loaded = true;
    }
    void TearDown() override { ResetSharedState(); }

    TermbLibrary m_library;
};

// Once continuous reading has stopped, nothing a pass of it still reports
// changes the idle window, however long the pass took; statuses that were
// waiting during the stop's pause are handled, and a pass begun after the
// stop (a single read) is shown as usual.
TEST_F(MainPresenterTest, StatusesOfStoppedReadingLeaveTheIdleWindow)
{
    MainPresenter p(m_library);
    p.FormCreate();
    EXPECT_FALSE(p.btn_CycleReadCardClick());
    PassStopCount = StopCount.load(); // the pass the thread begins now
    p.WMReadState(RS_DEVICE_FOUND);

    EXPECT_TRUE(p.btn_CycleReadCardClick());
    EXPECT_EQ(ReadMode, kReadIdle);
    p.WMReadState(RS_NO_CARD); // waiting during the pause: handled
    EXPECT_EQ(LastMsgCode, RS_NO_CARD);
    p.finishStopping();
    const MainView idle = p.view();
    EXPECT_EQ(idle.info, "请选择读卡方式");

    // The slow read of the stopped pass returns.
    EXPECT_FALSE(p.WMReadState(RS_CARD_READ));
    EXPECT_EQ(p.view().info, idle.info);
    EXPECT_FALSE(p.view().cardVisible);
    EXPECT_EQ(LastMsgCode, RS_NO_CARD);

    p.btn_OneReadCardClick();
    PassStopCount = StopCount.load(); // the single read's own pass
    EXPECT_TRUE(p.WMReadState(RS_CARD_READ));
    EXPECT_EQ(p.view().info, "读卡成功，请取卡");
    EXPECT_TRUE(p.view().cardVisible);
}

// The status target spares the window only the repeats it would ignore:
// every status that changes the window still reaches it, a single read and
// the first status of each reading included.
TEST_F(MainPresenterTest, StatusTargetSparesOnlyRepeatsTheWindowIgnores)
{
    MainPresenter p(m_library);
    p.FormCreate();
    StatusRepeats repeats;
    // As the status target sends: true when the window was handed the status.
    const auto send = [&](int status) {
        if (repeats.spare(status))
            return false;
        p.WMReadState(status);
        return true;
    };
    p.btn_OneReadCardClick();
    EXPECT_TRUE(send(RS_NO_DEVICE));
    p.btn_OneReadCardClick();
    EXPECT_TRUE(send(RS_NO_DEVICE)); // a second single read gets it afresh

    // Starting clears the view: the same status must show again.
    EXPECT_FALSE(p.btn_CycleReadCardClick());
    EXPECT_TRUE(send(RS_NO_DEVICE));
    EXPECT_EQ(p.view().info, "未找到设备");
    EXPECT_FALSE(send(RS_NO_DEVICE));
    EXPECT_TRUE(send(RS_DEVICE_FOUND));
    EXPECT_FALSE(send(RS_DEVICE_FOUND));
    EXPECT_TRUE(send(RS_CARD_READ));
    EXPECT_TRUE(send(RS_CARD_READ)); // a card read always reaches it
    EXPECT_TRUE(send(RS_CARD_LOST));
    EXPECT_TRUE(send(RS_NO_CARD));
    EXPECT_FALSE(send(RS_NO_CARD));
    ResetLastMsgCode(); // the port setting changed
    EXPECT_TRUE(send(RS_NO_CARD));
    EXPECT_EQ(LastMsgCode, RS_NO_CARD);
    EXPECT_FALSE(send(RS_NO_CARD));

    // Stopping: what waits during the pause is handed over; reading started
    // again shows its first status whatever came before.
    EXPECT_TRUE(p.btn_CycleReadCardClick());
    EXPECT_TRUE(send(RS_NO_CARD));
    p.finishStopping();
    EXPECT_FALSE(p.btn_CycleReadCardClick());
    PassStopCount = StopCount.load(); // the thread's next pass
    EXPECT_TRUE(send(RS_NO_CARD));
    EXPECT_EQ(p.view().info, "请放卡");
    EXPECT_FALSE(send(RS_NO_CARD));
}

// The virtual reader standing in for a library that could not be loaded:
// the caption marks it, and the information line says what is missing.
TEST_F(MainPresenterTest, VirtualReaderStandingInSaysWhatIsMissing)
{
    m_library.isVirtual = true;
    TermbLibrary missing;
    missing.tried = {"C:\\zuvi\\termb.dll"};
    missing.path = missing.tried.front();
    MainPresenter p(m_library);
    p.standIn(missing);
    p.FormCreate();
    EXPECT_EQ(p.view().caption, "zuviruzozozad（虚拟读卡器）");
    EXPECT_EQ(p.view().info, "未能加载读卡器库 termb.dll（查找位置：C:\\zuvi）");
}

TEST_F(MainPresenterTest, StatusTexts)
{
    const struct
    {
        int status, port, fixedPort;
        const char* info;
        bool statusBar;
        const char* portText;
    } cases[] = {
        {RS_DEVICE_FOUND, 1001, 0, "请放卡", true, "   设备端口：USB1001"},
        {RS_DEVICE_FOUND, 3, 0, "请放卡", true, "   设备端口：COM3"},
        {RS_NO_DEVICE, 1001, 0, "未找到设备", false, ""},
        {RS_NO_DEVICE, 1001, 1001, "未找到设备(固定端口：USB1001)", false, ""},
        {RS_NO_DEVICE, 1001, 12, "未找到设备(固定端口：COM12)", false, ""},
        {RS_CARD_LOST, 1001, 0, "请放卡", false, ""},
        {RS_NO_CARD, 1001, 0, "请放卡", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.info);
        ResetSharedState();
        MainPresenter p(m_library);
        PortNo = c.port;
        SetPortNo = c.fixedPort;
        EXPECT_FALSE(p.WMReadState(c.status));
        EXPECT_EQ(p.view().info, c.info);
        EXPECT_EQ(p.view().statusBarVisible, c.statusBar);
        EXPECT_EQ(p.view().portText, c.portText);
        EXPECT_FALSE(p.view().cardVisible);
        EXPECT_EQ(LastMsgCode, c.status);
    }
}

} // namespace
