#pragma once
// Fictional cards and photos for the card view's tests and its snapshot tool.

#include <QColor>
#include <QFile>
#include <QImage>
#include <QPainter>

#include "card/card_info.h"
#include "tests/card/base_text_builder.h"
#include "ui/qt/card_view.h"

inline TIDCardInfo sampleCard()
{
    TIDCardInfo card{};
    putField(card.Name, "欧阳晓岚");
    putField(card.Sex, "女");
    putField(card.Nation, "汉族");
    putField(card.Birthday, "19920314");
    putField(card.Address, "云泽省青梧市临川区望江路一百二十八号锦绣花园七栋二单元九零三室");
    putField(card.IDCardNo, "990102199203140026");
    putField(card.CheckDepartment, "青梧市公安局临川分局");
    putField(card.StartDate, "20150607");
    putField(card.EndDate, "20350607");
    for (std::size_t i = 0; i < kFingerprintSize; ++i)
        card.FingerprintData[i] = static_cast<unsigned char>(i * 37 + 11);
    card.FingerprintLength = static_cast<std::int32_t>(kFingerprintSize);
    return card;
}

// A 102 x 126 portrait on a flat background of `key`.
inline QImage samplePhoto(QColor key = QColor(250, 250, 250))
{
    QImage photo(102, 126, QImage::Format_RGB32);
    photo.fill(key);
    QPainter p(&photo);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 60, 90));
    p.drawEllipse(QRectF(6, 88, 90, 70));
    p.setBrush(QColor(231, 196, 170));
    p.drawRoundedRect(QRectF(43, 72, 16, 22), 4, 4);
    p.drawEllipse(QRectF(28, 22, 46, 58));
    p.setBrush(QColor(35, 28, 25));
    p.drawChord(QRectF(26, 16, 50, 44), 0, 180 * 16);
    return photo;
}

// Shows `card` as the main window does, with the bitmap file `photoFile`
// standing in for the one the reading thread kept (none when it cannot be
// read).
inline void showCard(CardView& view, const TIDCardInfo& card, int selector,
                     const QString& photoFile, const TCardKindInfo& kind = TCardKindInfo{})
{
    QFile file(photoFile);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    view.ShowCardInfo(CardViewFor(card, kind, selector,
                                  reinterpret_cast<const unsigned char*>(bytes.constData()),
                                  static_cast<std::size_t>(bytes.size())));
}
