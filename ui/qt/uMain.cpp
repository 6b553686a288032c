#include "ui/qt/uMain.h"
#include "ui/qt/qt_text.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QFont>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QThread>

#include "present/card_view_model.h"
#include "present/layout.h"
#include "present/texts.h"
#include "ui/qt/SetForm.h"
#include "ui/qt/card_view.h"
#include "ui/qt/pictures.h"
#include "ui/qt/uAboutForm.h"

namespace {

QRect rectOf(const UiLayout::Rect& r)
{
    return QRect(r.x, r.y, r.width, r.height);
}

QFont fontOf(const UiLayout::Font& spec)
{
    QFont f(QString::fromUtf8(spec.family));
    f.setPixelSize(spec.pixelSize);
    f.setBold(spec.bold);
    f.setUnderline(spec.underline);
    return f;
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

QLabel* placePicture(QLabel* label, const char* name, const UiLayout::Rect& place)
{
    label->setObjectName(QString::fromLatin1(name));
    label->setScaledContents(true);
    label->setGeometry(rectOf(place));
    return label;
}

QLabel* pictureLabel(QWidget* parent, const char* name, const QPixmap& pixmap,
                     const UiLayout::Rect& place)
{
    QLabel* label = placePicture(new QLabel(parent), name, place);
    label->setPixmap(pixmap);
    return label;
}

QPushButton* button(QWidget* parent, const char* name, std::string_view caption,
                    const UiLayout::Rect& place)
{
    auto* btn = new QPushButton(QStringOf(caption), parent);
    btn->setObjectName(QString::fromLatin1(name));
    btn->setGeometry(rectOf(place));
    btn->setFocusPolicy(Qt::TabFocus);
    return btn;
}

// One bevelled panel of the status bar, filled by a borderless child.
QFrame* statusBarPanel(QWidget* bar, const UiLayout::Rect& place, QWidget* content)
{
    auto* panel = new QFrame(bar);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setGeometry(place.x, place.y, place.width - 2, place.height);
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(content);
    return panel;
}

// A page of a group box that paints the box's own ground under itself, from
// a picture of the box without its children taken at the first paint. Being
// opaque, a change on the page (a new card, a new text) repaints from the
// page up: without it every such change repainted the group box, its frame
// and the page stack too, a third of painting a card.
class PageOnBoxGround : public QWidget
{
public:
    explicit PageOnBoxGround(QWidget* box) : m_box(box) { setAttribute(Qt::WA_OpaquePaintEvent); }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        const qreal ratio = devicePixelRatioF();
        if (m_ground.isNull() || m_ground.size() != m_box->size() * ratio) {
            m_ground = QPixmap(m_box->size() * ratio);
            m_ground.setDevicePixelRatio(ratio);
            m_ground.fill(Qt::transparent);
            // The box's background and its own painting (frame, title),
            // without the children, exactly as they stand on screen.
            m_box->render(&m_ground, QPoint(), QRegion(), QWidget::DrawWindowBackground);
        }
        QPainter painter(this);
        painter.setClipRegion(event->region());
        painter.drawPixmap(
            QPoint(0, 0), m_ground,
            QRectF(QPointF(mapTo(m_box, QPoint(0, 0))) * ratio, QSizeF(size()) * ratio));
    }

    void changeEvent(QEvent* event) override
    {
        // The box may look different in another palette, style or font, and
        // with its window active or not.
        switch (event->type()) {
        case QEvent::PaletteChange:
        case QEvent::StyleChange:
        case QEvent::FontChange:
        case QEvent::ActivationChange:
            m_ground = QPixmap();
            break;
        default:
            break;
        }
        QWidget::changeEvent(event);
    }

private:
    QWidget* m_box;
    QPixmap m_ground;
};

} // namespace

Tform_Main::Tform_Main(const TermbLibrary& library, bool startReading, QWidget* parent,
                       const TermbLibrary* missing)
    : QWidget(parent), m_statusRelay(std::make_shared<StatusRelay>()),
      m_controller(*this, library, missing)
{
    buildLayout();
    // The reading thread waits inside its status call until the handler has
    // run here, exactly like a synchronous window message: that is what makes
    // it safe to read CardInfo, CardKindInfo and SamIdStr and to clear LastIDCardNo in the
    // handler without a lock. Hence blocking-queued, never plain queued.
    connect(m_statusRelay.get(), &StatusRelay::readState, this, &Tform_Main::WMReadState,
            Qt::BlockingQueuedConnection);
    // Holds the relay, not the window: a status that comes after the window
    // is gone meets no connection and is dropped.
    m_controller.FormCreate([relay = m_statusRelay](int status) { emit relay->readState(status); });
    if (startReading)
        m_controller.Resume();
}

Tform_Main::~Tform_Main() = default;

void Tform_Main::buildLayout()
{
    using namespace UiLayout;
    using Pictures::StoredPicture;
    const auto stored = &Pictures::StoredPixmap;
    setObjectName(QStringLiteral("form_Main"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(kMainWidth, kMainHeight);
    const QFont base = fontOf(kMainFont);
    setFont(base);

    il_ActionStatus = {QIcon(stored(StoredPicture::StartGlyph)),
                       QIcon(stored(StoredPicture::StopGlyph))};

    // Top band: banner, and beside it the strip above the two dialog buttons.
    Panel2 = new QFrame(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(rectOf(kPanel2));
    Image1 = pictureLabel(Panel2, "Image1", stored(StoredPicture::Banner), kImage1);
    Panel3 = new QFrame(Panel2);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setGeometry(rectOf(kPanel3));
    Image2 = pictureLabel(Panel3, "Image2", stored(StoredPicture::Strip), kImage2);
    Panel9 = new QFrame(Panel3);
    Panel9->setObjectName(QStringLiteral("Panel9"));
    Panel9->setGeometry(rectOf(kPanel9));
    Panel9->setAutoFillBackground(true);
    QPalette bandPalette = Panel9->palette();
    bandPalette.setColor(QPalette::Window, QColor(QRgb(kBandColour)));
    Panel9->setPalette(bandPalette);
    SetBtn = button(Panel9, "SetBtn", UiText::kSetBtn, UiLayout::kSetBtn);
    SetBtn->setIcon(QIcon(stored(StoredPicture::SettingsGlyph)));
    btn_Config = button(Panel9, "btn_Config", UiText::kConfigBtn, kConfigBtn);
    btn_Config->setIcon(QIcon(stored(StoredPicture::AboutGlyph)));

    GroupBox1 = new QGroupBox(QStringOf(UiText::kReadModeBox), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setFont(fontOf(kSongFont));
    GroupBox1->setGeometry(rectOf(UiLayout::kGroupBox1));
    btn_OneReadCard = button(GroupBox1, "btn_OneReadCard", UiText::kOneRead, kOneReadBtn);
    btn_CycleReadCard =
        button(GroupBox1, "btn_CycleReadCard", m_controller.view().cycleCaption, kCycleReadBtn);
    for (QPushButton* readButton : {btn_OneReadCard, btn_CycleReadCard}) {
        readButton->setFont(base);
        readButton->setFlat(true);
        readButton->setStyleSheet(QString::fromLatin1(kReadButtonStyle));
    }

    GroupBox2 = new QGroupBox(QStringOf(UiText::kResultBox), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setFont(fontOf(kSongFont));
    GroupBox2->setGeometry(rectOf(UiLayout::kGroupBox2));
    pc_Page = new QStackedWidget(GroupBox2);
    pc_Page->setObjectName(QStringLiteral("pc_Page"));
    pc_Page->setGeometry(rectOf(kPage));
    ts_Device = new PageOnBoxGround(GroupBox2);
    ts_Device->setObjectName(QStringLiteral("ts_Device"));
    ts_NoDevice = new QWidget;
    ts_NoDevice->setObjectName(QStringLiteral("ts_NoDevice"));
    pc_Page->addWidget(ts_Device);
    pc_Page->addWidget(ts_NoDevice);
    pc_Page->setCurrentWidget(ts_Device);
    ts_Device->resize(pc_Page->size()); // laid out now, not only once shown

    // The two pale grounds share one pixmap. i_bg3's picture is opaque and
    // covers them wholly, so it says so: painting then skips what lies under
    // it instead of drawing three pictures over one another.
    const QPixmap paleGround = Pictures::PaleGround();
    i_bg1 = pictureLabel(ts_Device, "i_bg1", paleGround, kDecoration);
    i_bg2 = pictureLabel(ts_Device, "i_bg2", paleGround, kDecoration);
    i_bg3 = pictureLabel(ts_Device, "i_bg3", stored(StoredPicture::RadioWaves), kDecoration);
    i_bg3->setAttribute(Qt::WA_OpaquePaintEvent);
    i_HasCard = placePicture(Pictures::DrawnWhenShown(ts_Device, &Pictures::HandWithCard),
                             "i_HasCard", kDecoration);
    i_HasCard->hide();
    p_IDCardInfo = new CardView(ts_Device);
    p_IDCardInfo->setObjectName(QStringLiteral("p_IDCardInfo"));
    p_IDCardInfo->move(kCardView.x, kCardView.y);
    p_IDCardInfo->hide();
    l_Info = new QLabel(ts_Device);
    l_Info->setObjectName(QStringLiteral("l_Info"));
    l_Info->setFont(fontOf(kInfoFont));
    l_Info->setAlignment(Qt::AlignCenter);
    l_Info->setWordWrap(true);
    l_Info->setGeometry(rectOf(kInfoLine));

    sb_Status = new QFrame(this);
    sb_Status->setObjectName(QStringLiteral("sb_Status"));
    sb_Status->setFont(fontOf(kSongFont));
    sb_Status->setGeometry(rectOf(kStatusBar));
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
    statusBarPanel(sb_Status, kStatusPanel0, StatusPanel0);
    statusBarPanel(sb_Status, kStatusPanel1, StatusPanel1);
    statusBarPanel(sb_Status, kStatusPanel2, StatusPanel2);
    sb_Status->hide();

    connect(btn_OneReadCard, &QPushButton::clicked, this, &Tform_Main::btn_OneReadCardClick);
    connect(btn_CycleReadCard, &QPushButton::clicked, this, &Tform_Main::btn_CycleReadCardClick);
    connect(SetBtn, &QPushButton::clicked, this, &Tform_Main::SetBtnClick);
    connect(btn_Config, &QPushButton::clicked, this, &Tform_Main::btn_ConfigClick);
}

void Tform_Main::setDialogs(QDialog* about, QDialog* settings)
{
    m_about = about;
    m_settings = settings;
}

std::function<void(int)> Tform_Main::statusTarget() const
{
    return m_controller.statusTarget();
}

void Tform_Main::closeEvent(QCloseEvent* event)
{
    m_controller.FormClose();
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

void Tform_Main::btn_OneReadCardClick()
{
    m_controller.btn_OneReadCardClick();
}

void Tform_Main::btn_CycleReadCardClick()
{
    m_controller.btn_CycleReadCardClick();
}

void Tform_Main::pause(int milliseconds, PendingStatuses pending)
{
    QThread::msleep(static_cast<unsigned long>(milliseconds));
    // Statuses the reading thread waits to deliver are queued events here.
    if (pending == PendingStatuses::Deliver)
        QCoreApplication::processEvents();
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
    m_controller.WMReadState(status);
}

void Tform_Main::ShowCardInfo(int selector)
{
    m_controller.ShowCardInfo(selector);
}

void Tform_Main::ShowCardInfo(const CardViewContent& content)
{
    p_IDCardInfo->ShowCardInfo(content);
}

void Tform_Main::render(const MainView& v)
{
    setWindowTitle(QStringOf(v.caption));
    if (l_Info->text() != QStringOf(v.info))
        l_Info->setText(QStringOf(v.info));
    StatusPanel0->setText(QStringOf(v.portText));
    StatusPanel1->setText(QStringOf(v.samCaption));
    if (SamIdEdit->text() != QStringOf(v.samId)) {
        SamIdEdit->setText(QStringOf(v.samId));
        SamIdEdit->setCursorPosition(0);
    }
    sb_Status->setVisible(v.statusBarVisible);
    i_HasCard->setVisible(v.hasCardVisible);
    p_IDCardInfo->setVisible(v.cardVisible);
    btn_CycleReadCard->setText(QStringOf(v.cycleCaption));
    if (m_shownGlyph != v.cycleGlyph) {
        m_shownGlyph = v.cycleGlyph;
        btn_CycleReadCard->setIcon(QIcon());
        btn_CycleReadCard->setIcon(il_ActionStatus[static_cast<std::size_t>(v.cycleGlyph)]);
    }
    btn_OneReadCard->setEnabled(v.oneReadEnabled);
    emit viewChanged();
}

Tform_Main* CreateWindows(const TermbLibrary& library, const TermbLibrary* missing)
{
    auto* form_Main = new Tform_Main(library, true, nullptr, missing);
    auto* form_About = new Tform_About(form_Main);
    auto* SetFrm = new TSetFrm(form_Main);
    form_About->hide();
    SetFrm->hide();
    form_Main->setDialogs(form_About, SetFrm);
    return form_Main;
}
