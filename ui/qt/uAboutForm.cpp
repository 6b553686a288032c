#include "ui/qt/uAboutForm.h"
#include "ui/qt/qt_text.h"

#include <QDesktopServices>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QUrl>

#include "present/about_model.h"
#include "present/layout.h"
#include "ui/qt/jpeg_image.h"
#include "ui/qt/pictures.h"

// The picture is compiled into the windows library as a resource; a static
// library's resources are registered only when asked for by name.
static void initAboutPictureResource()
{
    Q_INIT_RESOURCE(about_picture);
}

namespace {

const QString kPicturePath = QStringLiteral(":/about/about.jpg");

// The background picture decoded through libjpeg; a null image when it
// cannot be read, and the box then shows its plain background.
QImage loadPicture()
{
    QFile file(kPicturePath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    RgbImage rgb;
    if (!DecodeJpeg(reinterpret_cast<const unsigned char*>(bytes.constData()),
                    static_cast<std::size_t>(bytes.size()), rgb))
        return {};
    QImage image(rgb.width, rgb.height, QImage::Format_RGB888);
    const std::size_t stride = static_cast<std::size_t>(rgb.width) * 3;
    // QImage pads its rows to four bytes; copy row by row.
    for (int y = 0; y < rgb.height; ++y)
        std::copy_n(rgb.pixels.data() + stride * y, stride, image.scanLine(y));
    return image;
}

QLabel* makeLabel(const QString& name, QWidget* parent, int y)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->move(UiLayout::kAboutLabelLeft, y);
    return label;
}

bool isLeftClickInside(QEvent* event, const QWidget* widget)
{
    if (event->type() != QEvent::MouseButtonRelease)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const QPoint at = mouse->position().toPoint();
#else
    const QPoint at = mouse->pos();
#endif
    // A click is a release over the control the press began on.
    return mouse->button() == Qt::LeftButton && widget->rect().contains(at);
}

} // namespace

Tform_About::Tform_About(QWidget* parent)
    : QDialog(parent), m_openUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); })
{
    initAboutPictureResource();
    setObjectName(QStringLiteral("form_About"));
    setWindowTitle(QStringOf(AboutTexts().caption));
    // A fixed frame whose title bar has only the close button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(UiLayout::kAboutWidth, UiLayout::kAboutHeight);
    QFont formFont(QString::fromUtf8(UiLayout::kAboutFont.family));
    formFont.setPixelSize(UiLayout::kAboutFont.pixelSize);
    setFont(formFont);

    // The picture fills the box; the labels are its siblings, not its
    // children, so a click on a label never reaches the picture.
    i_About = Pictures::DrawnWhenShown(this, [] { return QPixmap::fromImage(loadPicture()); });
    i_About->setObjectName(QStringLiteral("i_About"));
    const UiLayout::Rect& picture = UiLayout::kAboutPicture;
    i_About->setGeometry(picture.x, picture.y, picture.width, picture.height);
    i_About->installEventFilter(this);

    const int* top = UiLayout::kAboutLabelTop;
    l_AppName = makeLabel(QStringLiteral("l_AppName"), this, top[0]);
    l_Version = makeLabel(QStringLiteral("l_Version"), this, top[1]);
    l_Company = makeLabel(QStringLiteral("l_Company"), this, top[2]);
    l_Address = makeLabel(QStringLiteral("l_Address"), this, top[3]);
    l_Telephone = makeLabel(QStringLiteral("l_Telephone"), this, top[4]);
    l_WebSite = makeLabel(QStringLiteral("l_WebSite"), this, top[5]);
    QPalette linkPalette = l_WebSite->palette();
    linkPalette.setColor(QPalette::WindowText, QColor(QRgb(UiLayout::kLinkColour)));
    l_WebSite->setPalette(linkPalette);
    QFont linkFont = formFont;
    linkFont.setUnderline(true);
    l_WebSite->setFont(linkFont);
    l_WebSite->setCursor(Qt::PointingHandCursor);
    l_WebSite->installEventFilter(this);

    FormCreate();
}

void Tform_About::FormCreate()
{
    const AboutView& texts = AboutTexts();
    l_AppName->setText(QStringOf(texts.appName));
    l_Version->setText(QStringOf(texts.version));
    l_Company->setText(QStringOf(texts.company));
    l_Address->setText(QStringOf(texts.address));
    l_WebSite->setText(QStringOf(texts.webSite));
    l_Telephone->setText(QStringOf(texts.telephone));
}

QString Tform_About::webAddress()
{
    return QStringOf(AboutTexts().webSite);
}

void Tform_About::setUrlOpener(UrlOpener opener)
{
    m_openUrl = std::move(opener);
}

void Tform_About::showEvent(QShowEvent* event)
{
    // Sized to their texts when first shown, not at start: measuring them
    // loads the box's own font, which nothing else shown at start uses.
    if (!m_labelsSized) {
        m_labelsSized = true;
        for (QLabel* label : {l_AppName, l_Version, l_Company, l_Address, l_WebSite, l_Telephone})
            label->adjustSize();
    }
    // Centred on the main window on every showing, wherever it was before.
    setAttribute(Qt::WA_Moved, false);
    QDialog::showEvent(event);
}

bool Tform_About::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == i_About && isLeftClickInside(event, i_About))
        i_AboutClick();
    else if (watched == l_WebSite && isLeftClickInside(event, l_WebSite))
        l_WebSiteClick();
    return QDialog::eventFilter(watched, event);
}

void Tform_About::i_AboutClick()
{
    reject();
}

void Tform_About::l_WebSiteClick()
{
    // Opening is the desktop's business; when it cannot, nothing is said and
    // the box stays as it is.
    if (m_openUrl)
        m_openUrl(QUrl(webAddress()));
}
