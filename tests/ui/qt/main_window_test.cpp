// Window tests of the main window on the offscreen platform: statuses are
// delivered straight to WMReadState, or through the status target from a
// thread of the test's own; the reading thread is created but never started.

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <cstring>
#include <fstream>
#include <memory>
#include <thread>

#include "base/exe_dir.h"
#include "card/gbk.h"
#include "reader/read_thread.h"
#include "state/shared_state.h"
#include "ui/qt/pictures.h"
#include "ui/qt/uMain.h"

namespace {

TermbLibrary loadedLibrary()
{
    TermbLibrary lib;
    lib.loaded = true;
    lib.path = "/opt/reader/libtermb.so";
    return lib;
}

QImage iconImage(const QIcon& icon)
{
    return icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
}

// Runs `call` on a thread of its own and, whatever the test's outcome, keeps
// handling events until that thread is done before joining it: a status that
// was never handled would otherwise block the join for good.
class StatusSender
{
public:
    explicit StatusSender(std::function<void()> call)
        : m_thread([this, call] {
              m_started = true;
              call();
              m_done = true;
          })
    {
        while (!m_started)
            std::this_thread::yield();
    }
    ~StatusSender()
    {
        while (!m_done)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        m_thread.join();
    }
    bool done() const { return m_done; }

private:
    std::atomic<bool> m_started{false};
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Tform_Main> m_window;

    Tform_Main& window(const TermbLibrary& lib = loadedLibrary())
    {
        m_window = std::make_unique<Tform_Main>(lib, false);
        return *m_window;
    }
    template <typename T> T* child(const char* name)
    {
        T* w = m_window->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    QString info() { return child<QLabel>("l_Info")->text(); }
    void writeConfig(const QByteArray& content)
    {
        std::ofstream(ExeDir() + "config.ini", std::ios::binary) << content.toStdString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        SetExeDirOverride(m_dir.path().toStdString());
        InstallFontSubstitutions();
    }
    void init()
    {
        QFile::remove(m_dir.filePath(QStringLiteral("config.ini")));
        ResetSharedState();
    }
    void cleanup() { m_window.reset(); }

    void layout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("place"); // in the window's client area
        QTest::newRow("banner band") << "Panel2" << QRect(0, 0, 703, 57);
        QTest::newRow("banner") << "Image1" << QRect(0, 0, 556, 57);
        QTest::newRow("strip") << "Image2" << QRect(556, 0, 147, 14);
        QTest::newRow("settings") << "SetBtn" << QRect(557, 22, 65, 25);
        QTest::newRow("about") << "btn_Config" << QRect(629, 22, 65, 25);
        QTest::newRow("read mode box") << "GroupBox1" << QRect(0, 57, 181, 415);
        QTest::newRow("single read") << "btn_OneReadCard" << QRect(27, 128, 120, 25);
        QTest::newRow("continuous read") << "btn_CycleReadCard" << QRect(27, 213, 120, 25);
        QTest::newRow("result box") << "GroupBox2" << QRect(181, 57, 522, 415);
        QTest::newRow("status bar") << "sb_Status" << QRect(0, 472, 703, 28);
    }
    void layout()
    {
        QFETCH(QString, name);
        QFETCH(QRect, place);
        Tform_Main& w = window();
        auto* control = w.findChild<QWidget*>(name);
        QVERIFY(control);
        QCOMPARE(QRect(control->mapTo(&w, QPoint(0, 0)), control->size()), place);
    }

    // The pictures built into the program are the ones its drawing code
    // makes now: same size, same pixels, none swapped for another.
    void storedPicturesAreTheDrawnOnes()
    {
        for (int i = 0; i < Pictures::kStoredPictureCount; ++i) {
            const auto which = static_cast<Pictures::StoredPicture>(i);
            const QImage stored = Pictures::StoredPixmap(which).toImage().convertToFormat(
                QImage::Format_ARGB32_Premultiplied);
            const QImage drawn = Pictures::DrawPicture(which).toImage().convertToFormat(
                QImage::Format_ARGB32_Premultiplied);
            QVERIFY2(!drawn.isNull() && stored == drawn, qPrintable(QString::number(i)));
        }
    }

    void devicePage()
    {
        Tform_Main& w = window();
        QCOMPARE(w.minimumSize(), QSize(703, 500));
        QCOMPARE(w.maximumSize(), QSize(703, 500));
        QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(w.windowFlags() & Qt::WindowSystemMenuHint);
        QCOMPARE(w.windowTitle(), QStringLiteral("zuviruzozozad"));

        auto* page = child<QStackedWidget>("pc_Page");
        auto* device = child<QWidget>("ts_Device");
        QCOMPARE(page->currentWidget(), device);
        QVERIFY(child<QWidget>("ts_NoDevice")->parentWidget() != nullptr);
        for (const char* picture : {"i_bg1", "i_bg2", "i_bg3", "i_HasCard"}) {
            auto* label = child<QLabel>(picture);
            QCOMPARE(label->parentWidget(), device);
            QCOMPARE(label->geometry(), QRect(67, 38, 380, 321));
        }
        // i_bg3 is the one seen: above the other two, below the card view.
        const QObjectList order = device->children();
        QVERIFY(order.indexOf(child<QLabel>("i_bg3")) > order.indexOf(child<QLabel>("i_bg2")));
        QVERIFY(order.indexOf(child<QWidget>("p_IDCardInfo")) >
                order.indexOf(child<QLabel>("i_bg3")));
        QCOMPARE(child<QWidget>("p_IDCardInfo")->geometry(), QRect(16, 71, 480, 253));
        auto* infoLine = child<QLabel>("l_Info");
        QCOMPARE(infoLine->width(), device->width());
        QCOMPARE(infoLine->height(), 46);
        QCOMPARE(infoLine->geometry().bottom(), device->height() - 1);
        QVERIFY(infoLine->wordWrap());
        QCOMPARE(infoLine->alignment(), Qt::AlignCenter);
    }

    void fonts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("pixelSize");
        QTest::addColumn<bool>("bold");
        QTest::newRow("window") << "form_Main"
                                << "MS Sans Serif" << 11 << false;
        QTest::newRow("read button") << "btn_OneReadCard"
                                     << "MS Sans Serif" << 11 << false;
        QTest::newRow("read mode box") << "GroupBox1"
                                       << "宋体" << 16 << false;
        QTest::newRow("result box") << "GroupBox2"
                                    << "宋体" << 16 << false;
        QTest::newRow("information line") << "l_Info"
                                          << "宋体" << 16 << true;
        QTest::newRow("status bar") << "sb_Status"
                                    << "宋体" << 16 << false;
        QTest::newRow("security module number") << "SamIdEdit"
                                                << "宋体" << 16 << false;
    }
    void fonts()
    {
        QFETCH(QString, name);
        QFETCH(QString, family);
        QFETCH(int, pixelSize);
        QFETCH(bool, bold);
        Tform_Main& w = window();
        QWidget* control = name == QLatin1String("form_Main") ? &w : w.findChild<QWidget*>(name);
        QVERIFY(control);
        QCOMPARE(control->font().family(), family);
        QCOMPARE(control->font().pixelSize(), pixelSize);
        QCOMPARE(control->font().bold(), bold);
    }

    void startState()
    {
        PortNo = 3;
        ReadMode = kReadContinuous;
        Tform_Main& w = window();
        QCOMPARE(PortNo.load(), kUsbPort);
        QCOMPARE(ReadMode.load(), kReadIdle);
        QCOMPARE(info(), QStringLiteral("请选择读卡方式"));
        QVERIFY(child<QWidget>("sb_Status")->isHidden());
        QVERIFY(child<QWidget>("p_IDCardInfo")->isHidden());
        QVERIFY(child<QWidget>("i_HasCard")->isHidden());
        auto* cycle = child<QPushButton>("btn_CycleReadCard");
        QCOMPARE(cycle->text(), QStringLiteral("循环读卡"));
        QCOMPARE(iconImage(cycle->icon()), iconImage(w.actionStatusIcons()[0]));
        QVERIFY(cycle->isFlat());
        QVERIFY(child<QPushButton>("btn_OneReadCard")->isFlat());
        QVERIFY(child<QPushButton>("btn_OneReadCard")->isEnabled());
    }

    // The hand picture is drawn only when first shown, and is then the
    // picture itself, not an empty label.
    void handPictureDrawnWhenShown()
    {
        Tform_Main& w = window();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto* hand = child<QLabel>("i_HasCard");
        QVERIFY(hand->pixmap(Qt::ReturnByValue).isNull());
        hand->show();
        QCOMPARE(hand->pixmap(Qt::ReturnByValue).toImage(), Pictures::HandWithCard().toImage());
        hand->hide();
    }

    // Image 0 must read as "start" (a green triangle), image 1 as "stop"
    // (two bars with a gap between them).
    void glyphRoles()
    {
        const QImage start = Pictures::ActionStatusGlyph(0).toImage();
        const QImage stop = Pictures::ActionStatusGlyph(1).toImage();
        const QColor centre = start.pixelColor(8, 8);
        QVERIFY(centre.alpha() > 200 && centre.green() > centre.red() + 60);
        QVERIFY(start.pixelColor(13, 2).alpha() < 40); // right of the tip: empty
        QVERIFY(stop.pixelColor(4, 8).alpha() > 200);
        QVERIFY(stop.pixelColor(11, 8).alpha() > 200);
        QVERIFY(stop.pixelColor(8, 8).alpha() < 40);
    }

    void settingsAtStart_data()
    {
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<int>("sleep");
        QTest::addColumn<int>("port");
        QTest::newRow("no file") << QByteArray() << 0 << 0;
        QTest::newRow("both set") << QByteArray("[Config]\r\nPort=12\r\nSleep=300\r\n") << 300
                                  << 12;
        QTest::newRow("USB, key case") << QByteArray("[config]\nPORT=1001\nsleep=0\n") << 0 << 1001;
        QTest::newRow("not numbers") << QByteArray("[Config]\nPort=COM3\nSleep=\n") << 0 << 0;
    }
    void settingsAtStart()
    {
        QFETCH(QByteArray, config);
        QFETCH(int, sleep);
        QFETCH(int, port);
        if (!config.isEmpty())
            writeConfig(config);
        window();
        QCOMPARE(ReadSleep.load(), sleep);
        QCOMPARE(SetPortNo.load(), port);
    }

    void statusHandling_data()
    {
        QTest::addColumn<int>("setPort");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("info");
        QTest::addColumn<bool>("statusBar");
        QTest::addColumn<QString>("portText");
        QTest::newRow("found on USB")
            << 0 << 1001 << RS_DEVICE_FOUND << "请放卡" << true << "   设备端口：USB1001";
        QTest::newRow("found on COM3")
            << 0 << 3 << RS_DEVICE_FOUND << "请放卡" << true << "   设备端口：COM3";
        QTest::newRow("not found, search")
            << 0 << 1001 << RS_NO_DEVICE << "未找到设备" << false << "";
        QTest::newRow("not found, fixed USB")
            << 1001 << 1001 << RS_NO_DEVICE << "未找到设备(固定端口：USB1001)" << false << "";
        // The text names the fixed port of the settings, not the port last tried.
        QTest::newRow("not found, fixed COM12")
            << 12 << 1001 << RS_NO_DEVICE << "未找到设备(固定端口：COM12)" << false << "";
        QTest::newRow("card read")
            << 0 << 1001 << RS_CARD_READ << "读卡成功，请取卡" << false << "";
        QTest::newRow("card lost") << 0 << 1001 << RS_CARD_LOST << "请放卡" << false << "";
        QTest::newRow("no card") << 0 << 1001 << RS_NO_CARD << "请放卡" << false << "";
    }
    void statusHandling()
    {
        QFETCH(int, setPort);
        QFETCH(int, port);
        QFETCH(int, status);
        QFETCH(QString, info);
        QFETCH(bool, statusBar);
        QFETCH(QString, portText);
        Tform_Main& w = window();
        SetPortNo = setPort;
        PortNo = port;
        std::snprintf(SamIdStr, sizeof SamIdStr, "05.01-20261209-0000000001-3915022118");
        LastIDCardNo = "990101199001010021";

        w.WMReadState(status);
        QCOMPARE(LastMsgCode.load(), status);
        QCOMPARE(this->info(), info);
        QCOMPARE(!child<QWidget>("sb_Status")->isHidden(), statusBar);
        QCOMPARE(!child<QWidget>("p_IDCardInfo")->isHidden(), status == RS_CARD_READ);
        // Only a card read keeps the number: the reading thread takes an empty
        // LastIDCardNo as "the card's display was cleared".
        QCOMPARE(LastIDCardNo.empty(), status != RS_CARD_READ);
        if (statusBar) {
            QCOMPARE(child<QLabel>("StatusPanel0")->text(), portText);
            QCOMPARE(child<QLabel>("StatusPanel1")->text(), QStringLiteral("安全模块号:"));
            QCOMPARE(child<QLineEdit>("SamIdEdit")->text(),
                     QStringLiteral("05.01-20261209-0000000001-3915022118"));
        }
    }

    // The result page stands on its group box's own ground, and a change on
    // the page (here a card) repaints from the page up, never the box.
    void resultPageOnBoxGround()
    {
        Tform_Main& w = window();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto* box = child<QWidget>("GroupBox2");
        auto* page = child<QWidget>("ts_Device");
        // A spot of the page that no picture covers: below its left corner.
        const QPoint inPage = page->mapTo(box, QPoint(4, page->height() - 4));
        const auto pageMatchesBox = [&] {
            QImage ground(box->size(), QImage::Format_ARGB32_Premultiplied);
            ground.fill(Qt::transparent);
            box->render(&ground, QPoint(), QRegion(), QWidget::DrawWindowBackground);
            const QImage shown = w.grab().toImage().convertToFormat(ground.format());
            return shown.pixel(box->mapTo(&w, inPage)) == ground.pixel(inPage);
        };
        QVERIFY(pageMatchesBox());

        struct PaintCounter : QObject
        {
            int paints = 0;
            bool eventFilter(QObject*, QEvent* e) override
            {
                paints += e->type() == QEvent::Paint;
                return false;
            }
        } counter;
        box->installEventFilter(&counter);
        w.WMReadState(RS_CARD_READ);
        QTRY_VERIFY(!child<QWidget>("p_IDCardInfo")->isHidden());
        QTest::qWait(50);
        QCOMPARE(counter.paints, 0);

        // The page's picture of the box follows a new palette.
        QPalette tinted = w.palette();
        tinted.setColor(QPalette::Window, QColor(0xd0, 0xe0, 0xf0));
        w.setPalette(tinted);
        QVERIFY(pageMatchesBox());
    }

    void cardReadShowsCardRecord()
    {
        Tform_Main& w = window();
        const std::string name = Utf8ToGbk("张样例");
        std::memcpy(CardInfo.Name, name.c_str(), name.size() + 1);
        w.WMReadState(RS_CARD_READ);
        auto* nameLabel = w.findChild<QLabel*>(QStringLiteral("NameLabel"));
        if (!nameLabel)
            QSKIP("the card view has no NameLabel yet");
        QCOMPARE(nameLabel->text(), QStringLiteral("张样例"));
    }

    void repeatedStatusHandledOnce()
    {
        Tform_Main& w = window();
        w.WMReadState(RS_DEVICE_FOUND);
        PortNo = 3;
        LastIDCardNo = "990101199001010021";
        w.WMReadState(RS_DEVICE_FOUND);
        QCOMPARE(child<QLabel>("StatusPanel0")->text(), QStringLiteral("   设备端口：USB1001"));
        QCOMPARE(LastIDCardNo.str(), std::string("990101199001010021"));

        w.WMReadState(RS_NO_DEVICE);
        child<QLabel>("l_Info")->setText(QStringLiteral("marker"));
        w.WMReadState(RS_NO_DEVICE);
        QCOMPARE(info(), QStringLiteral("marker"));
    }

    // A second single read with the same reader shows "请放卡" again before the
    // card, because the button resets LastMsgCode.
    void singleReadGetsFreshStatuses()
    {
        Tform_Main& w = window();
        w.WMReadState(RS_DEVICE_FOUND);
        w.WMReadState(RS_CARD_READ);
        QTest::mouseClick(child<QPushButton>("btn_OneReadCard"), Qt::LeftButton);
        QCOMPARE(LastMsgCode.load(), 0);
        QCOMPARE(ReadMode.load(), kReadOnce);
        // Nothing else changes until the next status.
        QCOMPARE(info(), QStringLiteral("读卡成功，请取卡"));
        QVERIFY(!child<QWidget>("p_IDCardInfo")->isHidden());
        w.WMReadState(RS_DEVICE_FOUND);
        QCOMPARE(info(), QStringLiteral("请放卡"));
        QVERIFY(child<QWidget>("p_IDCardInfo")->isHidden());
    }

    void continuousStartAndStop()
    {
        Tform_Main& w = window();
        auto* cycle = child<QPushButton>("btn_CycleReadCard");
        auto* single = child<QPushButton>("btn_OneReadCard");
        LastMsgCode = RS_CARD_LOST;

        QTest::mouseClick(cycle, Qt::LeftButton);
        QCOMPARE(cycle->text(), QStringLiteral("停止循环读卡"));
        QCOMPARE(iconImage(cycle->icon()), iconImage(w.actionStatusIcons()[1]));
        QVERIFY(!single->isEnabled());
        QCOMPARE(ReadMode.load(), kReadContinuous);
        QCOMPARE(LastMsgCode.load(), 0);
        QCOMPARE(info(), QString());

        w.WMReadState(RS_DEVICE_FOUND);
        w.WMReadState(RS_CARD_READ);
        QVERIFY(!child<QWidget>("sb_Status")->isHidden());
        QVERIFY(!child<QWidget>("p_IDCardInfo")->isHidden());

        QTest::mouseClick(cycle, Qt::LeftButton);
        QCOMPARE(ReadMode.load(), kReadIdle);
        QCOMPARE(cycle->text(), QStringLiteral("循环读卡"));
        QCOMPARE(iconImage(cycle->icon()), iconImage(w.actionStatusIcons()[0]));
        QVERIFY(single->isEnabled());
        QVERIFY(child<QWidget>("sb_Status")->isHidden());
        QVERIFY(child<QWidget>("p_IDCardInfo")->isHidden());
        QCOMPARE(info(), QStringLiteral("请选择读卡方式"));
        QVERIFY(LastIDCardNo.empty());
        // Stopping does not reset it: the next status equal to it is ignored.
        QCOMPARE(LastMsgCode.load(), RS_CARD_READ);
    }

    // A status the reading thread is waiting to deliver when continuous
    // reading stops is handled during the pause, not after the idle texts.
    void stopWhileStatusWaits()
    {
        Tform_Main& w = window();
        QTest::mouseClick(child<QPushButton>("btn_CycleReadCard"), Qt::LeftButton);
        w.WMReadState(RS_DEVICE_FOUND);
        w.WMReadState(RS_CARD_READ);

        const auto target = w.statusTarget();
        StatusSender sender([&] { target(RS_CARD_LOST); });
        QTest::mouseClick(child<QPushButton>("btn_CycleReadCard"), Qt::LeftButton);
        QCOMPARE(LastMsgCode.load(), RS_CARD_LOST);
        QCOMPARE(info(), QStringLiteral("请选择读卡方式"));
        QVERIFY(child<QWidget>("p_IDCardInfo")->isHidden());
        QVERIFY(child<QWidget>("sb_Status")->isHidden());
    }

    // The status target returns only after the window handled the status, and
    // the handler runs on the window's thread.
    void statusTargetIsSynchronous()
    {
        Tform_Main& w = window();
        QThread* handlerThread = nullptr;
        connect(&w, &Tform_Main::viewChanged, this,
                [&] { handlerThread = QThread::currentThread(); });
        std::atomic<int> seenOnReturn{-1};
        const auto target = w.statusTarget();
        StatusSender sender([&] {
            target(RS_NO_DEVICE);
            seenOnReturn = LastMsgCode.load();
        });
        QTRY_VERIFY(sender.done());
        QCOMPARE(seenOnReturn.load(), RS_NO_DEVICE);
        QCOMPARE(handlerThread, QThread::currentThread());
    }

    // Once closing began a status is dropped at once: the reading thread must
    // never wait for a window that is going away.
    void closingDropsStatuses()
    {
        Tform_Main& w = window();
        w.show();
        w.close();
        QCOMPARE(ReadMode.load(), kReadIdle);
        const auto target = w.statusTarget();
        std::thread sender([&] { target(RS_NO_DEVICE); });
        sender.join(); // would block for good if the status waited for the window
        QCoreApplication::processEvents();
        QCOMPARE(LastMsgCode.load(), 0);
    }

    void closingStopsReading()
    {
        Tform_Main& w = window();
        w.show();
        QTest::mouseClick(child<QPushButton>("btn_CycleReadCard"), Qt::LeftButton);
        QCOMPARE(ReadMode.load(), kReadContinuous);
        w.close();
        QCOMPARE(ReadMode.load(), kReadIdle);
    }

    void dialogsAreModal_data()
    {
        QTest::addColumn<QString>("buttonName");
        QTest::addColumn<bool>("settings");
        QTest::newRow("设置") << "SetBtn" << true;
        QTest::newRow("关于") << "btn_Config" << false;
    }
    void dialogsAreModal()
    {
        QFETCH(QString, buttonName);
        QFETCH(bool, settings);
        Tform_Main& w = window();
        auto* about = new QDialog(&w);
        auto* setup = new QDialog(&w);
        w.setDialogs(about, setup);
        QDialog* expected = settings ? setup : about;
        QWidget* seenModal = nullptr;
        int infoWhileOpen = -1;
        QTimer::singleShot(0, this, [&] {
            seenModal = QApplication::activeModalWidget();
            // Statuses are still handled while the dialog is open.
            const auto target = w.statusTarget();
            {
                StatusSender sender([&] { target(RS_NO_DEVICE); });
            }
            infoWhileOpen = LastMsgCode.load();
            expected->reject();
        });
        QTest::mouseClick(w.findChild<QPushButton*>(buttonName), Qt::LeftButton);
        QCOMPARE(seenModal, expected);
        QCOMPARE(infoWhileOpen, RS_NO_DEVICE);
        QCOMPARE(info(), QStringLiteral("未找到设备"));
    }

    void libraryNotLoaded_data()
    {
        QTest::addColumn<QStringList>("tried");
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("text");
        QTest::newRow("not found")
            << QStringList{"/opt/zuvi/libtermb.so", "libtermb.so"}
            << int(TermbLoadFailure::NotFound)
            << "未能加载读卡器库 libtermb.so（查找位置：/opt/zuvi；系统库路径）";
        QTest::newRow("named file")
            << QStringList{"/srv/r/libx.so"} << int(TermbLoadFailure::NotLoadable)
            << "未能加载读卡器库 libx.so（查找位置：/srv/r）";
        QTest::newRow("incomplete")
            << QStringList{"/opt/zuvi/libtermb.so"} << int(TermbLoadFailure::MissingFunctions)
            << "读卡器库 libtermb.so 缺少函数：SDT_ReadNewAppMsg";
    }
    void libraryNotLoaded()
    {
        QFETCH(QStringList, tried);
        QFETCH(int, failure);
        QFETCH(QString, text);
        TermbLibrary lib;
        for (const QString& t : tried)
            lib.tried.push_back(t.toStdString());
        lib.path = lib.tried.front();
        lib.failure = TermbLoadFailure(failure);
        if (lib.failure == TermbLoadFailure::MissingFunctions)
            lib.missing = {"SDT_ReadNewAppMsg"};
        window(lib);
        QCOMPARE(info(), text);
    }

    void virtualReaderIsMarked()
    {
        TermbLibrary lib = loadedLibrary();
        lib.isVirtual = true;
        Tform_Main& w = window(lib);
        QCOMPARE(w.windowTitle(), QStringLiteral("zuviruzozozad（虚拟读卡器）"));
        QCOMPARE(info(), QStringLiteral("请选择读卡方式"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
