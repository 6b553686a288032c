#include <QFont>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

#include "card_samples.h"
#include "ui/card_view.h"
#include "ui/photo_region.h"

namespace {

QString utf8(std::string_view gbk)
{
    return QString::fromStdString(GbkToUtf8(gbk));
}

// Every pixel of the photo is in the region exactly when it is not of the
// top-left pixel's colour: what cutting each background run away gives.
void expectCutOut(const QImage& photo, const QRegion& region)
{
    const QRgb key = photo.pixel(0, 0);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            if (region.contains(QPoint(x, y)) != (photo.pixel(x, y) != key))
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2 wrongly %3")
                                     .arg(x)
                                     .arg(y)
                                     .arg(region.contains(QPoint(x, y)) ? "kept" : "cut")));
    QVERIFY(QRect(0, 0, photo.width(), photo.height()).contains(region.boundingRect()) ||
            region.isEmpty());
}

} // namespace

class CardViewTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString photoFile(const char* name) const { return m_dir.filePath(name); }
    QString noPhoto() const { return photoFile("none.bmp"); }
    QString savePhoto(const QImage& photo, const char* name)
    {
        const QString file = photoFile(name);
        if (!photo.save(file, "BMP"))
            qFatal("cannot write %s", qPrintable(file));
        return file;
    }
    template <typename T = QLabel> T* child(CardView& view, const char* name)
    {
        T* found = view.findChild<T*>(name);
        if (!found)
            qFatal("no control %s", name);
        return found;
    }

private slots:
    void initTestCase()
    {
        QFont::insertSubstitution(QStringLiteral("宋体"), QStringLiteral("AR PL UMing CN"));
    }

    void fingerprintLine_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("firstByte");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("colour");
        const QColor black(0, 0, 0), red(255, 0, 0);
        const QString raw = QStringLiteral("指纹数据  A") + QString(1023, QLatin1Char('Z'));
        QTest::newRow("complete") << 1024 << int('A') << QStringLiteral("指纹数据  41 5A 5A ")
                                  << black;
        QTest::newRow("none") << 0 << int('A') << QStringLiteral("指纹数据  无") << black;
        QTest::newRow("negative") << -7 << int('A') << QStringLiteral("指纹数据  无") << black;
        QTest::newRow("512") << 512 << int('A') << raw << red;
        QTest::newRow("2000") << 2000 << int('A') << raw << red;
        QTest::newRow("first byte zero") << 512 << 0 << QStringLiteral("指纹数据  ") << red;
    }

    void fingerprintLine()
    {
        QFETCH(int, length);
        QFETCH(int, firstByte);
        QFETCH(QString, text);
        QFETCH(QColor, colour);
        TIDCardInfo card = sampleCard();
        std::fill(std::begin(card.FingerprintData), std::end(card.FingerprintData), 'Z');
        card.FingerprintData[0] = static_cast<unsigned char>(firstByte);
        card.FingerprintLength = length;
        CardView view;
        // A red line first, so that a black one must be set, not inherited.
        TIDCardInfo odd = card;
        odd.FingerprintLength = 3;
        view.ShowCardInfo(odd, 7, noPhoto());
        view.ShowCardInfo(card, 7, noPhoto());
        auto* line = child(view, "Label1");
        QVERIFY(line->isVisibleTo(&view));
        QVERIFY2(line->text().startsWith(text), qPrintable(line->text().left(40)));
        if (length != 1024)
            QCOMPARE(line->text(), text);
        else
            QCOMPARE(line->text().size(), 6 + 3 * 1024);
        QCOMPARE(line->palette().color(QPalette::WindowText), colour);
        QCOMPARE(line->size(), QSize(439, 19));
    }

    void otherSelectorHidesFingerprintLine()
    {
        CardView view;
        view.ShowCardInfo(sampleCard(), 7, noPhoto());
        view.ShowCardInfo(sampleCard(), 6, noPhoto());
        QVERIFY(view.isVisible());
        QVERIFY(!child(view, "Label1")->isVisibleTo(&view));
        QCOMPARE(child(view, "NameLabel")->text(), QStringLiteral("欧阳晓岚"));
    }

    void missingPhotoShowsDataOnly()
    {
        CardView view;
        view.ShowCardInfo(sampleCard(), 7, savePhoto(samplePhoto(), "good.bmp"));
        QVERIFY(child<QWidget>(view, "PhotoPanel")->isVisibleTo(&view));
        // A missing file, a file that is no bitmap, a bitmap of the wrong size.
        QFile junk(photoFile("junk.bmp"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("BM not really");
        junk.close();
        const QString small = savePhoto(samplePhoto().copy(0, 0, 50, 50), "small.bmp");
        for (const QString& file : {photoFile("absent.bmp"), junk.fileName(), small}) {
            view.ShowCardInfo(sampleCard(), 7, file);
            QVERIFY2(!child<QWidget>(view, "PhotoPanel")->isVisibleTo(&view), qPrintable(file));
            QCOMPARE(child(view, "IDCardNoLabel")->text(), QStringLiteral("990102199203140026"));
            QVERIFY(child(view, "Label1")->isVisibleTo(&view));
        }
    }

    void photoRegionCutsKeyColourOnly_data()
    {
        QTest::addColumn<QImage>("photo");
        QImage portrait = samplePhoto();
        // A key-coloured spot inside the face, and one a step off the key.
        portrait.setPixel(50, 50, portrait.pixel(0, 0));
        portrait.setPixel(52, 50, qRgb(250, 250, 251));
        QTest::newRow("portrait") << portrait;
        QImage checker(102, 126, QImage::Format_RGB32);
        for (int y = 0; y < checker.height(); ++y)
            for (int x = 0; x < checker.width(); ++x)
                checker.setPixel(x, y, (x + y) % 2 ? qRgb(9, 9, 9) : qRgb(200, 0, 0));
        QTest::newRow("checker") << checker;
        QImage noise(37, 23, QImage::Format_RGB32);
        quint32 seed = 12345;
        for (int y = 0; y < noise.height(); ++y)
            for (int x = 0; x < noise.width(); ++x) {
                seed = seed * 1103515245u + 12345u;
                noise.setPixel(x, y, (seed >> 16) % 3 ? qRgb(1, 2, 3) : qRgb(1, 2, 4));
            }
        QTest::newRow("noise") << noise;
        QImage bands(10, 12, QImage::Format_RGB32);
        bands.fill(qRgb(0, 0, 0));
        for (int y = 3; y < 6; ++y)
            for (int x = 2; x < 8; ++x)
                bands.setPixel(x, y, qRgb(255, 255, 255));
        QTest::newRow("one block") << bands;
    }

    void photoRegionCutsKeyColourOnly()
    {
        QFETCH(QImage, photo);
        expectCutOut(photo, photoRegion(photo));
    }

    void keyPixelsOnScreen()
    {
        QImage photo = samplePhoto();
        photo.setPixel(50, 50, photo.pixel(0, 0));
        photo.setPixel(52, 50, qRgb(250, 250, 251));
        CardView view;
        view.ShowCardInfo(sampleCard(), 7, savePhoto(photo, "spots.bmp"));
        const QImage shown = view.grab().toImage();
        const QImage face = child(view, "Image4")->pixmap().toImage();
        const QPoint origin(344, 6);
        QCOMPARE(shown.pixel(origin + QPoint(50, 50)), face.pixel(origin + QPoint(50, 50)));
        QCOMPARE(shown.pixel(origin + QPoint(52, 50)), qRgb(250, 250, 251));
        QCOMPARE(shown.pixel(origin + QPoint(0, 0)), face.pixel(origin));
    }

    void allKeyPhotoShowsNothing()
    {
        QImage photo(102, 126, QImage::Format_RGB32);
        photo.fill(qRgb(250, 250, 250));
        QVERIFY(photoRegion(photo).isEmpty());
        CardView view;
        view.ShowCardInfo(sampleCard(), 7, savePhoto(photo, "blank.bmp"));
        auto* panel = child<QWidget>(view, "PhotoPanel");
        QVERIFY(panel->mask().intersected(panel->rect()).isEmpty());
        const QImage shown = view.grab().toImage();
        const QImage face = child(view, "Image4")->pixmap().toImage();
        const QRect area(344, 6, 102, 126);
        // The photo area is free of labels, so it must show the face alone.
        for (int y = area.top(); y <= area.bottom(); y += 5)
            for (int x = area.left(); x <= area.right(); x += 5)
                QCOMPARE(shown.pixel(x, y), face.pixel(x, y));
    }

    void secondCardOverwritesFirst()
    {
        CardView view;
        view.ShowCardInfo(sampleCard(), 7, noPhoto());
        TIDCardInfo second{};
        putField(second.Name, "李一");
        putField(second.Sex, "男");
        putField(second.Birthday, "20010102");
        putField(second.Address, "甲地");
        putField(second.IDCardNo, "99");
        putField(second.EndDate, "长期");
        view.ShowCardInfo(second, 7, noPhoto());
        const std::pair<const char*, QString> expected[] = {
            {"NameLabel", QStringLiteral("李一")},
            {"SexLabel", QStringLiteral("男")},
            {"NationLabel", QString()},
            {"BirthdayLabel", QStringLiteral("2001     01     02")},
            {"AddressLabel", QStringLiteral("甲地")},
            {"IDCardNoLabel", QStringLiteral("99")},
            {"CheckDepartmentLabel", QString()},
            {"StartDateLabel", QString()},
            {"BetweenLabel", QStringLiteral("_")},
            {"EndDateLabel", QStringLiteral("长期")},
            {"AppAddressLabel", QString()},
            {"Label1", QStringLiteral("指纹数据  无")},
        };
        for (const auto& [name, text] : expected)
            QCOMPARE(child(view, name)->text(), text);
        QCOMPARE(child(view, "NameLabel")->width(), child(view, "NameLabel")->sizeHint().width());
    }

    void longAddressWrapsAndValidityFormats()
    {
        CardView view;
        const TIDCardInfo card = sampleCard();
        view.ShowCardInfo(card, 7, noPhoto());
        const QString address = child(view, "AddressLabel")->text();
        QCOMPARE(address, utf8(FieldText(card.Address)).insert(18, QStringLiteral("\r\n")));
        QCOMPARE(child(view, "AddressLabel")->size(), QSize(254, 36));
        QCOMPARE(child(view, "StartDateLabel")->text(), QStringLiteral("2015.06.07"));
        QCOMPARE(child(view, "EndDateLabel")->text(), QStringLiteral("2035.06.07"));
        QCOMPARE(child(view, "BirthdayLabel")->text(), QStringLiteral("1992     03     14"));
    }

    void markupShownAsText()
    {
        TIDCardInfo card{};
        putField(card.Name, "<b>x</b>");
        CardView view;
        view.ShowCardInfo(card, 7, noPhoto());
        QCOMPARE(child(view, "NameLabel")->textFormat(), Qt::PlainText);
    }
};

QTEST_MAIN(CardViewTest)
#include "card_view_test.moc"
