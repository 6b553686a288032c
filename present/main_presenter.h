#pragma once
// What the main window shows and how it answers its buttons, its statuses and
// its closing, without any toolkit. Each answer is a value; MainController
// (main_controller.h) carries them out through the front-end's host.

#include <string>

#include "reader/termb_loader.h"

struct MainView
{
    std::string caption;           // the window's title
    std::string info;              // l_Info
    bool statusBarVisible = false; // sb_Status
    std::string portText;          // StatusPanel0
    std::string samCaption;        // StatusPanel1
    std::string samId;             // SamIdEdit
    bool cardVisible = false;      // p_IDCardInfo
    bool hasCardVisible = false;   // i_HasCard: never shown
    std::string cycleCaption;      // btn_CycleReadCard
    int cycleGlyph = 0;            // image of il_ActionStatus on btn_CycleReadCard: 0 start, 1 stop
    bool oneReadEnabled = true;    // btn_OneReadCard
};

// What a status did to the main window.
enum class StatusEffect {
    Ignored,     // a repeat, or from reading that was stopped or replaced: nothing changes
    ViewChanged, // MainView changed
    CardToShow,  // MainView changed, and the card view is to show the card record
};

// What a click on the continuous-read button asks for.
enum class CycleClick {
    Started,  // continuous reading runs
    Stopping, // ReadMode cleared: pause, deliver the statuses pending, then finishStopping()
};

// What closing asks for.
enum class CloseStep {
    Now,            // nothing was being read
    AfterReadPause, // a read pass may still run: pause before ending
};

// The main window's decisions on the shared reader state, as values. The
// main window's controller (MainController) drives them; tests call them
// directly.
class MainPresenter
{
public:
    // The caption marks the virtual reader; the information line says when
    // the reader library could not be used.
    explicit MainPresenter(const TermbLibrary& library);

    const MainView& view() const { return m_view; }

    // The program stands in the virtual reader because the reader library
    // could not be loaded (`missing` says from where): the information line
    // says so at start, as it would without any reader, while the caption
    // marks the virtual reader. Call before FormCreate.
    void standIn(const TermbLibrary& missing);

    // Window creation: the shared reader state from the settings file and
    // the idle texts.
    void FormCreate();

    void btn_OneReadCardClick();
    CycleClick btn_CycleReadCardClick();
    void finishStopping();

    // A status from the reading thread. A repeated status, or one from
    // reading that was stopped or replaced since its pass began, changes
    // nothing.
    StatusEffect WMReadState(int status);

    // Closing: clears ReadMode.
    CloseStep FormClose();

private:
    void clearCardView();

    MainView m_view;
    // No library at all: every reader call fails as an absent reader's, so
    // a read's "no reader" is the library's failure, and says so.
    bool m_readerAbsent;
    bool m_libraryLoaded; // false too while the virtual reader stands in
    std::string m_libraryText;
};

// The information line's text when the reader library could not be loaded:
// which file, where it was looked for, and why when its header tells
// (UTF-8).
std::string LibraryLoadFailureText(const TermbLibrary& library);
