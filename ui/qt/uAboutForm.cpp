#include "ui/uAboutForm.h"

#include <QDesktopServices>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QUrl>

#include "ui/jpeg_image.h"

// The picture is compiled into the windows library as a resource; a static
// library's resources are registered only when asked for by name.
static void initAboutPictureResource()
{
    Q_INIT_RESOURCE(about_picture);
}

namespace {

// The maker's details: this project's own, neutral ones.
const QString kCompany = QStringLiteral("zuviruzozozad 开源项目");
const QString kAddress = QStringLiteral("示例市示例路 1 号");
const QString kTelephone = QStringLiteral("000-0000-0000");
const QString kWebSite = QStringLiteral("https://zuviruzozozad.example.org/");

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
    if (!decodeJpeg(reinterpret_cast<const unsigned char*>(bytes.constData()),
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
    label->move(24, y);
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
    setWindowTitle(QStringLiteral("关于"));
    // A fixed frame whose title bar has only the close button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(327, 254);
    QFont formFont(QStringLiteral("微软雅黑"));
    formFont.setPixelSize(13);
    setFont(formFont);

    // The picture fills the box; the labels are its siblings, not its
    // children, so a click on a label never reaches the picture.
    m_iAbout = new QLabel(this);
    m_iAbout->setObjectName(QStringLiteral("i_About"));
    m_iAbout->setGeometry(0, 0, 327, 254);
    m_iAbout->setPixmap(QPixmap::fromImage(loadPicture()));
    m_iAbout->installEventFilter(this);

    m_lAppName = makeLabel(QStringLiteral("l_AppName"), this, 88);
    m_lVersion = makeLabel(QStringLiteral("l_Version"), this, 112);
    m_lCompany = makeLabel(QStringLiteral("l_Company"), this, 136);
    m_lAddress = makeLabel(QStringLiteral("l_Address"), this, 160);
    m_lTelephone = makeLabel(QStringLiteral("l_Telephone"), this, 184);
    m_lWebSite = makeLabel(QStringLiteral("l_WebSite"), this, 208);
    QPalette linkPalette = m_lWebSite->palette();
    linkPalette.setColor(QPalette::WindowText, QColor(0, 0, 128));
    m_lWebSite->setPalette(linkPalette);
    QFont linkFont = formFont;
    linkFont.setUnderline(true);
    m_lWebSite->setFont(linkFont);
    m_lWebSite->setCursor(Qt::PointingHandCursor);
    m_lWebSite->installEventFilter(this);

    FormCreate();
}

void Tform_About::FormCreate()
{
    m_lAppName->setText(QStringLiteral("软件名称：zuviruzozozad"));
    m_lVersion->setText(QStringLiteral("软件版本：v1.6"));
    m_lCompany->setText(QStringLiteral("开发公司：") + kCompany);
    m_lAddress->setText(QStringLiteral("公司地址：") + kAddress);
    m_lWebSite->setText(kWebSite);
    m_lTelephone->setText(QStringLiteral("热线电话：") + kTelephone);
    for (QLabel* label : {m_lAppName, m_lVersion, m_lCompany, m_lAddress, m_lWebSite, m_lTelephone})
        label->adjustSize();
}

QString Tform_About::webAddress()
{
    return kWebSite;
}

void Tform_About::setUrlOpener(UrlOpener opener)
{
    m_openUrl = std::move(opener);
}

void Tform_About::showEvent(QShowEvent* event)
{
    // Centred on the main window on every showing, wherever it was before.
    setAttribute(Qt::WA_Moved, false);
    QDialog::showEvent(event);
}

bool Tform_About::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_iAbout && isLeftClickInside(event, m_iAbout))
        i_AboutClick();
    else if (watched == m_lWebSite && isLeftClickInside(event, m_lWebSite))
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
        m_openUrl(QUrl(kWebSite));
}
