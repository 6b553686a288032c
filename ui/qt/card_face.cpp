#include "ui/qt/card_face.h"
#include "ui/qt/qt_text.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

#include "present/birthday_marks.h"

namespace {

const QColor kCaptionColour{QRgb(UiLayout::kCardCaptionColour)};

// Draws `text` with its baseline where that of a label at `labelTop` lies, so
// a caption and the label right of it read as one line.
void caption(QPainter& p, int x, int labelTop, const QString& text)
{
    p.drawText(QPointF(x, labelTop + p.fontMetrics().ascent()), text);
}

void paintBackground(QPainter& p, const QRectF& card)
{
    QPainterPath shape;
    shape.addRoundedRect(card, 14, 14);

    QLinearGradient ground(card.topLeft(), card.bottomRight());
    ground.setColorAt(0.0, QColor(0xf4, 0xf8, 0xfb));
    ground.setColorAt(0.55, QColor(0xea, 0xf1, 0xf6));
    ground.setColorAt(1.0, QColor(0xf3, 0xef, 0xe6));
    p.fillPath(shape, ground);

    p.save();
    p.setClipPath(shape);
    // A fine wave pattern, as printed cards carry against copying.
    QPen wave(QColor(0x9d, 0xb7, 0xcc, 46), 0.8);
    p.setPen(wave);
    for (int i = -6; i < 30; ++i) {
        QPainterPath line;
        const qreal base = i * 10.0;
        for (int x = 0; x <= card.width(); x += 4) {
            const qreal y = base + x * 0.18 + 5.0 * qSin(x / 23.0 + i * 0.7);
            if (x == 0)
                line.moveTo(x, y);
            else
                line.lineTo(x, y);
        }
        p.drawPath(line);
    }
    // A soft light behind the photo and a faint seal-like ring at the right.
    QRadialGradient glow(QPointF(395, 70), 120);
    glow.setColorAt(0.0, QColor(255, 255, 255, 150));
    glow.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.fillRect(card, glow);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0xc9, 0x8f, 0x8f, 40), 2.0));
    p.drawEllipse(QPointF(400, 186), 40, 40);
    p.setPen(QPen(QColor(0xc9, 0x8f, 0x8f, 32), 1.0));
    p.drawEllipse(QPointF(400, 186), 33, 33);
    p.restore();

    p.setPen(QPen(QColor(0xa7, 0xb9, 0xc8), 1.0));
    p.drawPath(shape);
}

} // namespace

QPixmap CardFacePixmap(CardFace face, const QFont& captionFont, const QFont* dataFont)
{
    const CardFaceLayout layout = CardFaceLayoutFor(face);
    QPixmap pixmap(kCardFaceWidth, kCardFaceHeight);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    paintBackground(p, QRectF(0.5, 0.5, kCardFaceWidth - 1, kCardFaceHeight - 1));

    p.setPen(kCaptionColour);
    if (!layout.title.empty()) {
        QFont titleFont = captionFont;
        titleFont.setBold(true);
        p.setFont(titleFont);
        const UiLayout::Rect& place = UiLayout::kCardFaceTitle;
        const QString title = QStringOf(layout.title);
        const qreal width = QFontMetricsF(titleFont).horizontalAdvance(title);
        p.drawText(QPointF(place.x + (place.width - width) / 2, place.y + p.fontMetrics().ascent()),
                   title);
    }

    p.setFont(captionFont);
    // Captions at the left, one per label row of the view; tops match the
    // labels' tops.
    for (const CardFaceCaption& c : layout.captions)
        caption(p, c.x, c.top, QStringOf(c.text));
    if (!dataFont || !layout.birthdayMarks)
        return pixmap;

    // The year, month and day marks after the numbers of the date of birth,
    // placed from the widths of the fonts this window draws with.
    const QFontMetricsF data(*dataFont);
    const QFontMetricsF cap(captionFont);
    const auto width = [&](std::string_view text, CardFont font) {
        return (font == CardFont::Data ? data : cap).horizontalAdvance(QStringOf(text));
    };
    for (const BirthdayMark& mark : BirthdayMarks(layout.birthday.x, width))
        p.drawText(QPointF(mark.left, layout.birthday.y + cap.ascent()), QStringOf(mark.text));
    return pixmap;
}
