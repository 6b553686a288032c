#pragma once
// The card view: the panel p_IDCardInfo, drawn as the face of an ID card with
// the data of the card last read laid over it, the holder's photo with its
// background cut away, and the fingerprint line. It renders the content the
// presentation layer works out.

#include <QWidget>
#include <map>
#include <string>

#include "ui/card_view_model.h"

class QLabel;

class CardView : public QWidget
{
    Q_OBJECT
public:
    explicit CardView(QWidget* parent = nullptr);

    // Sets every text, decodes the photo (any failure leaves it hidden) and
    // shows the panel.
    void ShowCardInfo(const CardViewContent& content);

private:
    QLabel* addLabel(const CardText& text);
    void showPhoto(const CardViewContent& content);

    QLabel* Image4 = nullptr;
    QWidget* PhotoPanel = nullptr;
    QLabel* PhotoImage = nullptr;
    std::map<std::string, QLabel*> m_labels; // the data labels and Label1, by control name
};
