#pragma once
// The card view: the panel p_IDCardInfo, drawn as the face of the card last
// read (an ID card, a foreign permanent resident card, a residence permit, or
// a plain face for a kind it does not lay out) with its data laid over it,
// the holder's photo with its background cut away, and the fingerprint line.
// It renders the content the presentation layer works out.

#include <QPixmap>
#include <QWidget>
#include <map>
#include <string>

#include "present/card_view_model.h"

class QLabel;

class CardView : public QWidget
{
    Q_OBJECT
public:
    explicit CardView(QWidget* parent = nullptr);

    // Shows the content's face, sets every text at its place and hides the
    // labels the content leaves out, decodes the photo (any failure leaves
    // it hidden) and shows the panel.
    void ShowCardInfo(const CardViewContent& content);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* addLabel(const CardText& text);
    void place(QLabel* label, const CardText& text);
    void showFace(CardFace face);
    QPixmap& faceFor(CardFace face);
    void drawFaceAhead();
    void showPhoto(const CardViewContent& content);

    QLabel* Image4 = nullptr;
    QWidget* PhotoPanel = nullptr;
    QLabel* PhotoImage = nullptr;
    bool m_faceDrawn = false;                // Image4 holds m_face's picture
    std::map<std::string, QLabel*> m_labels; // the data labels and Label1, by control name
    std::map<CardFace, QPixmap> m_faces;     // each face's picture, drawn when first needed
    bool m_facesAhead = false;               // the other faces are being drawn ahead
    CardFace m_face = CardFace::IdCard;      // the face in Image4
};
