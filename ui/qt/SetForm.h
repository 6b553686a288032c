#pragma once
// The settings dialog: reader port and read interval. Every showing reloads
// the port list and both fields; confirming writes the settings file and loads
// it back into the shared reader state, so the reading thread reopens the
// reader with what the file now holds.

#include <QDialog>
#include <QStringList>

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

    // The serial ports present, as the port list shows them: four-character
    // names become "COM0" plus their last character (COM3 -> COM03), names
    // that are not "COM" and a usable port number are left out, and the rest
    // is sorted without regard to letter case. Empty when the system's list
    // cannot be read.
    static void ListSerialPorts(QStringList& names);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    // True when the character typed into SleepEdit may reach the field.
    static bool SleepEditKeyPress(QChar key);
    void OkBtnClick();
    void ExitBtnClick();
    void keepLengthLimit();

    QGroupBox* m_groupBox1 = nullptr;
    QLabel* m_label1 = nullptr;
    QComboBox* m_portCbx = nullptr;
    QLabel* m_label4 = nullptr;
    QLabel* m_curLb = nullptr;
    QLabel* m_label3 = nullptr;
    QLineEdit* m_sleepEdit = nullptr;
    QLabel* m_label5 = nullptr;
    QFrame* m_panel1 = nullptr;
    QPushButton* m_okBtn = nullptr;
    QPushButton* m_exitBtn = nullptr;
};
