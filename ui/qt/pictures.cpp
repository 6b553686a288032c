#include "ui/qt/pictures.h"

#include <QFont>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

#include "present/layout.h"

namespace {

const QColor kBannerDark(0x0d, 0x3b, 0x78);
const QColor kBannerMid(0x1b, 0x5f, 0xae);
const QColor kBannerLight(0x3a, 0x8f, 0xd6);
const QColor kPaleBlue(0xea, 0xf3, 0xfb);
const QColor kWaveBlue(0x2a, 0x7b, 0xc8);

QPixmap blank(int width, int height, const QColor& fill = Qt::transparent)
{
    QPixmap pixmap(width, height);
    pixmap.fill(fill);
    return pixmap;
}

void antialias(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
}

// A small ID card: a rounded plate with a chip and a few printed lines.
void drawCard(QPainter& p, const QRectF& r, const QColor& plate, const QColor& print)
{
    const qreal radius = r.height() * 0.12;
    p.setPen(QPen(print, 1.0));
    p.setBrush(plate);
    p.drawRoundedRect(r, radius, radius);
    const QRectF chip(r.left() + r.width() * 0.10, r.top() + r.height() * 0.30, r.width() * 0.18,
                      r.height() * 0.26);
    p.setBrush(QColor(0xe8, 0xc1, 0x5a));
    p.setPen(QPen(QColor(0xa8, 0x80, 0x28), 0.8));
    p.drawRoundedRect(chip, 1.5, 1.5);
    p.setPen(QPen(print, qMax<qreal>(1.0, r.height() * 0.05), Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 3; ++i) {
        const qreal y = r.top() + r.height() * (0.32 + 0.16 * i);
        p.drawLine(QPointF(r.left() + r.width() * 0.38, y),
                   QPointF(r.right() - r.width() * (0.12 + 0.1 * i), y));
    }
}

class PictureDrawnWhenShown : public QLabel
{
public:
    PictureDrawnWhenShown(QWidget* parent, std::function<QPixmap()> draw)
        : QLabel(parent), m_draw(std::move(draw))
    {
    }

protected:
    void showEvent(QShowEvent* event) override
    {
        if (m_draw) {
            setPixmap(m_draw());
            m_draw = nullptr;
        }
        QLabel::showEvent(event);
    }

private:
    std::function<QPixmap()> m_draw;
};

} // namespace

namespace Pictures {

QLabel* DrawnWhenShown(QWidget* parent, std::function<QPixmap()> draw)
{
    return new PictureDrawnWhenShown(parent, std::move(draw));
}

QPixmap Banner()
{
    QPixmap pixmap = blank(556, 57);
    QPainter p(&pixmap);
    antialias(p);
    QLinearGradient ground(0, 0, 556, 0);
    ground.setColorAt(0.0, kBannerDark);
    ground.setColorAt(0.6, kBannerMid);
    ground.setColorAt(1.0, kBannerLight);
    p.fillRect(pixmap.rect(), ground);

    // Soft waves across the band, echoing the reader's field.
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 4; ++i) {
        p.setPen(QPen(QColor(255, 255, 255, 22 + 8 * i), 1.2));
        QPainterPath wave;
        wave.moveTo(180, 50 - 6 * i);
        wave.cubicTo(300, 20 - 6 * i, 420, 70 - 6 * i, 556, 28 - 6 * i);
        p.drawPath(wave);
    }
    const QRectF glow(-30, -40, 160, 130);
    QRadialGradient halo(glow.center(), 80);
    halo.setColorAt(0.0, QColor(255, 255, 255, 46));
    halo.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.fillRect(glow, halo);

    drawCard(p, QRectF(16.5, 12.5, 50, 32), QColor(0xf4, 0xf8, 0xfd), QColor(0x5a, 0x7c, 0xa8));

    QFont title(QStringLiteral("微软雅黑"));
    title.setPixelSize(22);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(0, 0, 0, 60));
    p.drawText(QPointF(83, 32), QStringLiteral("二代身份证阅读器测试程序"));
    p.setPen(Qt::white);
    p.drawText(QPointF(82, 31), QStringLiteral("二代身份证阅读器测试程序"));

    QFont sub(QStringLiteral("DejaVu Sans"));
    sub.setPixelSize(11);
    sub.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    p.setFont(sub);
    p.setPen(QColor(0xc8, 0xe0, 0xf8));
    p.drawText(QPointF(83, 48), QStringLiteral("zuviruzozozad · 单次读卡 · 循环读卡"));
    return pixmap;
}

QPixmap Strip(int width)
{
    QPixmap pixmap = blank(qMax(1, width), 14);
    QPainter p(&pixmap);
    QLinearGradient ground(0, 0, 0, 14);
    ground.setColorAt(0.0, kBannerLight);
    ground.setColorAt(1.0, kBannerLight.lighter(125));
    p.fillRect(pixmap.rect(), ground);
    p.setPen(QColor(255, 255, 255, 90));
    p.drawLine(0, 13, width, 13);
    return pixmap;
}

QPixmap PaleGround()
{
    return blank(380, 321, kPaleBlue);
}

QPixmap RadioWaves()
{
    QPixmap pixmap = blank(380, 321, kPaleBlue);
    QPainter p(&pixmap);
    antialias(p);
    const QPointF source(190, 236);

    QRadialGradient glow(source, 170);
    glow.setColorAt(0.0, QColor(255, 255, 255, 200));
    glow.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.fillRect(pixmap.rect(), glow);

    // Waves spreading upwards from the reader, fading with distance.
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 5; ++i) {
        const qreal r = 46 + 34 * i;
        QColor c = kWaveBlue;
        c.setAlpha(200 - 36 * i);
        p.setPen(QPen(c, 7 - i, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(source.x() - r, source.y() - r, 2 * r, 2 * r), 40 * 16, 100 * 16);
    }

    // The reader: a rounded desk unit with a glowing pad.
    const QRectF body(120, 236, 140, 44);
    QLinearGradient shell(body.topLeft(), body.bottomLeft());
    shell.setColorAt(0.0, QColor(0x4b, 0x5d, 0x73));
    shell.setColorAt(1.0, QColor(0x2c, 0x3a, 0x4b));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 30));
    p.drawRoundedRect(body.translated(0, 4), 12, 12);
    p.setBrush(shell);
    p.drawRoundedRect(body, 12, 12);
    const QRectF pad(138, 244, 104, 14);
    QLinearGradient padGlow(pad.topLeft(), pad.topRight());
    padGlow.setColorAt(0.0, QColor(0x5f, 0xb4, 0xf0));
    padGlow.setColorAt(0.5, QColor(0xa9, 0xdb, 0xff));
    padGlow.setColorAt(1.0, QColor(0x5f, 0xb4, 0xf0));
    p.setBrush(padGlow);
    p.drawRoundedRect(pad, 7, 7);
    p.setBrush(QColor(0x6c, 0xe0, 0x7a));
    p.drawEllipse(QPointF(238, 268), 3, 3);
    return pixmap;
}

QPixmap HandWithCard()
{
    QPixmap pixmap = RadioWaves();
    QPainter p(&pixmap);
    antialias(p);
    // The card held above the reader, and a simple hand holding its edge.
    p.save();
    p.translate(190, 150);
    p.rotate(-8);
    drawCard(p, QRectF(-70, -44, 140, 88), QColor(0xf7, 0xfa, 0xfe), QColor(0x5a, 0x7c, 0xa8));
    p.restore();
    const QColor skin(0xf1, 0xc2, 0x9a);
    p.setPen(QPen(skin.darker(125), 1.2));
    p.setBrush(skin);
    QPainterPath hand;
    hand.moveTo(250, 120);
    hand.cubicTo(285, 110, 320, 130, 330, 175);
    hand.lineTo(345, 230);
    hand.lineTo(290, 240);
    hand.cubicTo(270, 200, 255, 190, 245, 170);
    hand.cubicTo(238, 155, 238, 128, 250, 120);
    p.drawPath(hand);
    p.drawRoundedRect(QRectF(232, 150, 34, 14), 7, 7);
    return pixmap;
}

QPixmap ActionStatusGlyph(int index)
{
    QPixmap pixmap = blank(16, 16);
    QPainter p(&pixmap);
    antialias(p);
    if (index == 0) {
        QPainterPath triangle;
        triangle.moveTo(4, 2.5);
        triangle.lineTo(13.5, 8);
        triangle.lineTo(4, 13.5);
        triangle.closeSubpath();
        QLinearGradient fill(0, 2, 0, 14);
        fill.setColorAt(0.0, QColor(0x5c, 0xd6, 0x5c));
        fill.setColorAt(1.0, QColor(0x1e, 0x9a, 0x2e));
        p.setPen(QPen(QColor(0x14, 0x6b, 0x20), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(fill);
        p.drawPath(triangle);
    } else {
        QLinearGradient fill(0, 2, 0, 14);
        fill.setColorAt(0.0, QColor(0xe5, 0x57, 0x4b));
        fill.setColorAt(1.0, QColor(0xb0, 0x24, 0x1b));
        p.setPen(QPen(QColor(0x7a, 0x16, 0x10), 1.0));
        p.setBrush(fill);
        p.drawRoundedRect(QRectF(3.5, 2.5, 3, 11), 1, 1);
        p.drawRoundedRect(QRectF(9.5, 2.5, 3, 11), 1, 1);
    }
    return pixmap;
}

QPixmap SettingsGlyph()
{
    QPixmap pixmap = blank(16, 16);
    QPainter p(&pixmap);
    antialias(p);
    const QPointF c(8, 8);
    QPainterPath gear;
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        const qreal a = (i * M_PI) / teeth - M_PI / (teeth * 2);
        const qreal r = (i % 2 == 0) ? 7.2 : 5.6;
        const QPointF a1 = c + QPointF(r * qCos(a), r * qSin(a));
        const QPointF a2 = c + QPointF(r * qCos(a + M_PI / teeth), r * qSin(a + M_PI / teeth));
        if (i == 0)
            gear.moveTo(a1);
        else
            gear.lineTo(a1);
        gear.lineTo(a2);
    }
    gear.closeSubpath();
    gear.addEllipse(c, 2.3, 2.3);
    gear.setFillRule(Qt::OddEvenFill);
    QLinearGradient fill(0, 0, 0, 16);
    fill.setColorAt(0.0, QColor(0x8a, 0x9b, 0xb0));
    fill.setColorAt(1.0, QColor(0x4a, 0x5a, 0x70));
    p.setPen(QPen(QColor(0x33, 0x40, 0x52), 0.8));
    p.setBrush(fill);
    p.drawPath(gear);
    return pixmap;
}

QPixmap AboutGlyph()
{
    QPixmap pixmap = blank(16, 16);
    QPainter p(&pixmap);
    antialias(p);
    QRadialGradient fill(QPointF(6, 5), 11);
    fill.setColorAt(0.0, QColor(0x6f, 0xb6, 0xf2));
    fill.setColorAt(1.0, QColor(0x1b, 0x5f, 0xae));
    p.setPen(QPen(QColor(0x12, 0x45, 0x82), 0.8));
    p.setBrush(fill);
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 4.8), 1.3, 1.3);
    p.drawRoundedRect(QRectF(6.9, 7, 2.2, 6), 0.8, 0.8);
    return pixmap;
}

QPixmap DrawPicture(StoredPicture which)
{
    switch (which) {
    case StoredPicture::Banner:
        return Banner();
    case StoredPicture::Strip:
        return Strip(UiLayout::kImage2.width);
    case StoredPicture::RadioWaves:
        return RadioWaves();
    case StoredPicture::StartGlyph:
        return ActionStatusGlyph(0);
    case StoredPicture::StopGlyph:
        return ActionStatusGlyph(1);
    case StoredPicture::SettingsGlyph:
        return SettingsGlyph();
    case StoredPicture::AboutGlyph:
        return AboutGlyph();
    }
    return QPixmap();
}

} // namespace Pictures
