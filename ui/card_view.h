#pragma once
// The card view: the panel p_IDCardInfo, drawn as the face of an ID card with
// the data of the card last read laid over it, the holder's photo with its
// background cut away, and the fingerprint line.

#include <QString>
#include <QWidget>

#include "card/card_info.h"

class CardView : public QWidget
{
    Q_OBJECT
public:
    explicit CardView(QWidget* parent = nullptr);

    // Fills every label from `card`, loads the photo from `photoFile` (any
    // failure leaves the photo hidden) and shows the panel. The fingerprint
    // line is produced only for the selector 7.
    void ShowCardInfo(const TIDCardInfo& card, int selector, const QString& photoFile);
};
