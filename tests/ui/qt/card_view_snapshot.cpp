// Renders the card view with a sample card to a PNG, to look at it as an
// operator would: card_view_snapshot <out.png> [photo.bmp]
#include <QApplication>
#include <QDir>
#include <QFont>

#include "card_samples.h"
#include "ui/qt/card_view.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    QFont::insertSubstitution(QStringLiteral("宋体"), QStringLiteral("AR PL UMing CN"));
    const QString photoFile = QDir::temp().filePath(QStringLiteral("card_view_snapshot.bmp"));
    samplePhoto().save(photoFile, "BMP");
    CardView view;
    showCard(view, sampleCard(), kCardViewSelector,
             argc > 2 ? QString::fromLocal8Bit(argv[2]) : photoFile);
    return view.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
