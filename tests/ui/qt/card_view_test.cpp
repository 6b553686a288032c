#include <QFont>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

#include "card_samples.h"
#include "ui/qt/card_view.h"
#include "ui/qt/glyph_cache.h"
#include "ui/qt/photo_region.h"

class CardViewTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString file(const char* name) const { return m_dir.filePath(name); }
    QString save(const QImage& photo, const char* name) const
    {
        photo.save(file(name), "BMP");
        return file(name);
    }
    template <typename T = QLabel> static T* child(const CardView& view, const char* name)
    {
        T* found = view.findChild<T*>(name);
        if (!found)
            qFatal("no control %s", name);
        return found;
    }

private slots:
    void initTestCase() { QFont::insertSubstitution("宋体", "AR PL UMing CN"); }

    void fingerprintLine_data()
    {
        QTest::addColumn<int>("selector");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("firstByte");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("colour");
        const QColor black(0, 0, 0), red(255, 0, 0);
        const QString raw = "指纹数据  A" + QString(1023, 'Z'); // never past the buffer
        QTest::newRow("complete") << kCardViewSelector << 1024 << 65 << "指纹数据  41 5A 5A "
                                  << black;
        QTest::newRow("none") << kCardViewSelector << 0 << 65 << "指纹数据  无" << black;
        QTest::newRow("negative") << kCardViewSelector << -7 << 65 << "指纹数据  无" << black;
        QTest::newRow("512") << kCardViewSelector << 512 << 65 << raw << red;
        QTest::newRow("2000") << kCardViewSelector << 2000 << 65 << raw << red;
        QTest::newRow("first byte zero") << kCardViewSelector << 512 << 0 << "指纹数据  " << red;
        QTest::newRow("selector 6") << 6 << 1024 << 65 << QString() << QColor();
    }

    void fingerprintLine()
    {
        QFETCH(int, selector);
        QFETCH(int, length);
        QFETCH(int, firstByte);
        QFETCH(QString, text);
        QFETCH(QColor, colour);
        TIDCardInfo card = sampleCard();
        std::fill(std::begin(card.FingerprintData), std::end(card.FingerprintData), 'Z');
        card.FingerprintData[0] = static_cast<unsigned char>(firstByte);
        CardView view;
        // A red line first: black must be set again, not left over.
        card.FingerprintLength = 3;
        showCard(view, card, kCardViewSelector, file("none.bmp"));
        card.FingerprintLength = length;
        showCard(view, card, selector, file("none.bmp"));
        auto* line = child(view, "Label1");
        QCOMPARE(line->isVisibleTo(&view), selector == kCardViewSelector);
        if (selector != kCardViewSelector)
            return;
        // The label holds the line's beginning: all of it, or at least what
        // its width can show.
        const QString shown = line->text();
        QCOMPARE(shown.left(text.size()), text.left(shown.size()));
        const int whole = length == 1024 ? 6 + 3 * 1024 : text.size();
        QVERIFY(shown.size() == whole ||
                (shown.size() < whole &&
                 QFontMetrics(line->font()).horizontalAdvance(shown) > line->width()));
        QCOMPARE(line->palette().color(QPalette::WindowText), colour);
    }

    void photo_data()
    {
        QTest::addColumn<QString>("photoFile");
        QTest::addColumn<bool>("shown");
        QFile junk(file("junk.bmp"));
        junk.open(QIODevice::WriteOnly);
        junk.write("BM not really a bitmap");
        junk.close();
        QTest::newRow("missing") << file("absent.bmp") << false;
        QTest::newRow("not a bitmap") << junk.fileName() << false;
        // Any readable bitmap shows at its own size, no larger than the place.
        QTest::newRow("smaller") << save(samplePhoto().copy(0, 0, 50, 50), "small.bmp") << true;
        QTest::newRow("larger") << save(samplePhoto().scaled(150, 150), "large.bmp") << true;
        QImage spots = samplePhoto();
        spots.setPixel(50, 50, spots.pixel(0, 0));   // background colour inside the face
        spots.setPixel(52, 50, qRgb(250, 250, 251)); // one step off it
        QTest::newRow("portrait") << save(spots, "spots.bmp") << true;
        QImage blank(102, 126, QImage::Format_RGB32);
        blank.fill(qRgb(250, 250, 250));
        QTest::newRow("all background") << save(blank, "blank.bmp") << true;
    }

    // What the operator sees in the photo's place: the photo's own pixels
    // where they differ from its top-left pixel, the card face everywhere else.
    void photo()
    {
        QFETCH(QString, photoFile);
        QFETCH(bool, shown);
        CardView view;
        showCard(view, sampleCard(), kCardViewSelector, save(samplePhoto(), "earlier.bmp"));
        showCard(view, sampleCard(), kCardViewSelector, photoFile);
        QCOMPARE(child<QWidget>(view, "PhotoPanel")->isVisibleTo(&view), shown);
        QCOMPARE(child(view, "IDCardNoLabel")->text(), QString("990102199203140026"));
        if (!shown)
            return;
        const QImage photo(photoFile);
        const QImage screen = view.grab().toImage();
        const QImage face = child(view, "Image4")->grab().toImage();
        QCOMPARE(child<QWidget>(view, "PhotoPanel")->size(),
                 photo.size().boundedTo(QSize(102, 126)));
        for (int y = 0; y < std::min(photo.height(), 126); ++y)
            for (int x = 0; x < std::min(photo.width(), 102); ++x) {
                const QPoint at(344 + x, 6 + y);
                const bool key = photo.pixel(x, y) == photo.pixel(0, 0);
                if (screen.pixel(at) != (key ? face.pixel(at) : photo.pixel(x, y)))
                    QFAIL(qPrintable(QString("photo pixel %1,%2").arg(x).arg(y)));
            }
    }

    // The worst case for the region's banding: every other pixel cut.
    void checkerRegion()
    {
        QImage checker(102, 126, QImage::Format_RGB32);
        for (int y = 0; y < checker.height(); ++y)
            for (int x = 0; x < checker.width(); ++x)
                checker.setPixel(x, y, (x + y) % 2 ? qRgb(9, 9, 9) : qRgb(200, 0, 0));
        const QRegion region = PhotoRegion(checker);
        QCOMPARE(region.boundingRect(), QRect(0, 0, 102, 126));
        for (int y = 0; y < checker.height(); ++y)
            for (int x = 0; x < checker.width(); ++x)
                QCOMPARE(region.contains(QPoint(x, y)), (x + y) % 2 == 1);
    }

    void secondCardOverwritesFirst()
    {
        CardView view;
        const TIDCardInfo first = sampleCard();
        showCard(view, first, kCardViewSelector, file("none.bmp"));
        QString address = QString::fromStdString(GbkToUtf8(FieldText(first.Address)));
        QCOMPARE(child(view, "AddressLabel")->text(), address.insert(18, "\r\n"));
        QCOMPARE(child(view, "StartDateLabel")->text(), QString("2015.06.07"));

        TIDCardInfo second{};
        putField(second.Name, "李一");
        putField(second.Birthday, "20010102");
        putField(second.Address, "甲地");
        putField(second.EndDate, "长期");
        showCard(view, second, kCardViewSelector, file("none.bmp"));
        const std::pair<const char*, QString> expected[] = {
            {"NameLabel", "李一"},        {"SexLabel", ""},
            {"NationLabel", ""},          {"BirthdayLabel", "2001     01     02"},
            {"AddressLabel", "甲地"},     {"IDCardNoLabel", ""},
            {"CheckDepartmentLabel", ""}, {"StartDateLabel", ""},
            {"BetweenLabel", "_"},        {"EndDateLabel", "长期"},
            {"AppAddressLabel", ""},      {"Label1", "指纹数据  无"},
        };
        for (const auto& [name, text] : expected)
            QCOMPARE(child(view, name)->text(), text);
        QCOMPARE(child(view, "NameLabel")->size(), child(view, "NameLabel")->sizeHint());
        QCOMPARE(child(view, "AddressLabel")->size(), QSize(254, 36));
    }

    // A card of another kind shows its own face and labels, hides the
    // identity card's it lacks; the identity card after it looks as before.
    void kindsSwitchFacesAndLabels()
    {
        CardView view;
        showCard(view, sampleCard(), kCardViewSelector, file("none.bmp"));
        const QImage idCard = view.grab().toImage();
        const QImage idFace = child(view, "Image4")->pixmap(Qt::ReturnByValue).toImage();

        TCardKindInfo foreign{};
        foreign.Kind = CardKind::ForeignPermanent;
        putField(foreign.Foreign.EnglishName, "SAMPLE JOHN");
        putField(foreign.Foreign.ChineseName, "约翰·示例");
        putField(foreign.Foreign.Nationality, "美国");
        putField(foreign.Foreign.CardNo, "USA998503150001");
        putField(foreign.Foreign.Birthday, "19850315");
        showCard(view, sampleCard(), kCardViewSelector, file("none.bmp"), foreign);
        QVERIFY(child(view, "Image4")->pixmap(Qt::ReturnByValue).toImage() != idFace);
        QCOMPARE(child(view, "EnglishNameLabel")->text(), QString("SAMPLE JOHN"));
        QVERIFY(child(view, "EnglishNameLabel")->isVisibleTo(&view));
        QCOMPARE(child(view, "NameLabel")->text(), QString("约翰·示例"));
        QCOMPARE(child(view, "NameLabel")->pos(), QPoint(87, 21));
        QCOMPARE(child(view, "BirthdayLabel")->pos(), QPoint(87, 108));
        QCOMPARE(child(view, "BirthdayLabel")->text(), QString("1985.03.15"));
        QCOMPARE(child(view, "EnglishNameLabel")->size(), QSize(254, 36));
        for (const char* hidden : {"NationLabel", "AddressLabel", "IDCardNoLabel",
                                   "AppAddressLabel", "PassNoLabel", "KindLabel"})
            QVERIFY2(!child(view, hidden)->isVisibleTo(&view), hidden);
        QVERIFY(child(view, "Label1")->isVisibleTo(&view));

        TCardKindInfo unknown{};
        unknown.Kind = CardKind::Unknown;
        showCard(view, sampleCard(), kCardViewSelector, file("none.bmp"), unknown);
        QCOMPARE(child(view, "KindLabel")->text(), QString("未知证件"));
        QCOMPARE(child(view, "UnsupportedLabel")->text(), QString(kUnsupportedLayoutText));
        QVERIFY(!child(view, "NameLabel")->isVisibleTo(&view));
        QVERIFY(!child(view, "EnglishNameLabel")->isVisibleTo(&view));

        showCard(view, sampleCard(), kCardViewSelector, file("none.bmp"));
        QCOMPARE(child(view, "Image4")->pixmap(Qt::ReturnByValue).toImage(), idFace);
        QCOMPARE(child(view, "NameLabel")->pos(), QPoint(75, 21));
        QVERIFY(!child(view, "KindLabel")->isVisibleTo(&view));
        QVERIFY(!child(view, "EnglishNameLabel")->isVisibleTo(&view));
        QCOMPARE(view.grab().toImage(), idCard);
    }

    // Faces drawn ahead while the view waits are the faces drawn on demand.
    void facesDrawnAheadAreTheSame()
    {
        TCardKindInfo permit{};
        permit.Kind = CardKind::HkMacaoTaiwanPermit;
        putField(permit.Permit.IDCardNo, "810000199007200016");
        const auto faceOf = [](CardView& view) {
            return child(view, "Image4")->pixmap(Qt::ReturnByValue).toImage();
        };
        CardView ahead;
        showCard(ahead, sampleCard(), kCardViewSelector, file("none.bmp"));
        QTest::qWait(600); // every face drawn by now
        showCard(ahead, sampleCard(), kCardViewSelector, file("none.bmp"), permit);
        CardView onDemand;
        showCard(onDemand, sampleCard(), kCardViewSelector, file("none.bmp"), permit);
        QCOMPARE(faceOf(ahead), faceOf(onDemand));
    }

    // The fonts' engines go while the labels hold their fonts; the next card
    // is drawn with fresh ones, exactly as before.
    void drawnAlikeAfterGlyphRelease()
    {
        CardView view;
        showCard(view, sampleCard(), kCardViewSelector, file("none.bmp"));
        const QImage before = view.grab().toImage();
        ReleaseGlyphCaches();
        showCard(view, sampleCard(), kCardViewSelector, file("none.bmp"));
        QCOMPARE(view.grab().toImage(), before);
    }
};

QTEST_MAIN(CardViewTest)
#include "card_view_test.moc"
