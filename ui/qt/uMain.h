#pragma once
// The main window: the read buttons, the information line, the card view and
// the status bar. It owns the reading thread, tells it what to do only through
// the shared reader state, and learns what happened only through the status
// codes it delivers.

#include <QIcon>
#include <QObject>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "present/main_controller.h"
#include "reader/termb_loader.h"
#include "ui/qt/fonts.h"

class CardView;
class QDialog;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;

// Carries statuses from the reading thread to the main window. It outlives
// the window for as long as the thread holds its status target, so a late
// status after the window is gone finds no connection instead of a dangling
// pointer.
class StatusRelay : public QObject
{
    Q_OBJECT
signals:
    void readState(int status);
};

class Tform_Main : public QWidget, private MainWindowHost
{
    Q_OBJECT
public:
    // `library` is the reader library in use (its function table drives the
    // reading thread; a failed load is reported in the information line).
    // Without `startReading` the thread is created but never started: tests
    // deliver statuses themselves. With `missing`, the library stands in for
    // that one, which could not be loaded.
    explicit Tform_Main(const TermbLibrary& library, bool startReading = true,
                        QWidget* parent = nullptr, const TermbLibrary* missing = nullptr);
    ~Tform_Main() override;

    // The about box and the settings dialog, shown modally by the buttons.
    void setDialogs(QDialog* about, QDialog* settings);

    // The reading thread's status target: returns once the status has been
    // handled on this window's thread. Does nothing once closing has begun.
    std::function<void(int)> statusTarget() const;

    void WMReadState(int status);
    void ShowCardInfo(int selector);

    void btn_OneReadCardClick();
    void btn_CycleReadCardClick();
    void SetBtnClick();
    void btn_ConfigClick();

    // The two glyphs of the continuous-read button: 0 start, 1 stop.
    const std::array<QIcon, 2>& actionStatusIcons() const { return il_ActionStatus; }

signals:
    // Emitted after every handler that may have changed what the window shows.
    void viewChanged();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildLayout();
    // MainWindowHost: what the presentation layer decided, on screen.
    void render(const MainView& v) override;
    void ShowCardInfo(const CardViewContent& content) override;
    void pause(int milliseconds, PendingStatuses pending) override;

    std::shared_ptr<StatusRelay> m_statusRelay;
    MainController m_controller;
    int m_shownGlyph = -1;
    bool m_centred = false;
    QDialog* m_about = nullptr;
    QDialog* m_settings = nullptr;

    std::array<QIcon, 2> il_ActionStatus;

    QFrame* Panel2 = nullptr;
    QLabel* Image1 = nullptr;
    QFrame* Panel3 = nullptr;
    QLabel* Image2 = nullptr;
    QFrame* Panel9 = nullptr;
    QPushButton* SetBtn = nullptr;
    QPushButton* btn_Config = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QPushButton* btn_OneReadCard = nullptr;
    QPushButton* btn_CycleReadCard = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QStackedWidget* pc_Page = nullptr;
    QWidget* ts_Device = nullptr;
    QWidget* ts_NoDevice = nullptr;
    QLabel* i_bg1 = nullptr;
    QLabel* i_bg2 = nullptr;
    QLabel* i_bg3 = nullptr;
    QLabel* i_HasCard = nullptr;
    CardView* p_IDCardInfo = nullptr;
    QLabel* l_Info = nullptr;
    QFrame* sb_Status = nullptr;
    QLabel* StatusPanel0 = nullptr;
    QLabel* StatusPanel1 = nullptr;
    QFrame* StatusPanel2 = nullptr;
    QLineEdit* SamIdEdit = nullptr;
};

// Creates the program's three windows in their order: the main window, the
// about box and the settings dialog, both dialogs hidden and parented to the
// main window so they centre on it and live as long as it. Never freed: the
// process ends with them, and the reading thread may still use its status
// target until the very end.
Tform_Main* CreateWindows(const TermbLibrary& library, const TermbLibrary* missing = nullptr);
