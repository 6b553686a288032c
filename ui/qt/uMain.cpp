#include "ui/uMain.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStringList>
#include <QThread>

#include "app/int_text.h"
#include "app/shared_state.h"
#include "card/gbk.h"
#include "config/config.h"
#include "reader/photo_files.h"
#include "reader/read_thread.h"
#include "ui/SetForm.h"
#include "ui/card_view.h"
#include "ui/pictures.h"
#include "ui/uAboutForm.h"

namespace {

const QString kCaption = QStringLiteral("zuviruzozozad");
const QString kVirtualMark = QStringLiteral("（虚拟读卡器）");
const QString kCycleStart = QStringLiteral("循环读卡");
const QString kCycleStop = QStringLiteral("停止循环读卡");
const QString kChooseMode = QStringLiteral("请选择读卡方式");
const QString kPlaceCard = QStringLiteral("请放卡");
const QString kCardRead = QStringLiteral("读卡成功，请取卡");
const QString kSamIdCaption = QStringLiteral("安全模块号:");

// The card view fills its fingerprint line only for this selector.
constexpr int kCardViewSelector = 7;

QFont songFont()
{
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(16);
    return font;
}

// The read buttons are flat; a light frame and a hover tint keep them
// recognisable as buttons on every widget style.
const char* const kReadButtonStyle = R"(
QPushButton {
    border: 1px solid #9fb4cc; border-radius: 3px; padding: 2px 8px;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #fdfeff, stop:1 #e3ecf6);
}
QPushButton:hover {
    border-color: #3a8fd6;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f2f8fe, stop:1 #d3e6f8);
}
QPushButton:pressed { background: #c6dcf2; }
QPushButton:disabled { color: #9aa5b1; border-color: #ccd5df; background: #f0f2f4; }
)";

QLabel* pictureLabel(QWidget* parent, const char* name, const QPixmap& pixmap, const QRect& place)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setPixmap(pixmap);
    label->setScaledContents(true);
    label->setGeometry(place);
    return label;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption, const QRect& place)
{
    auto* btn = new QPushButton(caption, parent);
    btn->setObjectName(QString::fromLatin1(name));
    btn->setGeometry(place);
    btn->setFocusPolicy(Qt::TabFocus);
    return btn;
}

// One bevelled panel of the status bar, filled by a borderless child.
QFrame* statusBarPanel(QWidget* bar, int left, int width, QWidget* content)
{
    auto* panel = new QFrame(bar);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setGeometry(left, 2, width - 2, 24);
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(content);
    return panel;
}

} // namespace

void InstallFontSubstitutions()
{
    QFont::insertSubstitutions(QStringLiteral("宋体"),
                               {QStringLiteral("AR PL UMing CN"), QStringLiteral("SimSun")});
    QFont::insertSubstitutions(QStringLiteral("微软雅黑"), {QStringLiteral("WenQuanYi Zen Hei"),
                                                            QStringLiteral("Microsoft YaHei")});
    QFont::insertSubstitutions(
        QStringLiteral("MS Sans Serif"),
        {QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("DejaVu Sans")});
}

QString LibraryLoadFailureText(const TermbLibrary& library)
{
    const QString path = QFile::decodeName(library.path.c_str());
    const QString file =
        path.isEmpty() ? QString::fromLatin1(TermbFileName()) : QFileInfo(path).fileName();
    const std::string missingPrefix = "missing function(s): ";
    if (library.error.rfind(missingPrefix, 0) == 0) {
        return QStringLiteral("读卡器库 %1 缺少函数：%2")
            .arg(file, QString::fromStdString(library.error.substr(missingPrefix.size())));
    }
    QStringList places;
    for (const std::string& tried : library.tried) {
        const QString t = QFile::decodeName(tried.c_str());
        const QString place = (t.contains(QLatin1Char('/')) || t.contains(QLatin1Char('\\')))
                                  ? QFileInfo(t).absolutePath()
                                  : QStringLiteral("系统库路径");
        if (!places.contains(place))
            places << place;
    }
    if (places.isEmpty())
        return QStringLiteral("未能加载读卡器库 %1").arg(file);
    return QStringLiteral("未能加载读卡器库 %1（查找位置：%2）")
        .arg(file, places.join(QStringLiteral("；")));
}

Tform_Main::Tform_Main(const TermbLibrary& library, bool startReading, QWidget* parent)
    : QWidget(parent), m_statusRelay(std::make_shared<StatusRelay>())
{
    buildLayout();
    setWindowTitle(library.isVirtual ? kCaption + kVirtualMark : kCaption);
    // The reading thread waits inside its status call until the handler has
    // run here, exactly like a synchronous window message: that is what makes
    // it safe to read CardInfo and SamIdStr and to clear LastIDCardNo in the
    // handler without a lock. Hence blocking-queued, never plain queued.
    connect(m_statusRelay.get(), &StatusRelay::readState, this, &Tform_Main::WMReadState,
            Qt::BlockingQueuedConnection);
    FormCreate(library, startReading);
}

Tform_Main::~Tform_Main()
{
    m_statusRelay->closing = true;
    if (ReadThread)
        ReadThread->Terminate();
}

void Tform_Main::buildLayout()
{
    setObjectName(QStringLiteral("form_Main"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(703, 500);
    QFont base(QStringLiteral("MS Sans Serif"));
    base.setPixelSize(11);
    setFont(base);

    il_ActionStatus = {QIcon(Pictures::actionStatusGlyph(0)),
                       QIcon(Pictures::actionStatusGlyph(1))};

    // Top band: banner, and beside it the strip above the two dialog buttons.
    Panel2 = new QFrame(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(0, 0, 703, 57);
    Image1 = pictureLabel(Panel2, "Image1", Pictures::banner(), QRect(0, 0, 556, 57));
    Panel3 = new QFrame(Panel2);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setGeometry(556, 0, 147, 57);
    Image2 = pictureLabel(Panel3, "Image2", Pictures::strip(147), QRect(0, 0, 147, 14));
    Panel9 = new QFrame(Panel3);
    Panel9->setObjectName(QStringLiteral("Panel9"));
    Panel9->setGeometry(0, 14, 147, 43);
    Panel9->setAutoFillBackground(true);
    QPalette bandPalette = Panel9->palette();
    bandPalette.setColor(QPalette::Window, QColor(0xdc, 0xe9, 0xf6));
    Panel9->setPalette(bandPalette);
    SetBtn = button(Panel9, "SetBtn", QStringLiteral("设置"), QRect(1, 8, 65, 25));
    SetBtn->setIcon(QIcon(Pictures::settingsGlyph()));
    btn_Config = button(Panel9, "btn_Config", QStringLiteral("关于"), QRect(73, 8, 65, 25));
    btn_Config->setIcon(QIcon(Pictures::aboutGlyph()));

    GroupBox1 = new QGroupBox(QStringLiteral("读卡方式"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setFont(songFont());
    GroupBox1->setGeometry(0, 57, 181, 415);
    btn_OneReadCard =
        button(GroupBox1, "btn_OneReadCard", QStringLiteral("单次读卡"), QRect(27, 71, 120, 25));
    btn_CycleReadCard =
        button(GroupBox1, "btn_CycleReadCard", kCycleStart, QRect(27, 156, 120, 25));
    for (QPushButton* readButton : {btn_OneReadCard, btn_CycleReadCard}) {
        readButton->setFont(base);
        readButton->setFlat(true);
        readButton->setStyleSheet(QString::fromLatin1(kReadButtonStyle));
    }

    GroupBox2 = new QGroupBox(QStringLiteral("读卡结果"), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setFont(songFont());
    GroupBox2->setGeometry(181, 57, 522, 415);
    pc_Page = new QStackedWidget(GroupBox2);
    pc_Page->setObjectName(QStringLiteral("pc_Page"));
    pc_Page->setGeometry(2, 22, 518, 391);
    ts_Device = new QWidget;
    ts_Device->setObjectName(QStringLiteral("ts_Device"));
    ts_NoDevice = new QWidget;
    ts_NoDevice->setObjectName(QStringLiteral("ts_NoDevice"));
    pc_Page->addWidget(ts_Device);
    pc_Page->addWidget(ts_NoDevice);
    pc_Page->setCurrentWidget(ts_Device);
    ts_Device->resize(pc_Page->size()); // laid out now, not only once shown

    const QRect decoration(67, 38, 380, 321);
    i_bg1 = pictureLabel(ts_Device, "i_bg1", Pictures::paleGround(), decoration);
    i_bg2 = pictureLabel(ts_Device, "i_bg2", Pictures::paleGround(), decoration);
    i_bg3 = pictureLabel(ts_Device, "i_bg3", Pictures::radioWaves(), decoration);
    i_HasCard = pictureLabel(ts_Device, "i_HasCard", Pictures::handWithCard(), decoration);
    i_HasCard->hide();
    p_IDCardInfo = new CardView(ts_Device);
    p_IDCardInfo->setObjectName(QStringLiteral("p_IDCardInfo"));
    p_IDCardInfo->move(16, 71);
    p_IDCardInfo->hide();
    l_Info = new QLabel(ts_Device);
    l_Info->setObjectName(QStringLiteral("l_Info"));
    QFont infoFont = songFont();
    infoFont.setBold(true);
    l_Info->setFont(infoFont);
    l_Info->setAlignment(Qt::AlignCenter);
    l_Info->setWordWrap(true);
    l_Info->setGeometry(0, 391 - 46, 518, 46);

    sb_Status = new QFrame(this);
    sb_Status->setObjectName(QStringLiteral("sb_Status"));
    sb_Status->setFont(songFont());
    sb_Status->setGeometry(0, 472, 703, 28);
    StatusPanel0 = new QLabel(sb_Status);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel1 = new QLabel(sb_Status);
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusPanel2 = new QFrame(sb_Status);
    StatusPanel2->setObjectName(QStringLiteral("StatusPanel2"));
    SamIdEdit = new QLineEdit(StatusPanel2);
    SamIdEdit->setObjectName(QStringLiteral("SamIdEdit"));
    SamIdEdit->setReadOnly(true);
    SamIdEdit->setFrame(false);
    QPalette barPalette = SamIdEdit->palette();
    barPalette.setColor(QPalette::Base, barPalette.color(QPalette::Window));
    SamIdEdit->setPalette(barPalette);
    auto* samLayout = new QHBoxLayout(StatusPanel2);
    samLayout->setContentsMargins(0, 0, 0, 0);
    samLayout->addWidget(SamIdEdit);
    statusBarPanel(sb_Status, 0, 177, StatusPanel0);
    statusBarPanel(sb_Status, 177, 100, StatusPanel1);
    statusBarPanel(sb_Status, 277, 703 - 277, StatusPanel2);
    sb_Status->hide();

    connect(btn_OneReadCard, &QPushButton::clicked, this, &Tform_Main::btn_OneReadCardClick);
    connect(btn_CycleReadCard, &QPushButton::clicked, this, &Tform_Main::btn_CycleReadCardClick);
    connect(SetBtn, &QPushButton::clicked, this, &Tform_Main::SetBtnClick);
    connect(btn_Config, &QPushButton::clicked, this, &Tform_Main::btn_ConfigClick);
}

void Tform_Main::FormCreate(const TermbLibrary& library, bool startReading)
{
    PortNo = kUsbPort;
    ReadMode = kReadIdle;
    ReadSleep = IntOrZero(ReadConfig("sleep"));
    SetPortNo = IntOrZero(ReadConfig("port"));
    setCycleGlyph(0);
    ReadThread = std::make_unique<TReadThread>(library.api);
    ReadThread->OwnerWnd = statusTarget();
    if (startReading)
        ReadThread->Resume();
    setInfo(library.loaded ? kChooseMode : LibraryLoadFailureText(library));
}

void Tform_Main::setDialogs(QDialog* about, QDialog* settings)
{
    m_about = about;
    m_settings = settings;
}

std::function<void(int)> Tform_Main::statusTarget() const
{
    // Holds the relay, not the window: a status that comes after the window
    // is gone meets no connection and is dropped.
    return [relay = m_statusRelay](int status) {
        if (!relay->closing)
            emit relay->readState(status);
    };
}

void Tform_Main::closeEvent(QCloseEvent* event)
{
    if (!m_closing)
        FormClose();
    event->accept();
}

void Tform_Main::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_centred)
        return;
    m_centred = true;
    if (const QScreen* s = screen()) {
        const QRect area = s->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

void Tform_Main::FormClose()
{
    m_closing = true;
    // From here on statuses are dropped instead of waiting for a window that
    // is going away; a reading pass that is still running ends on its own.
    m_statusRelay->closing = true;
    const int mode = ReadMode.exchange(kReadIdle);
    ReadThread->Terminate();
    if (mode != kReadIdle)
        QThread::msleep(1000); // gives a running read pass time to finish
}

void Tform_Main::btn_OneReadCardClick()
{
    LastMsgCode = 0;
    ReadMode = kReadOnce;
    emit viewChanged();
}

void Tform_Main::btn_CycleReadCardClick()
{
    if (btn_CycleReadCard->text() == kCycleStop) {
        ReadMode = kReadIdle;
        // Statuses the reading thread is still waiting to deliver are handled
        // now, so none of them lands after the idle texts below.
        QThread::msleep(500);
        QCoreApplication::processEvents();
        btn_CycleReadCard->setText(kCycleStart);
        setCycleGlyph(0);
        btn_OneReadCard->setEnabled(true);
        ClearCardView();
        sb_Status->hide();
        setInfo(kChooseMode);
    } else {
        setInfo(QString());
        ClearCardView();
        btn_CycleReadCard->setText(kCycleStop);
        setCycleGlyph(1);
        btn_OneReadCard->setEnabled(false);
        sb_Status->hide();
        ReadMode = kReadContinuous;
        LastMsgCode = 0;
    }
    emit viewChanged();
}

void Tform_Main::SetBtnClick()
{
    if (m_settings)
        m_settings->exec();
}

void Tform_Main::btn_ConfigClick()
{
    if (m_about)
        m_about->exec();
}

void Tform_Main::WMReadState(int status)
{
    if (status == LastMsgCode)
        return;
    LastMsgCode = status;
    switch (status) {
    case RS_DEVICE_FOUND: {
        ClearCardView();
        StatusPanel1->setText(kSamIdCaption);
        const int port = PortNo;
        const QString portText = (port == kUsbPort ? QStringLiteral("   设备端口：USB")
                                                   : QStringLiteral("   设备端口：COM")) +
                                 QString::number(port);
        SamIdEdit->setText(QString::fromStdString(GbkToUtf8(SamIdText())));
        SamIdEdit->setCursorPosition(0);
        StatusPanel0->setText(portText);
        sb_Status->show();
        setInfo(kPlaceCard);
        break;
    }
    case RS_NO_DEVICE: {
        ClearCardView();
        sb_Status->hide();
        const int fixedPort = SetPortNo;
        if (fixedPort == kAutoPort)
            setInfo(QStringLiteral("未找到设备"));
        else if (fixedPort == kUsbPort)
            setInfo(QStringLiteral("未找到设备(固定端口：USB%1)").arg(fixedPort));
        else
            setInfo(QStringLiteral("未找到设备(固定端口：COM%1)").arg(fixedPort));
        break;
    }
    case RS_CARD_READ:
        setInfo(kCardRead);
        ShowCardInfo(kCardViewSelector);
        break;
    case RS_CARD_LOST:
    case RS_NO_CARD:
        ClearCardView();
        setInfo(kPlaceCard);
        break;
    default:
        break;
    }
    emit viewChanged();
}

void Tform_Main::ClearCardView()
{
    i_HasCard->hide();
    p_IDCardInfo->hide();
    l_Info->clear();
    LastIDCardNo.clear();
}

void Tform_Main::ShowCardInfo(int selector)
{
    p_IDCardInfo->ShowCardInfo(CardInfo, selector, QFile::decodeName(PhotoBmpPath().c_str()));
}

void Tform_Main::setCycleGlyph(int index)
{
    btn_CycleReadCard->setIcon(QIcon());
    btn_CycleReadCard->setIcon(il_ActionStatus[index]);
}

void Tform_Main::setInfo(const QString& text)
{
    l_Info->setText(text);
}

Tform_Main* CreateWindows(const TermbLibrary& library)
{
    auto* form_Main = new Tform_Main(library);
    auto* form_About = new Tform_About(form_Main);
    auto* SetFrm = new TSetFrm(form_Main);
    form_About->hide();
    SetFrm->hide();
    form_Main->setDialogs(form_About, SetFrm);
    return form_Main;
}
