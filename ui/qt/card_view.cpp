#include "ui/qt/card_view.h"

#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QTimer>
#include <algorithm>

#include "base/diagnostics.h"
#include "ui/qt/card_face.h"
#include "ui/qt/glyph_cache.h"
#include "ui/qt/photo_region.h"

namespace {

// The pause before each face drawn ahead of its first card.
constexpr int kFaceAheadPauseMs = 100;

QFont cardFont(CardFont role)
{
    const UiLayout::Font& spec =
        role == CardFont::Data ? UiLayout::kCardDataFont : UiLayout::kCardLineFont;
    QFont font(QString::fromUtf8(spec.family));
    font.setPixelSize(spec.pixelSize);
    font.setBold(spec.bold);
    return font;
}

// The beginning of a one-line `text` that covers `width` pixels in `font`, and
// a margin of the widest glyph's size twice over, so the glyphs that show stand
// exactly where the whole text puts them. Laying out the rest, thousands of
// characters for the fingerprint line, on every paint would cost more than
// the rest of the view. Text that a cut could rearrange (line breaks,
// right-to-left runs) stays whole.
QString visiblePart(const QString& text, const QFont& font, int width)
{
    for (const QChar c : text) {
        const QChar::Direction d = c.direction();
        if (c == u'\n' || c == u'\r' || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator || d == QChar::DirR || d == QChar::DirAL ||
            d == QChar::DirRLE || d == QChar::DirRLO || d == QChar::DirRLI)
            return text;
    }
    const QFontMetrics metrics(font);
    const int enough = width + 2 * metrics.maxWidth();
    int n = 64;
    while (n < text.size() && metrics.horizontalAdvance(text.left(n)) < enough)
        n *= 2;
    if (n >= text.size())
        return text;
    if (text.at(n - 1).isHighSurrogate())
        ++n;
    return text.left(n);
}

} // namespace

CardView::CardView(QWidget* parent) : QWidget(parent)
{
    setObjectName("p_IDCardInfo");
    setFixedSize(kCardFaceWidth, kCardFaceHeight);

    Image4 = new QLabel(this);
    Image4->setObjectName("Image4");
    Image4->setGeometry(0, 0, kCardFaceWidth, kCardFaceHeight);
    // The face is drawn when the view is first shown (showEvent): the view
    // is hidden until the first card, and drawing means loading the CJK face.

    // The photo lies under the labels, as the card's text may run close to it.
    const UiLayout::Rect& photo = UiLayout::kPhotoPanel;
    PhotoPanel = new QWidget(this);
    PhotoPanel->setObjectName("PhotoPanel");
    PhotoPanel->setGeometry(photo.x, photo.y, photo.width, photo.height);
    PhotoImage = new QLabel(PhotoPanel);
    PhotoImage->setObjectName("PhotoImage");
    PhotoImage->setGeometry(0, 0, photo.width, photo.height);
    PhotoPanel->hide();

    // The labels of every face, so every control exists from the start: the
    // identity card's shown (on its face, as the view starts), the others
    // hidden until a card of their kind is shown.
    const std::vector<CardText> idTexts =
        CardViewFor(TIDCardInfo{}, TCardKindInfo{}, kCardViewSelector, nullptr, 0).texts;
    for (const CardText& text : CardViewControls()) {
        const bool onIdCard = std::any_of(idTexts.begin(), idTexts.end(), [&](const CardText& t) {
            return t.visible && t.control == std::string(text.control);
        });
        // Those shown are left to show with the view rather than shown now:
        // showing one measures it, loading the card's fonts at start-up for
        // a view hidden until the first card (ShowCardInfo sizes them).
        if (!onIdCard || text.control == std::string("Label1"))
            addLabel(text)->hide();
        else
            addLabel(text);
    }

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

// A control may stand elsewhere on another face.
void CardView::place(QLabel* label, const CardText& text)
{
    const UiLayout::Rect& place = text.place;
    if (label->pos() != QPoint(place.x, place.y))
        label->move(place.x, place.y);
    if (place.width > 0 && label->size() != QSize(place.width, place.height))
        label->setFixedSize(place.width, place.height);
}

QPixmap& CardView::faceFor(CardFace face)
{
    auto found = m_faces.find(face);
    if (found == m_faces.end()) {
        const QFont dataFont = cardFont(CardFont::Data);
        found =
            m_faces.emplace(face, CardFacePixmap(face, cardFont(CardFont::Line), &dataFont)).first;
    }
    return found->second;
}

void CardView::showFace(CardFace face)
{
    if (face == m_face && m_faceDrawn)
        return;
    m_face = face;
    m_faceDrawn = true;
    Image4->setPixmap(faceFor(face));
}

// Once a card was shown, the faces of the other kinds are drawn while the
// window waits for the next card, one in each pause: the first card of
// another kind then shows as quickly as any other, where drawing its face
// and the face's glyphs made it several times slower. A run that shows no
// card draws none of them.
void CardView::drawFaceAhead()
{
    for (CardFace face : kCardFaces) {
        if (m_faces.count(face) == 0) {
            faceFor(face);
            QTimer::singleShot(kFaceAheadPauseMs, this, &CardView::drawFaceAhead);
            return;
        }
    }
}

void CardView::ShowCardInfo(const CardViewContent& content)
{
    NoteCardShown(); // keeps the fonts' glyph caches bounded
    show();
    showFace(content.face);
    if (!m_facesAhead) {
        m_facesAhead = true;
        // After this card is painted and a moment the window is idle.
        QTimer::singleShot(kFaceAheadPauseMs, this, &CardView::drawFaceAhead);
    }
    // The content lists every label: those of other faces come first,
    // hidden.
    bool photoShown = false;
    for (const CardText& text : content.texts) {
        QLabel* label = m_labels.at(text.control);
        if (!text.visible) {
            label->hide();
            continue;
        }
        // The photo comes before the appended address on the identity card's
        // face, and before the fingerprint line on the faces without one.
        if (!photoShown && (text.control == std::string("AppAddressLabel") ||
                            text.control == std::string("Label1"))) {
            showPhoto(content);
            photoShown = true;
        }
        place(label, text);
        if (text.colour != CardColour::WindowText) {
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText,
                             text.colour == CardColour::Red ? QColor(255, 0, 0) : QColor(0, 0, 0));
            label->setPalette(palette);
        }
        QString shown = QString::fromStdString(text.text);
        if (text.place.width > 0 && !text.wordWrap)
            shown = visiblePart(shown, label->font(), text.place.width);
        label->setText(shown);
        // Fixed-size labels keep their size; the others fit their text.
        if (text.place.width == 0)
            label->adjustSize();
        label->show();
    }
    if (!photoShown)
        showPhoto(content);
}

// The view stays hidden until the first card, often for the whole run: its
// face (a CJK font's first use among other things) is drawn only then, before
// anything of it is painted.
void CardView::showEvent(QShowEvent* event)
{
    if (!m_faceDrawn)
        showFace(m_face);
    QWidget::showEvent(event);
}

void CardView::showPhoto(const CardViewContent& content)
{
    // A photo that cannot be shown is no error the operator needs to see:
    // the card's data stands without it. The panel is hidden on every way
    // that shows no photo of this card; one photo after another keeps it
    // shown (nothing is painted in between), sparing the cost of hiding and
    // showing it for every card.
    try {
        QImage photo;
        if (!content.photo) {
            PhotoPanel->hide();
            return;
        }
        if (!photo.loadFromData(content.photo, static_cast<int>(content.photoSize), "BMP") ||
            photo.isNull()) {
            PhotoPanel->hide();
            ReportDiagnostic(DiagArea::Photo, "the card's bitmap cannot be decoded");
            return;
        }
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
        PhotoPanel->hide();
        ReportDiagnostic(DiagArea::Photo, "the card's photo cannot be shown");
    }
}
