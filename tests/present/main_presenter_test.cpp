// The main window's decisions, without a window.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "present/main_controller.h"
#include "present/main_presenter.h"
#include "present/status_repeats.h"
#include "reader/read_thread.h"
#include "state/shared_state.h"

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
    EXPECT_EQ(p.btn_CycleReadCardClick(), CycleClick::Started);
    PassStopCount = StopCount.load(); // the pass the thread begins now
    p.WMReadState(RS_DEVICE_FOUND);

    EXPECT_EQ(p.btn_CycleReadCardClick(), CycleClick::Stopping);
    EXPECT_EQ(ReadMode, kReadIdle);
    p.WMReadState(RS_NO_CARD); // waiting during the pause: handled
    EXPECT_EQ(LastMsgCode, RS_NO_CARD);
    p.finishStopping();
    const MainView idle = p.view();
    EXPECT_EQ(idle.info, "请选择读卡方式");

    // The slow read of the stopped pass returns.
    EXPECT_EQ(p.WMReadState(RS_CARD_READ), StatusEffect::Ignored);
    EXPECT_EQ(p.view().info, idle.info);
    EXPECT_FALSE(p.view().cardVisible);
    EXPECT_EQ(LastMsgCode, RS_NO_CARD);

    p.btn_OneReadCardClick();
    PassStopCount = StopCount.load(); // the single read's own pass
    EXPECT_EQ(p.WMReadState(RS_CARD_READ), StatusEffect::CardToShow);
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
    EXPECT_EQ(p.btn_CycleReadCardClick(), CycleClick::Started);
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
    EXPECT_EQ(p.btn_CycleReadCardClick(), CycleClick::Stopping);
    EXPECT_TRUE(send(RS_NO_CARD));
    p.finishStopping();
    EXPECT_EQ(p.btn_CycleReadCardClick(), CycleClick::Started);
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
    // The virtual reader's own statuses are real ones.
    p.btn_OneReadCardClick();
    p.WMReadState(RS_NO_DEVICE);
    EXPECT_EQ(p.view().info, "未找到设备");
}

// Without any library the information line says what is wrong with it, and
// keeps saying so after every read that could not find a reader.
TEST_F(MainPresenterTest, WithoutALibraryReadsKeepSayingWhy)
{
    const LibraryArchitecture self = ProgramArchitecture();
    const std::pair<LibraryFileCheck, std::string> cases[] = {
        {{}, ""},
        {{LibraryFileProblem::Empty, {}}, "：文件是空的"},
        {{LibraryFileProblem::NotALibrary, {}}, "：文件不是动态库"},
        {{LibraryFileProblem::OtherArchitecture, {32, "x86"}},
         "：文件是 32 位 x86 的库，本程序需要 " + std::to_string(self.bits) + " 位 " +
             self.machine + " 的库"},
    };
    for (const auto& [check, reason] : cases) {
        const std::string info = "未能加载读卡器库 termb.dll" + reason + "（查找位置：C:\\zuvi）";
        ResetSharedState();
        TermbLibrary lib;
        lib.path = "C:\\zuvi\\termb.dll";
        lib.tried = {lib.path};
        lib.failure = TermbLoadFailure::NotLoadable;
        lib.fileCheck = check;
        MainPresenter p(lib);
        p.FormCreate();
        p.btn_OneReadCardClick();
        p.WMReadState(RS_NO_DEVICE);
        EXPECT_EQ(p.view().info, info);
        SetPortNo = 5; // continuous reading on a fixed port, stopped
        p.btn_CycleReadCardClick();
        p.WMReadState(RS_NO_DEVICE);
        EXPECT_EQ(p.view().info, info);
        p.btn_CycleReadCardClick();
        p.finishStopping();
        EXPECT_EQ(p.view().info, info);
    }
}

TEST_F(MainPresenterTest, StatusTexts)
{
    const struct
    {
        int status, port, fixedPort;
        const char* info;
        bool statusBar;
        const char* portText;
        const char* fault = ""; // ReaderFaultFunction
    } cases[] = {
        {RS_DEVICE_FOUND, 1001, 0, "请放卡", true, "   设备端口：USB1001"},
        {RS_DEVICE_FOUND, 3, 0, "请放卡", true, "   设备端口：COM3"},
        {RS_NO_DEVICE, 1001, 0, "未找到设备", false, ""},
        {RS_NO_DEVICE, 1001, 1001, "未找到设备(固定端口：USB1001)", false, ""},
        {RS_NO_DEVICE, 1001, 12, "未找到设备(固定端口：COM12)", false, ""},
        {RS_CARD_LOST, 1001, 0, "请放卡", false, ""},
        {RS_NO_CARD, 1001, 0, "请放卡", false, ""},
        {RS_LIBRARY_CRASHED, 1001, 0, "读卡器库异常终止：SDT_ReadBaseFPMsg", false, "",
         "SDT_ReadBaseFPMsg"},
        {RS_LIBRARY_HUNG, 1001, 0, "读卡器库无响应：SDT_OpenPort", false, "", "SDT_OpenPort"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.info);
        ResetSharedState();
        MainPresenter p(m_library);
        PortNo = c.port;
        SetPortNo = c.fixedPort;
        ReaderFaultFunction = c.fault;
        EXPECT_EQ(p.WMReadState(c.status), StatusEffect::ViewChanged);
        EXPECT_EQ(p.WMReadState(c.status), StatusEffect::Ignored); // its repeat
        EXPECT_EQ(p.view().info, c.info);
        EXPECT_EQ(p.view().statusBarVisible, c.statusBar);
        EXPECT_EQ(p.view().portText, c.portText);
        EXPECT_FALSE(p.view().cardVisible);
        EXPECT_EQ(LastMsgCode, c.status);
    }
}

// No reader host program beside the tests: the library runs in process, and
// the window says so at start, unless in process was asked for.
TEST_F(MainPresenterTest, AMissingReaderHostIsSaidAtStart)
{
    for (const bool inProcess : {false, true}) {
        SetUpReaderHosting(inProcess, std::chrono::milliseconds(1000));
        MainPresenter p(m_library);
        p.FormCreate();
        EXPECT_EQ(p.view().info,
                  inProcess ? "请选择读卡方式" : "未找到读卡器库宿主程序，读卡器库在本程序内运行");
    }
}

// The front-end's duties as the controller asks for them, in order.
class RecordingHost : public MainWindowHost
{
public:
    std::vector<std::string> calls;
    void render(const MainView& v) override { calls.push_back("render " + v.info); }
    void ShowCardInfo(const CardViewContent& content) override
    {
        for (const CardText& t : content.texts)
            if (t.visible && std::string(t.control) == "NameLabel")
                calls.push_back("card " + t.text);
    }
    void pause(int ms, PendingStatuses pending) override
    {
        calls.push_back("pause " + std::to_string(ms) +
                        (pending == PendingStatuses::Deliver ? " delivering" : " holding"));
        if (onPause)
            onPause();
    }
    std::function<void()> onPause;
};

// The stop and close steps, the card view's content and the repeat filter
// are the controller's: a front-end only renders, shows cards and pauses.
TEST_F(MainPresenterTest, ControllerDrivesTheHostThroughEachStep)
{
    RecordingHost host;
    MainController c(host, m_library);
    std::vector<int> delivered;
    c.FormCreate([&](int status) {
        delivered.push_back(status);
        c.WMReadState(status);
    });
    const auto target = c.statusTarget();
    EXPECT_EQ(host.calls, (std::vector<std::string>{"render 请选择读卡方式"}));

    host.calls.clear();
    c.btn_CycleReadCardClick();
    target(RS_NO_CARD);
    target(RS_NO_CARD); // a repeat the window would ignore: never delivered
    EXPECT_EQ(delivered, (std::vector<int>{RS_NO_CARD}));
    // A card read: its content goes to the card view before the view renders.
    std::memcpy(CardInfo.Name, "\xd5\xc5", 2); // GBK 张
    target(RS_CARD_READ);
    // Stopping: the pause hands over what waits, then the idle texts.
    host.onPause = [&] { target(RS_CARD_LOST); };
    c.btn_CycleReadCardClick();
    EXPECT_EQ(host.calls, (std::vector<std::string>{
                              "render ", "render 请放卡", "card 张", "render 读卡成功，请取卡",
                              "pause 500 delivering", "render 请放卡", "render 请选择读卡方式"}));

    // Closing while idle ends at once; statuses after it are dropped.
    host.calls.clear();
    c.FormClose();
    target(RS_DEVICE_FOUND);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(delivered.back(), RS_CARD_LOST);

    // Closing while reading pauses for the pass, without handling statuses.
    RecordingHost reading;
    MainController r(reading, m_library);
    r.FormCreate([](int) {});
    r.btn_OneReadCardClick();
    r.FormClose();
    EXPECT_EQ(reading.calls.back(), "pause 1000 holding");
}

} // namespace
