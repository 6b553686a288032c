// Draws the main window's start-up pictures with the windows' own drawing
// code and writes them as C++ source the program is built with: premultiplied
// ARGB pixels in the build machine's byte order, which is the running
// machine's too (a cross build does not use this tool). A build-time tool.
//
//   zuvi_store_pictures <output .inc file>

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

#include "ui/qt/fonts.h"
#include "ui/qt/pictures.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: zuvi_store_pictures <output file>\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    InstallFontSubstitutions();

    QByteArray out = "// Written by zuvi_store_pictures at build time; not to be edited.\n"
                     "namespace {\n"
                     "struct StoredPictureData { int width; int height; const char* pixels; };\n";
    QByteArray table = "const StoredPictureData kStoredPictureData[] = {\n";
    static const char hex[] = "0123456789abcdef";
    for (int i = 0; i < Pictures::kStoredPictureCount; ++i) {
        const QImage image = Pictures::DrawPicture(static_cast<Pictures::StoredPicture>(i))
                                 .toImage()
                                 .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        if (image.isNull()) {
            std::fprintf(stderr, "zuvi_store_pictures: picture %d came out empty\n", i);
            return 1;
        }
        // QImage needs its pixels 32-bit aligned; a string literal alone is not.
        out += "alignas(4) const char kPicture" + QByteArray::number(i) + "[] =";
        for (int y = 0; y < image.height(); ++y) {
            const auto* line = image.constScanLine(y);
            const int bytes = image.width() * 4;
            for (int x = 0; x < bytes; ++x) {
                if (x % 64 == 0)
                    out += "\n    \"";
                out += "\\x";
                out += hex[line[x] >> 4];
                out += hex[line[x] & 15];
                if (x % 64 == 63 || x == bytes - 1)
                    out += '"';
            }
        }
        out += ";\n";
        table += "    {" + QByteArray::number(image.width()) + ", " +
                 QByteArray::number(image.height()) + ", kPicture" + QByteArray::number(i) + "},\n";
    }
    out += table + "};\n} // namespace\n";

    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size() || !file.flush()) {
        std::fprintf(stderr, "zuvi_store_pictures: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
