#pragma once
// The card view: the panel p_IDCardInfo, drawn as the face of an ID card with
// the data of the card last read laid over it, the holder's photo with its
// background cut away, and the fingerprint line.

#include <QString>
#include <QWidget>
#include <string_view>

#include "card/card_info.h"

class QLabel;

class CardView : public QWidget
{
    Q_OBJECT
public:
    explicit CardView(QWidget* parent = nullptr);

    // Fills every label from `card`, loads the photo from `photoFile` (any
    // failure leaves the photo hidden) and shows the panel. The fingerprint
    // line is produced only for the selector 7.
    void ShowCardInfo(const TIDCardInfo& card, int selector, const QString& photoFile);

private:
    QLabel* addLabel(const char* name, int x, int y, const QFont& font);
    void setLabelText(QLabel* label, std::string_view gbk);
    void showPhoto(const QString& photoFile);

    QLabel* m_image4 = nullptr;
    QLabel* m_nameLabel = nullptr;
    QLabel* m_sexLabel = nullptr;
    QLabel* m_nationLabel = nullptr;
    QLabel* m_birthdayLabel = nullptr;
    QLabel* m_addressLabel = nullptr;
    QLabel* m_idCardNoLabel = nullptr;
    QLabel* m_checkDepartmentLabel = nullptr;
    QLabel* m_startDateLabel = nullptr;
    QLabel* m_betweenLabel = nullptr;
    QLabel* m_endDateLabel = nullptr;
    QLabel* m_appAddressLabel = nullptr;
    QLabel* m_label1 = nullptr;
    QWidget* m_photoPanel = nullptr;
    QLabel* m_photoImage = nullptr;
};
