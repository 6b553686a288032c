#include "ui/qt/card_view.h"

#include <QImage>
#include <QLabel>
#include <QPalette>
#include <QPixmap>

#include "ui/qt/card_face.h"
#include "ui/qt/glyph_cache.h"
#include "ui/qt/photo_region.h"

namespace {

QFont cardFont(CardFont role)
{
    const UiLayout::Font& spec =
        role == CardFont::Data ? UiLayout::kCardDataFont : UiLayout::kCardLineFont;
    QFont font(QString::fromUtf8(spec.family));
    font.setPixelSize(spec.pixelSize);
    font.setBold(spec.bold);
    return font;
}

} // namespace

CardView::CardView(QWidget* parent) : QWidget(parent)
{
    setObjectName("p_IDCardInfo");
    setFixedSize(kCardFaceWidth, kCardFaceHeight);

    Image4 = new QLabel(this);
    Image4->setObjectName("Image4");
    Image4->setGeometry(0, 0, kCardFaceWidth, kCardFaceHeight);
    Image4->setPixmap(cardFacePixmap(cardFont(CardFont::Line), cardFont(CardFont::Data)));

    // The photo lies under the labels, as the card's text may run close to it.
    const UiLayout::Rect& photo = UiLayout::kPhotoPanel;
    PhotoPanel = new QWidget(this);
    PhotoPanel->setObjectName("PhotoPanel");
    PhotoPanel->setGeometry(photo.x, photo.y, photo.width, photo.height);
    PhotoImage = new QLabel(PhotoPanel);
    PhotoImage->setObjectName("PhotoImage");
    PhotoImage->setGeometry(0, 0, photo.width, photo.height);
    PhotoPanel->hide();

    // The labels of an empty card, so every control exists from the start.
    const TIDCardInfo empty{};
    for (const CardText& text : CardViewFor(empty, kCardViewSelector, nullptr, 0).texts)
        addLabel(text)->setVisible(text.control != std::string("Label1"));

    hide();
}

QLabel* CardView::addLabel(const CardText& text)
{
    const UiLayout::Rect& place = text.place;
    auto* label = new QLabel(this);
    label->setObjectName(text.control);
    label->setFont(cardFont(text.font));
    // Card text is shown as it stands, never read as markup.
    label->setTextFormat(Qt::PlainText);
    label->setAutoFillBackground(false);
    label->move(place.x, place.y);
    if (place.width > 0)
        label->setFixedSize(place.width, place.height);
    label->setWordWrap(text.wordWrap);
    if (text.wordWrap)
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_labels[text.control] = label;
    return label;
}

void CardView::ShowCardInfo(const CardViewContent& content)
{
    NoteCardShown(); // keeps the fonts' glyph caches bounded
    show();
    for (const CardText& text : content.texts) {
        QLabel* label = m_labels.at(text.control);
        if (text.control == std::string("AppAddressLabel"))
            showPhoto(content);
        if (!text.visible) {
            label->hide();
            continue;
        }
        if (text.colour != CardColour::WindowText) {
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText,
                             text.colour == CardColour::Red ? QColor(255, 0, 0) : QColor(0, 0, 0));
            label->setPalette(palette);
        }
        label->setText(QString::fromStdString(text.text));
        // Fixed-size labels keep their size; the others fit their text.
        if (text.place.width == 0)
            label->adjustSize();
        label->show();
    }
}

void CardView::showPhoto(const CardViewContent& content)
{
    // A photo that cannot be shown is no error the operator needs to see:
    // the card's data stands without it.
    PhotoPanel->hide();
    try {
        QImage photo;
        if (!content.photo ||
            !photo.loadFromData(content.photo, static_cast<int>(content.photoSize), "BMP") ||
            photo.isNull())
            return;
        const UiLayout::Rect place = PhotoPlace(photo.width(), photo.height());
        // Shown at its own size from the corner of the photo's place, and no
        // larger than that place.
        if (photo.width() > place.width || photo.height() > place.height)
            photo = photo.copy(0, 0, place.width, place.height);
        PhotoPanel->setGeometry(place.x, place.y, place.width, place.height);
        PhotoImage->setGeometry(0, 0, place.width, place.height);
        PhotoImage->setPixmap(QPixmap::fromImage(photo));
        SetPhotoRegion(photo, PhotoPanel);
        PhotoPanel->show();
    } catch (...) {
    }
}
