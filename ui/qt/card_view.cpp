#include "ui/card_view.h"

#include <QImage>
#include <QLabel>
#include <QPalette>
#include <QPixmap>

#include "card/gbk.h"
#include "ui/card_face.h"
#include "ui/card_text.h"
#include "ui/photo_region.h"

namespace {

// The photo the reader's decoder writes: 102 x 126 pixels.
constexpr QSize kPhotoSize(102, 126);
constexpr int kWrapWidth = 36;

QFont cardFont(bool bold)
{
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(13);
    font.setBold(bold);
    return font;
}

} // namespace

CardView::CardView(QWidget* parent) : QWidget(parent)
{
    setObjectName("p_IDCardInfo");
    setFixedSize(kCardFaceWidth, kCardFaceHeight);

    const QFont dataFont = cardFont(true);
    const QFont lineFont = cardFont(false);

    m_image4 = new QLabel(this);
    m_image4->setObjectName("Image4");
    m_image4->setGeometry(0, 0, kCardFaceWidth, kCardFaceHeight);
    m_image4->setPixmap(cardFacePixmap(lineFont, dataFont));

    // The photo lies under the labels, as the card's text may run close to it.
    m_photoPanel = new QWidget(this);
    m_photoPanel->setObjectName("PhotoPanel");
    m_photoPanel->setGeometry(QRect(QPoint(344, 6), kPhotoSize));
    m_photoImage = new QLabel(m_photoPanel);
    m_photoImage->setObjectName("PhotoImage");
    m_photoImage->setGeometry(QRect(QPoint(0, 0), kPhotoSize));
    m_photoPanel->hide();

    m_nameLabel = addLabel("NameLabel", 75, 21, dataFont);
    m_sexLabel = addLabel("SexLabel", 75, 45, dataFont);
    m_nationLabel = addLabel("NationLabel", 175, 45, dataFont);
    m_birthdayLabel = addLabel("BirthdayLabel", 75, 69, dataFont);
    m_addressLabel = addLabel("AddressLabel", 75, 93, dataFont);
    m_addressLabel->setFixedSize(254, 36);
    m_addressLabel->setWordWrap(true);
    m_addressLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_idCardNoLabel = addLabel("IDCardNoLabel", 116, 132, dataFont);
    m_checkDepartmentLabel = addLabel("CheckDepartmentLabel", 87, 157, dataFont);
    m_startDateLabel = addLabel("StartDateLabel", 87, 181, dataFont);
    m_betweenLabel = addLabel("BetweenLabel", 171, 174, dataFont);
    m_endDateLabel = addLabel("EndDateLabel", 182, 181, dataFont);
    m_appAddressLabel = addLabel("AppAddressLabel", 87, 205, dataFont);
    m_label1 = addLabel("Label1", 21, 228, lineFont);
    m_label1->setFixedSize(439, 19);
    m_label1->setWordWrap(false);
    m_label1->hide();

    hide();
}

QLabel* CardView::addLabel(const char* name, int x, int y, const QFont& font)
{
    auto* label = new QLabel(this);
    label->setObjectName(name);
    label->setFont(font);
    // Card text is shown as it stands, never read as markup.
    label->setTextFormat(Qt::PlainText);
    label->setAutoFillBackground(false);
    label->move(x, y);
    return label;
}

void CardView::setLabelText(QLabel* label, std::string_view gbk)
{
    label->setText(QString::fromStdString(GbkToUtf8(gbk)));
    // Fixed-size labels keep their size; the others fit their text.
    if (label->minimumSize() != label->maximumSize())
        label->adjustSize();
}

void CardView::ShowCardInfo(const TIDCardInfo& card, int selector, const QString& photoFile)
{
    show();
    setLabelText(m_nameLabel, FieldText(card.Name));
    setLabelText(m_sexLabel, FieldText(card.Sex));
    setLabelText(m_nationLabel, FieldText(card.Nation));
    setLabelText(m_addressLabel, trimText(WrapText(FieldText(card.Address), kWrapWidth)));
    setLabelText(m_idCardNoLabel, FieldText(card.IDCardNo));
    setLabelText(m_checkDepartmentLabel,
                 WrapText(trimText(FieldText(card.CheckDepartment)), kWrapWidth));
    setLabelText(m_birthdayLabel, formatDate(FieldText(card.Birthday), kBirthdaySeparator));
    setLabelText(m_startDateLabel, formatDate(FieldText(card.StartDate), kValiditySeparator));
    setLabelText(m_betweenLabel, "_");
    setLabelText(m_endDateLabel, formatDate(FieldText(card.EndDate), kValiditySeparator));
    showPhoto(photoFile);
    setLabelText(m_appAddressLabel, FieldText(card.AppAddress));

    m_label1->hide();
    if (selector != 7)
        return;
    const FingerprintLine line = fingerprintLine(card.FingerprintData, card.FingerprintLength);
    QPalette palette = m_label1->palette();
    palette.setColor(QPalette::WindowText, line.unexpected ? QColor(255, 0, 0) : QColor(0, 0, 0));
    m_label1->setPalette(palette);
    setLabelText(m_label1, line.text);
    m_label1->show();
}

void CardView::showPhoto(const QString& photoFile)
{
    // A photo that cannot be shown is no error the operator needs to see:
    // the card's data stands without it.
    m_photoPanel->hide();
    try {
        QImage photo;
        if (!photo.load(photoFile, "BMP") || photo.size() != kPhotoSize)
            return;
        m_photoImage->setPixmap(QPixmap::fromImage(photo));
        SetPhotoRegion(photo, m_photoPanel);
        m_photoPanel->show();
    } catch (...) {
    }
}
