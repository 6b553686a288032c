#include "ui/SetForm.h"

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <string>
#include <vector>

#include "app/int_text.h"
#include "app/shared_state.h"
#include "card/gbk.h"
#include "config/config.h"
#include "reader/serial_ports.h"

namespace {

// Typing stops at three characters (999 ms at most); a longer value from the
// settings file is still shown whole.
constexpr int kSleepTypedLength = 3;

const QString kNoSuchPort = QStringLiteral("(无该端口)");

QLabel* makeLabel(const QString& name, const QString& text, QWidget* parent, int x, int y)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(x, y);
    label->adjustSize();
    return label;
}

QPushButton* makeButton(const QString& name, const QString& text, QWidget* parent, int x)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setGeometry(x, 8, 75, 25);
    // Neither button answers Enter or Escape on the dialog's behalf.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

// The port number a listed name stands for, or 0 when the name is not "COM"
// and a decimal number. 0 and 1001 already mean automatic search and USB in
// the settings, so a serial port with such a number cannot be told apart and
// is not offered.
int portOfName(const QString& name)
{
    if (name.size() <= 3 || !name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        return 0;
    const QString digits = name.mid(3);
    if (!std::all_of(digits.begin(), digits.end(),
                     [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }))
        return 0;
    std::int32_t port = 0;
    if (!ParseInt32(digits.toStdString(), port) || port <= 0 || port == kUsbPort)
        return 0;
    return port;
}

// Settings text is GBK; numbers read from it need no conversion.
std::int32_t readIntSetting(const char* key)
{
    return IntOrZero(ReadConfig(key));
}

// Blanks and control characters (code 32 and below) at either end go, as the
// settings file trims its values.
QString trimBlanksAndControls(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 32)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

TSetFrm::TSetFrm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SetFrm"));
    setWindowTitle(QStringLiteral("参数设置"));
    QFont formFont(QStringLiteral("宋体"));
    formFont.setPixelSize(16);
    setFont(formFont);
    QFont smallFont = formFont;
    smallFont.setPixelSize(13);

    // The whole form in one place: the group box takes what the panel's 45
    // pixels at the bottom leave; controls sit at fixed places inside each.
    m_groupBox1 = new QGroupBox(QStringLiteral("参数"), this);
    m_groupBox1->setObjectName(QStringLiteral("GroupBox1"));
    m_label1 =
        makeLabel(QStringLiteral("Label1"), QStringLiteral("端口设置："), m_groupBox1, 40, 32);
    m_portCbx = new QComboBox(m_groupBox1);
    m_portCbx->setObjectName(QStringLiteral("PortCbx"));
    m_portCbx->setEditable(false);
    m_portCbx->setGeometry(122, 26, 156, 24);
    m_label4 = new QLabel(QStringLiteral("当前模式："), m_groupBox1);
    m_label4->setObjectName(QStringLiteral("Label4"));
    m_label4->setFont(smallFont);
    m_label4->move(51, 60);
    m_label4->adjustSize();
    m_curLb = new QLabel(m_groupBox1);
    m_curLb->setObjectName(QStringLiteral("CurLb"));
    m_curLb->setFont(smallFont);
    m_curLb->move(123, 60);
    m_curLb->adjustSize();
    m_label3 =
        makeLabel(QStringLiteral("Label3"), QStringLiteral("读卡间隔："), m_groupBox1, 40, 96);
    m_sleepEdit = new QLineEdit(m_groupBox1);
    m_sleepEdit->setObjectName(QStringLiteral("SleepEdit"));
    m_sleepEdit->setGeometry(122, 94, 111, 24);
    m_sleepEdit->setMaxLength(kSleepTypedLength);
    // Digits are all the field takes, so an input method has nothing to add;
    // without one every character arrives as a key press and meets the filter.
    m_sleepEdit->setAttribute(Qt::WA_InputMethodEnabled, false);
    m_sleepEdit->installEventFilter(this);
    m_label5 = makeLabel(QStringLiteral("Label5"), QStringLiteral("(毫秒)"), m_groupBox1, 233, 98);

    m_panel1 = new QFrame(this);
    m_panel1->setObjectName(QStringLiteral("Panel1"));
    m_panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_panel1->setFixedHeight(45);
    m_okBtn = makeButton(QStringLiteral("OkBtn"), QStringLiteral("确定"), m_panel1, 54);
    m_exitBtn = makeButton(QStringLiteral("ExitBtn"), QStringLiteral("退出"), m_panel1, 187);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_groupBox1, 1);
    layout->addWidget(m_panel1);
    resize(327, 191);

    setTabOrder(m_portCbx, m_sleepEdit);
    setTabOrder(m_sleepEdit, m_okBtn);
    setTabOrder(m_okBtn, m_exitBtn);

    connect(m_okBtn, &QPushButton::clicked, this, &TSetFrm::OkBtnClick);
    connect(m_exitBtn, &QPushButton::clicked, this, &TSetFrm::ExitBtnClick);
    connect(m_sleepEdit, &QLineEdit::textChanged, this, &TSetFrm::keepLengthLimit);
}

void TSetFrm::ListSerialPorts(QStringList& names)
{
    names.clear();
    std::vector<std::string> system;
    if (!SystemSerialPortNames(system))
        return;
    QStringList listed;
    for (const std::string& raw : system) {
        QString name = QString::fromLatin1(raw.c_str());
        if (name.size() == 4)
            name = QStringLiteral("COM0") + name.at(3);
        if (portOfName(name) != 0)
            listed.append(name);
    }
    // Plain character order without letter case: COM100 comes between COM10
    // and COM11, as the operator has always seen it.
    std::stable_sort(listed.begin(), listed.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    names = listed;
}

void TSetFrm::showEvent(QShowEvent* event)
{
    // Centred on the main window on every showing, wherever it was before.
    setAttribute(Qt::WA_Moved, false);
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TSetFrm::FormShow()
{
    QStringList ports;
    ListSerialPorts(ports);
    m_portCbx->clear();
    m_portCbx->addItem(QStringLiteral("自动"), kAutoPort);
    m_portCbx->addItem(QStringLiteral("USB"), kUsbPort);
    for (const QString& name : ports)
        m_portCbx->addItem(name, portOfName(name));

    const std::int32_t port = readIntSetting("Port");
    bool matched = true;
    QString formed;
    if (port == kAutoPort) {
        m_portCbx->setCurrentIndex(m_portCbx->findData(kAutoPort));
    } else if (port == kUsbPort) {
        m_portCbx->setCurrentIndex(m_portCbx->findData(kUsbPort));
    } else {
        // Below 10 (negative numbers too) the name carries a 0: COM03, COM0-5.
        formed =
            (port < 10 ? QStringLiteral("COM0") : QStringLiteral("COM")) + QString::number(port);
        const int found = m_portCbx->findText(formed, Qt::MatchFixedString);
        if (found >= 0) {
            m_portCbx->setCurrentIndex(found);
        } else {
            m_portCbx->setCurrentIndex(m_portCbx->findData(kAutoPort));
            matched = false;
        }
    }
    m_curLb->setText(matched ? m_portCbx->currentText() : formed + kNoSuchPort);
    m_curLb->adjustSize();

    const QString sleep = QString::number(readIntSetting("Sleep"));
    m_sleepEdit->setMaxLength(std::max<int>(kSleepTypedLength, sleep.size()));
    m_sleepEdit->setText(sleep);
}

// The field's limit works like an edit control's text limit: typing and
// pasting cannot make the text longer than three characters, but a longer
// value put there by FormShow stays whole until the operator shortens it.
void TSetFrm::keepLengthLimit()
{
    const int limit = std::max<int>(kSleepTypedLength, m_sleepEdit->text().size());
    if (m_sleepEdit->maxLength() == limit)
        return;
    const int cursor = m_sleepEdit->cursorPosition();
    m_sleepEdit->setMaxLength(limit);
    m_sleepEdit->setCursorPosition(cursor);
}

bool TSetFrm::SleepEditKeyPress(QChar key)
{
    const char16_t code = key.unicode();
    return (code >= u'0' && code <= u'9') || code == 8 || code == 13 || code == 127;
}

bool TSetFrm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_sleepEdit && event->type() == QEvent::KeyPress) {
        // Keys that type nothing (arrows, Home, Shift) pass; a key that types
        // a character passes only when the character does. Control-key
        // combinations type control characters and are discarded like any
        // other, as the edit field has always done.
        const QString typed = static_cast<QKeyEvent*>(event)->text();
        if (!typed.isEmpty() && !(typed.size() == 1 && SleepEditKeyPress(typed.at(0))))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TSetFrm::keyPressEvent(QKeyEvent* event)
{
    // The dialog has no default and no cancel button: Escape does nothing,
    // and Enter only presses the button that has the focus, as push buttons
    // do on the operator's desktop.
    switch (event->key()) {
    case Qt::Key_Escape:
        event->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (auto* button = qobject_cast<QPushButton*>(focusWidget());
            button && (button == m_okBtn || button == m_exitBtn))
            button->click();
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void TSetFrm::OkBtnClick()
{
    const std::int32_t oldPort = readIntSetting("port");
    WriteConfig("Port", std::to_string(m_portCbx->currentData().toInt()));
    WriteConfig("Sleep", Utf8ToGbk(trimBlanksAndControls(m_sleepEdit->text()).toStdString()));
    // The shared state takes what the file holds now, not what the dialog
    // shows: a write that failed leaves the old settings in force.
    ReadSleep = readIntSetting("sleep");
    SetPortNo = readIntSetting("port");
    if (SetPortNo != oldPort)
        LastMsgCode = 0;
    accept();
    // The reading thread makes sure of the reader afresh on its next pass.
    CardHandled = false;
    DeviceOK = false;
}

void TSetFrm::ExitBtnClick()
{
    reject();
}
