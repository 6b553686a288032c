// Placeholder until the card view lands; keeps the tree building.
#include "ui/card_view.h"

CardView::CardView(QWidget* parent) : QWidget(parent)
{
    setObjectName("p_IDCardInfo");
    setFixedSize(480, 253);
    hide();
}

void CardView::ShowCardInfo(const TIDCardInfo&, int, const QString&)
{
    show();
}
