#pragma once
// What the main window shows and how it answers its buttons, its statuses and
// its closing, without any toolkit: each front-end feeds events in, carries
// out the steps it is told to (pauses, message pumping, stopping the thread)
// and renders MainView.

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
    // the idle texts. The front-end creates and starts the reading thread
    // after this.
    void FormCreate();

    void btn_OneReadCardClick();

    // The continuous-read button. Starting does everything at once and
    // returns false. Stopping returns true after clearing ReadMode: the
    // front-end then pauses 500 ms, handles the messages pending (statuses
    // the reading thread is waiting to deliver) and calls finishStopping().
    bool btn_CycleReadCardClick();
    void finishStopping();

    // A status from the reading thread. True when the card view must be
    // filled from the card record (ShowCardInfo with kCardViewSelector).
    // A repeated status, or one from reading that was stopped or replaced
    // since its pass began, changes nothing.
    bool WMReadState(int status);

    // Closing: clears ReadMode. The front-end then terminates the reading
    // thread and, when this returns true, pauses 1000 ms before ending.
    bool FormClose();

private:
    void clearCardView();

    MainView m_view;
    bool m_libraryLoaded;
    std::string m_libraryText;
};

// The information line's text when the reader library could not be loaded:
// which file, and where it was looked for (UTF-8).
std::string LibraryLoadFailureText(const TermbLibrary& library);
