#pragma once
// The settings dialog: reader port and read interval. It renders the
// settings model of the presentation layer, which rebuilds the port list and
// both fields on every showing and, on confirm, writes the settings file and
// loads it back into the shared reader state.

#include <QDialog>

#include "present/settings_model.h"

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TSetFrm : public QDialog
{
    Q_OBJECT
public:
    explicit TSetFrm(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void OkBtnClick();
    void ExitBtnClick();
    void keepLengthLimit();
    void showError();

    SettingsModel m_model;
    bool m_labelsSized = false;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* PortCbx = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* CurLb = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* SleepEdit = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* m_saveError = nullptr;
    QFrame* Panel1 = nullptr;
    QPushButton* OkBtn = nullptr;
    QPushButton* ExitBtn = nullptr;
};
