// Writes the pictures of the Win32 windows, drawn by the very code that draws
// them for the Qt windows, as files the resource script embeds: PNGs with
// their alpha (the program decodes them with the system's imaging component;
// as bitmaps they would weigh 2 MB) and the program's icon rendered from its
// SVG. A host tool, run by the Windows cross build.
//
//   zuvi_win32_pictures <output directory> <icon.svg>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

#include "present/layout.h"
#include "ui/qt/card_face.h"
#include "ui/qt/pictures.h"
#include "ui/qt/uMain.h"

namespace {

void put16(QByteArray& out, quint16 v)
{
    out.append(char(v & 0xff)).append(char(v >> 8));
}

void put32(QByteArray& out, quint32 v)
{
    put16(out, quint16(v & 0xffff));
    put16(out, quint16(v >> 16));
}

bool writePng(const QPixmap& pixmap, const QString& file)
{
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32).save(file, "PNG");
}

// An icon file whose images are PNG-compressed, as Windows takes them.
bool writeIcon(const QString& svg, const QString& file)
{
    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        return false;
    const int sizes[] = {16, 24, 32, 48, 64, 256};
    QList<QByteArray> images;
    for (int size : sizes) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        renderer.render(&p);
        p.end();
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        images << png;
    }
    QByteArray out;
    put16(out, 0);
    put16(out, 1); // icon
    put16(out, quint16(images.size()));
    quint32 offset = 6 + 16 * images.size();
    for (int i = 0; i < images.size(); ++i) {
        const int size = sizes[i];
        out.append(char(size >= 256 ? 0 : size)).append(char(size >= 256 ? 0 : size));
        out.append(char(0)).append(char(0));
        put16(out, 1);
        put16(out, 32);
        put32(out, quint32(images[i].size()));
        put32(out, offset);
        offset += images[i].size();
    }
    for (const QByteArray& png : images)
        out += png;
    QFile f(file);
    return f.open(QIODevice::WriteOnly) && f.write(out) == out.size();
}

QFont layoutFont(const UiLayout::Font& font)
{
    QFont f(QString::fromUtf8(font.family));
    f.setPixelSize(font.pixelSize);
    f.setBold(font.bold);
    return f;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: zuvi_win32_pictures <output directory> <icon.svg>\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    InstallFontSubstitutions();
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    dir.mkpath(QStringLiteral("."));
    const struct
    {
        const char* file;
        QPixmap pixmap;
    } pictures[] = {
        {"banner.png", Pictures::Banner()},
        {"strip.png", Pictures::Strip(UiLayout::kImage2.width)},
        {"pale.png", Pictures::PaleGround()},
        {"waves.png", Pictures::RadioWaves()},
        {"hand.png", Pictures::HandWithCard()},
        {"start.png", Pictures::ActionStatusGlyph(0)},
        {"stop.png", Pictures::ActionStatusGlyph(1)},
        {"settings.png", Pictures::SettingsGlyph()},
        {"about.png", Pictures::AboutGlyph()},
    };
    for (const auto& picture : pictures) {
        if (!writePng(picture.pixmap, dir.filePath(QString::fromLatin1(picture.file)))) {
            std::fprintf(stderr, "cannot write %s\n", picture.file);
            return 1;
        }
    }
    // One card face per kind the view lays out, cardface0.png onwards in the
    // order of kCardFaces. Without the date of birth's marks: their places
    // depend on the font the numbers are drawn with, which is the running
    // machine's, so the Win32 window draws them.
    for (std::size_t i = 0; i < std::size(kCardFaces); ++i) {
        const QString file = QStringLiteral("cardface%1.png").arg(i);
        if (!writePng(CardFacePixmap(kCardFaces[i], layoutFont(UiLayout::kCardLineFont), nullptr),
                      dir.filePath(file))) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    if (!writeIcon(QString::fromLocal8Bit(argv[2]),
                   dir.filePath(QStringLiteral("zuviruzozozad.ico")))) {
        std::fprintf(stderr, "cannot render the icon\n");
        return 1;
    }
    return 0;
}
