#include "ui/qt/SetForm.h"
#include "ui/qt/qt_text.h"

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "present/layout.h"
#include "present/texts.h"

namespace {

QLabel* makeLabel(const char* name, std::string_view text, QWidget* parent,
                  const UiLayout::Rect& place)
{
    auto* label = new QLabel(QStringOf(text), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(place.x, place.y);
    return label;
}

QPushButton* makeButton(const char* name, std::string_view text, QWidget* parent,
                        const UiLayout::Rect& place)
{
    auto* button = new QPushButton(QStringOf(text), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(place.x, place.y, place.width, place.height);
    // Neither button answers Enter or Escape on the dialog's behalf.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace

TSetFrm::TSetFrm(QWidget* parent) : QDialog(parent)
{
    using namespace UiLayout;
    setObjectName(QStringLiteral("SetFrm"));
    setWindowTitle(QStringOf(UiText::kSettingsCaption));
    QFont formFont(QString::fromUtf8(kSongFont.family));
    formFont.setPixelSize(kSongFont.pixelSize);
    setFont(formFont);
    QFont smallFont = formFont;
    smallFont.setPixelSize(kSmallSongFont.pixelSize);

    // The whole form in one place: the group box takes what the panel's 45
    // pixels at the bottom leave; controls sit at fixed places inside each.
    GroupBox1 = new QGroupBox(QStringOf(UiText::kSettingsBox), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Label1 = makeLabel("Label1", UiText::kPortLabel, GroupBox1, kPortLabel);
    PortCbx = new QComboBox(GroupBox1);
    PortCbx->setObjectName(QStringLiteral("PortCbx"));
    PortCbx->setEditable(false);
    PortCbx->setGeometry(kPortCbx.x, kPortCbx.y, kPortCbx.width, kPortCbx.height);
    Label4 = new QLabel(QStringOf(UiText::kCurrentLabel), GroupBox1);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setFont(smallFont);
    Label4->move(kCurrentLabel.x, kCurrentLabel.y);
    CurLb = new QLabel(GroupBox1);
    CurLb->setObjectName(QStringLiteral("CurLb"));
    CurLb->setFont(smallFont);
    CurLb->move(kCurLb.x, kCurLb.y);
    Label3 = makeLabel("Label3", UiText::kSleepLabel, GroupBox1, kSleepLabel);
    SleepEdit = new QLineEdit(GroupBox1);
    SleepEdit->setObjectName(QStringLiteral("SleepEdit"));
    SleepEdit->setGeometry(kSleepEdit.x, kSleepEdit.y, kSleepEdit.width, kSleepEdit.height);
    SleepEdit->setMaxLength(kSleepTypedLength);
    // Digits are all the field takes, so an input method has nothing to add;
    // without one every character arrives as a key press and meets the filter.
    SleepEdit->setAttribute(Qt::WA_InputMethodEnabled, false);
    SleepEdit->installEventFilter(this);
    Label5 = makeLabel("Label5", UiText::kSleepUnit, GroupBox1, kSleepUnit);
    m_saveError = new QLabel(GroupBox1);
    m_saveError->setObjectName(QStringLiteral("SaveError"));
    m_saveError->setFont(smallFont);
    m_saveError->setGeometry(kSaveError.x, kSaveError.y, kSaveError.width, kSaveError.height);
    QPalette errorPalette = m_saveError->palette();
    errorPalette.setColor(QPalette::WindowText, QColor(255, 0, 0));
    m_saveError->setPalette(errorPalette);
    m_saveError->hide();

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setFixedHeight(kSettingsPanel.height);
    OkBtn = makeButton("OkBtn", UiText::kOkBtn, Panel1, kOkBtn);
    ExitBtn = makeButton("ExitBtn", UiText::kExitBtn, Panel1, kExitBtn);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(GroupBox1, 1);
    layout->addWidget(Panel1);
    resize(kSettingsWidth, kSettingsHeight);

    setTabOrder(PortCbx, SleepEdit);
    setTabOrder(SleepEdit, OkBtn);
    setTabOrder(OkBtn, ExitBtn);

    connect(OkBtn, &QPushButton::clicked, this, &TSetFrm::OkBtnClick);
    connect(ExitBtn, &QPushButton::clicked, this, &TSetFrm::ExitBtnClick);
    connect(SleepEdit, &QLineEdit::textChanged, this, &TSetFrm::keepLengthLimit);
    // Only the operator's own choice counts: a configured port that is not
    // present shows 自动 without choosing it.
    connect(PortCbx, qOverload<int>(&QComboBox::activated), this,
            [this](int index) { m_model.portChosen(index); });
}

void TSetFrm::showEvent(QShowEvent* event)
{
    // Centred on the main window on every showing, wherever it was before.
    setAttribute(Qt::WA_Moved, false);
    // The fixed labels are sized to their texts when first shown, not at
    // start: measuring them loads the dialog's small font, which nothing
    // shown at start uses. FormShow sizes CurLb, whose text it sets.
    if (!m_labelsSized) {
        m_labelsSized = true;
        for (QLabel* label : {Label1, Label3, Label4, Label5})
            label->adjustSize();
    }
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TSetFrm::FormShow()
{
    m_model.FormShow();
    const SettingsView& v = m_model.view();
    PortCbx->clear();
    for (const PortEntry& entry : v.ports)
        PortCbx->addItem(QString::fromStdString(entry.name), entry.port);
    PortCbx->setCurrentIndex(v.selected);
    CurLb->setText(QString::fromStdString(v.current));
    CurLb->adjustSize();
    SleepEdit->setMaxLength(v.sleepMaxLength);
    SleepEdit->setText(QString::fromStdString(v.sleep));
    showError();
}

// The field's limit works like an edit control's text limit: typing and
// pasting cannot make the text longer than three characters, but a longer
// value put there by FormShow stays whole until the operator shortens it.
void TSetFrm::keepLengthLimit()
{
    const int limit = SettingsModel::sleepMaxLengthFor(SleepEdit->text().toStdString());
    if (SleepEdit->maxLength() == limit)
        return;
    const int cursor = SleepEdit->cursorPosition();
    SleepEdit->setMaxLength(limit);
    SleepEdit->setCursorPosition(cursor);
}

bool TSetFrm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == SleepEdit && event->type() == QEvent::KeyPress) {
        // Keys that type nothing (arrows, Home, Shift) pass; a key that types
        // a character passes only when the character does. Control-key
        // combinations type control characters and are discarded like any
        // other, as the edit field has always done.
        const QString typed = static_cast<QKeyEvent*>(event)->text();
        if (!typed.isEmpty() &&
            !(typed.size() == 1 && SettingsModel::SleepEditKeyPress(typed.at(0).unicode())))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TSetFrm::keyPressEvent(QKeyEvent* event)
{
    // The dialog has no default and no cancel button: Escape does nothing,
    // and Enter only presses the button that has the focus, as push buttons
    // do on the operator's desktop.
    switch (event->key()) {
    case Qt::Key_Escape:
        event->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (auto* button = qobject_cast<QPushButton*>(focusWidget());
            button && (button == OkBtn || button == ExitBtn))
            button->click();
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void TSetFrm::OkBtnClick()
{
    // A selection changed in any way counts as the operator's choice.
    if (PortCbx->currentIndex() != m_model.view().selected)
        m_model.portChosen(PortCbx->currentIndex());
    if (m_model.OkBtnClick(SleepEdit->text().toStdString()))
        accept();
    else
        showError();
}

void TSetFrm::showError()
{
    const std::string& error = m_model.view().error;
    m_saveError->setText(QString::fromStdString(error));
    m_saveError->setVisible(!error.empty());
}

void TSetFrm::ExitBtnClick()
{
    reject();
}
