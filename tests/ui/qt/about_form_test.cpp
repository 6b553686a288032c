#include <QFile>
#include <QLabel>
#include <QUrl>
#include <QtTest>

#include <memory>

#include "dialog_fonts.h"
#include "ui/qt/jpeg_image.h"
#include "ui/qt/uAboutForm.h"

class AboutFormTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<Tform_About> m_form;
    QList<QUrl> m_opened;

    QLabel* child(const char* name)
    {
        auto* found = m_form->findChild<QLabel*>(name);
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    static QByteArray pictureBytes()
    {
        QFile file(QStringLiteral(":/about/about.jpg"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static bool decode(const QByteArray& bytes, RgbImage& image)
    {
        return DecodeJpeg(reinterpret_cast<const unsigned char*>(bytes.constData()),
                          static_cast<std::size_t>(bytes.size()), image);
    }

private slots:
    void initTestCase() { substituteDialogFonts(); }
    void init()
    {
        m_opened.clear();
        m_form = std::make_unique<Tform_About>();
        // Opening fails, as on a desktop without a browser; that changes nothing.
        m_form->setUrlOpener([this](const QUrl& url) {
            m_opened << url;
            return false;
        });
        m_form->show();
    }
    void cleanup() { m_form.reset(); }

    void texts_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("top");
        QTest::addColumn<QString>("text");
        QTest::newRow("name") << QByteArray("l_AppName") << 88 << "软件名称：zuviruzozozad";
        QTest::newRow("version") << QByteArray("l_Version") << 112 << "软件版本：v1.6";
        QTest::newRow("company") << QByteArray("l_Company") << 136
                                 << "开发公司：zuviruzozozad 开源项目";
        QTest::newRow("address") << QByteArray("l_Address") << 160 << "公司地址：示例市示例路 1 号";
        QTest::newRow("hotline") << QByteArray("l_Telephone") << 184 << "热线电话：000-0000-0000";
        QTest::newRow("web") << QByteArray("l_WebSite") << 208 << Tform_About::webAddress();
    }
    void texts()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, top);
        QFETCH(QString, text);
        QLabel* label = child(name.constData());
        QCOMPARE(label->text(), text);
        QCOMPARE(label->pos(), QPoint(24, top));
        // Sized to its text, so the picture around it takes the clicks.
        QCOMPARE(label->size(), label->sizeHint());
        QVERIFY(!label->autoFillBackground());
    }

    void linkOpensAddressAndStaysOpen()
    {
        QLabel* link = child("l_WebSite");
        QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 128));
        QVERIFY(link->font().underline());
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseClick(link, Qt::LeftButton);
        QVERIFY(m_form->isVisible());
        QTest::mouseClick(link, Qt::LeftButton);
        QVERIFY(m_form->isVisible());
        const QUrl address(QStringLiteral("https://zuviruzozozad.example.org/"));
        QCOMPARE(m_opened, (QList<QUrl>{address, address}));
    }

    void textLinesDoNothing_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("version") << QByteArray("l_Version");
        QTest::newRow("hotline") << QByteArray("l_Telephone");
    }
    void textLinesDoNothing()
    {
        QFETCH(QByteArray, name);
        QTest::mouseClick(child(name.constData()), Qt::LeftButton);
        QVERIFY(m_form->isVisible());
        QVERIFY(m_opened.isEmpty());
    }

    void pictureClickCloses_data()
    {
        QTest::addColumn<QPoint>("at");
        QTest::newRow("below the last line") << QPoint(160, 240);
        QTest::newRow("right of the labels") << QPoint(310, 115);
        QTest::newRow("logo") << QPoint(40, 30);
    }
    void pictureClickCloses()
    {
        QFETCH(QPoint, at);
        QTest::mouseClick(child("i_About"), Qt::LeftButton, {}, at);
        QVERIFY(!m_form->isVisible());
        QVERIFY(m_opened.isEmpty());
        // Shown again, it is the same box.
        m_form->show();
        QCOMPARE(child("l_Version")->text(), "软件版本：v1.6");
    }

    void fixedFrame()
    {
        QCOMPARE(m_form->size(), QSize(327, 254));
        QCOMPARE(m_form->minimumSize(), m_form->maximumSize());
        const Qt::WindowFlags flags = m_form->windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));
    }

    // The picture as drawn: 327 x 254, lighter at the top than at the bottom,
    // with a darker rule between the logo and the first text line.
    void pictureDecodes()
    {
        RgbImage image;
        QVERIFY(decode(pictureBytes(), image));
        QCOMPARE(image.width, 327);
        QCOMPARE(image.height, 254);
        const auto grey = [&](int x, int y) {
            const unsigned char* p = image.pixels.data() + (y * image.width + x) * 3;
            return (p[0] + p[1] + p[2]) / 3;
        };
        QVERIFY(grey(200, 5) > grey(200, 250) + 15);
        QVERIFY(grey(200, 80) + 30 < grey(200, 75));
        QCOMPARE(child("i_About")->pixmap(Qt::ReturnByValue).size(), QSize(327, 254));
    }

    // A damaged picture must not end the process (libjpeg's default).
    void damagedPictureIsRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = pictureBytes();
        QTest::newRow("truncated header") << good.left(40);
        QTest::newRow("not a JPEG") << QByteArray("GIF89a not a picture");
        QTest::newRow("empty") << QByteArray();
    }
    void damagedPictureIsRefused()
    {
        QFETCH(QByteArray, bytes);
        RgbImage image;
        QVERIFY(!decode(bytes, image));
        QVERIFY(image.pixels.empty());
    }
};

QTEST_MAIN(AboutFormTest)
#include "about_form_test.moc"
