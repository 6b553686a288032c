#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include <filesystem>
#include <memory>
#include <optional>

#include "base/exe_dir.h"
#include "config/config.h"
#include "dialog_fonts.h"
#include "reader/serial_ports.h"
#include "state/shared_state.h"
#include "tests/temp_dir.h"
#include "ui/qt/SetForm.h"

using PortNames = std::optional<QStringList>; // nullopt: the system's list cannot be read
Q_DECLARE_METATYPE(PortNames)

class SetFormTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempDir> m_dir;
    std::unique_ptr<TSetFrm> m_form;

    template <typename T> T* child(const char* name)
    {
        T* found = m_form->findChild<T*>(name);
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    QComboBox* portCbx() { return child<QComboBox>("PortCbx"); }
    QLineEdit* sleepEdit() { return child<QLineEdit>("SleepEdit"); }
    QString curLb() { return child<QLabel>("CurLb")->text(); }
    QStringList entries()
    {
        QStringList texts;
        for (int i = 0; i < portCbx()->count(); ++i)
            texts << portCbx()->itemText(i);
        return texts;
    }
    static void setPorts(const PortNames& ports)
    {
        SetSerialPortSource([ports](std::vector<std::string>& names) {
            if (!ports)
                return false;
            names.clear();
            for (const QString& p : *ports)
                names.push_back(p.toStdString());
            return true;
        });
    }
    void writeSettings(const std::string& lines)
    {
        m_dir->write("config.ini", "[Config]\n" + lines);
    }
    std::string settingsFile() { return m_dir->read("config.ini"); }
    static QString setting(const char* key) { return QString::fromStdString(ReadConfig(key)); }
    void confirm() { QTest::mouseClick(child<QPushButton>("OkBtn"), Qt::LeftButton); }
    // The state a running program had before the dialog opened.
    static void setStateInForce()
    {
        SetPortNo = 3;
        ReadSleep = 7;
        LastMsgCode = 4;
        CardHandled = true;
        DeviceOK = true;
    }

private slots:
    void initTestCase() { substituteDialogFonts(); }
    void init()
    {
        m_dir = std::make_unique<TempDir>();
        SetExeDirOverride(m_dir->path().string());
        ResetSharedState();
        setPorts(QStringList{"COM3", "COM12"});
        m_form = std::make_unique<TSetFrm>();
    }
    void cleanup()
    {
        m_form.reset();
        SetSerialPortSource({});
        SetExeDirOverride("");
        m_dir.reset();
    }

    void portList_data()
    {
        QTest::addColumn<PortNames>("ports");
        QTest::addColumn<QStringList>("expected");
        const QStringList fixed{"自动", "USB"};
        QTest::newRow("sorted as text") << PortNames({"COM3", "COM12", "COM4", "COM100"})
                                        << fixed + QStringList{"COM03", "COM04", "COM100", "COM12"};
        QTest::newRow("letter case ignored") << PortNames({"COM15", "com7", "com11"})
                                             << fixed + QStringList{"COM07", "com11", "COM15"};
        QTest::newRow("not COM and a port number")
            << PortNames({"CNCA0", "ABCD", "COM", "COM1A", "COM0", "COM1001", "COM-5", "COM2"})
            << fixed + QStringList{"COM02"};
        QTest::newRow("COM9 and COM10")
            << PortNames({"COM10", "COM9"}) << fixed + QStringList{"COM09", "COM10"};
        QTest::newRow("list unreadable") << PortNames() << fixed;
        QTest::newRow("no ports") << PortNames(QStringList{}) << fixed;
    }
    void portList()
    {
        QFETCH(PortNames, ports);
        QFETCH(QStringList, expected);
        setPorts(ports);
        // Every showing rebuilds the list; nothing piles up.
        for (int showing = 0; showing < 3; ++showing) {
            m_form->show();
            QCOMPARE(entries(), expected);
            m_form->close();
        }
    }

    void selection_data()
    {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("shown");
        QTest::newRow("COM3 present") << QByteArray("Port=3\n") << "COM03"
                                      << "COM03";
        QTest::newRow("COM12 present") << QByteArray("Port=12\n") << "COM12"
                                       << "COM12";
        QTest::newRow("COM4 absent") << QByteArray("Port=4\n") << "自动"
                                     << "COM04(无该端口)";
        QTest::newRow("COM100 absent") << QByteArray("Port=100\n") << "自动"
                                       << "COM100(无该端口)";
        QTest::newRow("COM9 absent") << QByteArray("Port=9\n") << "自动"
                                     << "COM09(无该端口)";
        QTest::newRow("COM10 absent") << QByteArray("Port=10\n") << "自动"
                                      << "COM10(无该端口)";
        QTest::newRow("negative") << QByteArray("Port=-3\n") << "自动"
                                  << "COM0-3(无该端口)";
        QTest::newRow("USB") << QByteArray("Port=1001\n") << "USB"
                             << "USB";
        QTest::newRow("automatic") << QByteArray("Port=0\n") << "自动"
                                   << "自动";
        QTest::newRow("not a number") << QByteArray("Port=abc\n") << "自动"
                                      << "自动";
        QTest::newRow("no settings") << QByteArray() << "自动"
                                     << "自动";
    }
    void selection()
    {
        QFETCH(QByteArray, lines);
        QFETCH(QString, selected);
        QFETCH(QString, shown);
        writeSettings(lines.toStdString());
        m_form->show();
        QCOMPARE(portCbx()->currentText(), selected);
        QCOMPARE(curLb(), shown);
        // The label tells what was in force at opening, not the new choice.
        portCbx()->setCurrentIndex(1);
        QCOMPARE(curLb(), shown);
    }

    void sleepShown_data()
    {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QString>("shown");
        QTest::newRow("leading zeros") << QByteArray("Sleep=007\n") << "7";
        QTest::newRow("longer than typing allows") << QByteArray("Sleep=1500\n") << "1500";
        QTest::newRow("blanks around") << QByteArray("Sleep= 250 \n") << "250";
        QTest::newRow("empty") << QByteArray("Sleep=\n") << "0";
        QTest::newRow("letters") << QByteArray("Sleep=abc\n") << "0";
        QTest::newRow("missing") << QByteArray() << "0";
    }
    void sleepShown()
    {
        QFETCH(QByteArray, lines);
        QFETCH(QString, shown);
        writeSettings(lines.toStdString());
        m_form->show();
        QCOMPARE(sleepEdit()->text(), shown);
    }

    void confirmWritesSelection_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("port");
        QTest::newRow("COM12") << "COM12" << 12;
        QTest::newRow("COM03") << "COM03" << 3;
        QTest::newRow("USB") << "USB" << 1001;
        QTest::newRow("automatic") << "自动" << 0;
    }
    void confirmWritesSelection()
    {
        QFETCH(QString, entry);
        QFETCH(int, port);
        writeSettings("Port=12\nSleep=300\n");
        SetPortNo = 12;
        LastMsgCode = 4;
        CardHandled = true;
        DeviceOK = true;
        m_form->show();
        portCbx()->setCurrentIndex(portCbx()->findText(entry));
        confirm();
        QVERIFY(!m_form->isVisible());
        QCOMPARE(setting("Port"), QString::number(port));
        QCOMPARE(SetPortNo.load(), port);
        QCOMPARE(ReadSleep.load(), 300);
        QCOMPARE(LastMsgCode.load(), port == 12 ? 4 : 0);
        QVERIFY(!CardHandled);
        QVERIFY(!DeviceOK);
    }

    void confirmAsOpened()
    {
        writeSettings("Port=3\nSleep=007\n[Other]\nKeep=1\n");
        setStateInForce();
        m_form->show();
        confirm();
        QCOMPARE(setting("Port"), QStringLiteral("3"));
        QCOMPARE(setting("Sleep"), QStringLiteral("7"));
        QVERIFY(settingsFile().find("[Other]\nKeep=1") != std::string::npos);
        QCOMPARE(ReadSleep.load(), 7);
        QCOMPARE(SetPortNo.load(), 3);
        QCOMPARE(LastMsgCode.load(), 4); // port unchanged
        QVERIFY(!CardHandled);
        QVERIFY(!DeviceOK);
    }

    // A configured port that is not present shows 自动 selected, but only the
    // operator's own choice replaces the setting.
    void confirmAbsentPortKeepsIt_data()
    {
        QTest::addColumn<bool>("chooseAuto");
        QTest::addColumn<QString>("port");
        QTest::newRow("only the interval changed") << false << "3";
        QTest::newRow("自动 chosen") << true << "0";
    }
    void confirmAbsentPortKeepsIt()
    {
        QFETCH(bool, chooseAuto);
        QFETCH(QString, port);
        setPorts(QStringList{"COM12"});
        writeSettings("Port=3\nSleep=20\n");
        setStateInForce();
        m_form->show();
        if (chooseAuto) {
            portCbx()->setFocus();
            QTest::keyClick(portCbx(), Qt::Key_Down); // to USB
            QTest::keyClick(portCbx(), Qt::Key_Up);   // back to 自动
            QCOMPARE(portCbx()->currentText(), QStringLiteral("自动"));
        }
        sleepEdit()->setText("30");
        confirm();
        QCOMPARE(setting("Port"), port);
        QCOMPARE(setting("Sleep"), QStringLiteral("30"));
        QCOMPARE(SetPortNo.load(), port.toInt());
        QCOMPARE(LastMsgCode.load(), chooseAuto ? 0 : 4);
    }

    // What the field holds reaches the file trimmed but otherwise as it is
    // (pasting is not filtered); the state and the next showing take the
    // number the file then gives.
    void confirmWritesInterval_data()
    {
        QTest::addColumn<QString>("field"); // null: left as shown
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<int>("readSleep");
        QTest::addColumn<QString>("reshown");
        QTest::newRow("empty") << "" << QByteArray("Sleep=\n") << 0 << "0";
        QTest::newRow("1500 as shown") << QString() << QByteArray("Sleep=1500\n") << 1500 << "1500";
        QTest::newRow("trimmed") << " 45\t" << QByteArray("Sleep=45\n") << 45 << "45";
        QTest::newRow("leading zeros") << "007" << QByteArray("Sleep=007\n") << 7 << "7";
    }
    void confirmWritesInterval()
    {
        QFETCH(QString, field);
        QFETCH(QByteArray, written);
        QFETCH(int, readSleep);
        QFETCH(QString, reshown);
        writeSettings("Sleep=1500\n");
        m_form->show();
        if (!field.isNull())
            sleepEdit()->setText(field);
        confirm();
        QVERIFY(settingsFile().find(written.toStdString()) != std::string::npos);
        QCOMPARE(ReadSleep.load(), readSleep);
        m_form->show();
        QCOMPARE(sleepEdit()->text(), reshown);
    }

    void typing_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("text");
        QTest::newRow("digits") << "250"
                                << "250";
        QTest::newRow("letter") << "a"
                                << "";
        QTest::newRow("minus") << "-"
                               << "";
        QTest::newRow("blank") << " "
                               << "";
        QTest::newRow("mixed") << "1x-2 3"
                               << "123";
        QTest::newRow("three at most") << "12345"
                                       << "123";
        QTest::newRow("digits 6 to 9") << "6x7-8 9"
                                       << "678";
        QTest::newRow("nine") << "9"
                              << "9";
    }
    void typing()
    {
        QFETCH(QString, keys);
        QFETCH(QString, text);
        m_form->show();
        sleepEdit()->clear();
        QTest::keyClicks(sleepEdit(), keys);
        QCOMPARE(sleepEdit()->text(), text);
        QTest::keyClick(sleepEdit(), Qt::Key_Backspace);
        QCOMPARE(sleepEdit()->text(), text.left(qMax(0, text.size() - 1)));
    }

    void keysDoNotCloseTheDialog_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
    }
    void keysDoNotCloseTheDialog()
    {
        QFETCH(int, key);
        writeSettings("Port=3\n");
        const std::string before = settingsFile();
        m_form->show();
        sleepEdit()->setText("9");
        QTest::keyClick(sleepEdit(), Qt::Key(key));
        QTest::keyClick(portCbx(), Qt::Key(key));
        QVERIFY(m_form->isVisible());
        QCOMPARE(settingsFile(), before);
    }

    // Enter presses the button that has the focus, and only that one.
    void enterPressesFocusedButton()
    {
        writeSettings("Port=3\n");
        m_form->show();
        portCbx()->setCurrentIndex(portCbx()->findText("USB"));
        auto* exitBtn = child<QPushButton>("ExitBtn");
        exitBtn->setFocus();
        QTest::keyClick(exitBtn, Qt::Key_Return);
        QVERIFY(!m_form->isVisible());
        QCOMPARE(setting("Port"), QStringLiteral("3"));
        m_form->show();
        portCbx()->setCurrentIndex(portCbx()->findText("USB"));
        auto* okBtn = child<QPushButton>("OkBtn");
        okBtn->setFocus();
        QTest::keyClick(okBtn, Qt::Key_Return);
        QVERIFY(!m_form->isVisible());
        QCOMPARE(setting("Port"), QStringLiteral("1001"));
    }

    void cancelLeavesEverything_data()
    {
        QTest::addColumn<bool>("byButton");
        QTest::newRow("退出") << true;
        QTest::newRow("frame") << false;
    }
    void cancelLeavesEverything()
    {
        QFETCH(bool, byButton);
        writeSettings("Port=3\nSleep=007\n");
        const std::string before = settingsFile();
        setStateInForce();
        m_form->show();
        portCbx()->setCurrentIndex(portCbx()->findText("USB"));
        sleepEdit()->setText("99");
        if (byButton)
            QTest::mouseClick(child<QPushButton>("ExitBtn"), Qt::LeftButton);
        else
            m_form->close();
        QVERIFY(!m_form->isVisible());
        QCOMPARE(settingsFile(), before);
        QCOMPARE(SetPortNo.load(), 3);
        QCOMPARE(ReadSleep.load(), 7);
        QCOMPARE(LastMsgCode.load(), 4);
        QVERIFY(CardHandled);
        QVERIFY(DeviceOK);
        // Nothing of the cancelled showing survives.
        m_form->show();
        QCOMPARE(portCbx()->currentText(), "COM03");
        QCOMPARE(sleepEdit()->text(), "7");
    }

    void readOnlySettingsKeepSettingsInForce()
    {
        writeSettings("Port=3\nSleep=20\n");
        const std::string before = settingsFile();
        std::filesystem::permissions(m_dir->file("config.ini"),
                                     std::filesystem::perms::owner_read |
                                         std::filesystem::perms::group_read);
        setStateInForce();
        m_form->show();
        portCbx()->setCurrentIndex(portCbx()->findText("USB"));
        sleepEdit()->setText("500");
        confirm();
        QCOMPARE(settingsFile(), before);
        QCOMPARE(SetPortNo.load(), 3);
        QCOMPARE(ReadSleep.load(), 20);
        QCOMPARE(LastMsgCode.load(), 4);
        // The dialog stays open and says that nothing was saved.
        QVERIFY(m_form->isVisible());
        QVERIFY(child<QLabel>("SaveError")->isVisible());
        QCOMPARE(child<QLabel>("SaveError")->text(),
                 QStringLiteral("设置未能保存：config.ini 不可写"));
        const auto windows = QApplication::topLevelWidgets();
        QVERIFY(std::none_of(windows.begin(), windows.end(), [](QWidget* w) {
            return w->isVisible() && qobject_cast<QMessageBox*>(w);
        }));
    }

    void centredOnMainWindow()
    {
        QWidget mainWindow;
        mainWindow.setGeometry(200, 150, 800, 600);
        mainWindow.show();
        TSetFrm form(&mainWindow);
        for (int showing = 0; showing < 2; ++showing) {
            form.show();
            QVERIFY((form.frameGeometry().center() - mainWindow.frameGeometry().center())
                        .manhattanLength() <= 4);
            form.close();
            form.move(0, 0);
        }
    }
};

QTEST_MAIN(SetFormTest)
#include "set_form_test.moc"
