#pragma once
// The main window's whole behaviour over the front-end's few duties: the
// front-end implements MainWindowHost (put the view on screen, show a card's
// content, pause), hands its events to MainController, and delivers the
// reading thread's statuses to WMReadState on its own thread. Everything
// else, the reading thread, the repeat filter, the stop and close steps and
// the card view's content, is here.

#include <atomic>
#include <functional>
#include <memory>

#include "present/card_view_model.h"
#include "present/main_presenter.h"
#include "present/status_repeats.h"
#include "reader/termb_loader.h"

class TReadThread;

// Whether the statuses the reading thread is waiting to hand over are handled
// during a pause.
enum class PendingStatuses {
    Deliver, // handled before the pause ends (stopping continuous reading)
    Hold,    // left waiting (closing: they are dropped anyway)
};

// The two fixed pauses of the window's thread.
inline constexpr int kStopPauseMs = 500;
inline constexpr int kClosePauseMs = 1000;

// What a front-end does for the main window.
class MainWindowHost
{
public:
    // Puts the main window's controls in the state `view` gives.
    virtual void render(const MainView& view) = 0;
    // Shows `content` in p_IDCardInfo: its face, every control as listed
    // (hidden ones hidden), and its photo.
    virtual void ShowCardInfo(const CardViewContent& content) = 0;
    // Holds the window's thread for `milliseconds`, then handles the pending
    // statuses or not.
    virtual void pause(int milliseconds, PendingStatuses pending) = 0;

protected:
    ~MainWindowHost() = default;
};

// Hands a status to the window's thread and returns once the window has
// handled it (a blocking queued call, SendMessage). It must stay safe to call
// after the window is gone: the reading thread may outlive it.
using StatusDelivery = std::function<void(int status)>;

class MainController
{
public:
    // `library` drives the reading thread; with `missing`, it stands in for
    // that library, which could not be loaded, and the information line says
    // so.
    MainController(MainWindowHost& host, const TermbLibrary& library,
                   const TermbLibrary* missing = nullptr);
    // Drops every later status and asks the reading thread to end; never
    // waits for it.
    ~MainController();
    MainController(const MainController&) = delete;
    MainController& operator=(const MainController&) = delete;

    const MainView& view() const { return m_presenter.view(); }

    // Window creation: the settings and the idle texts, rendered, and the
    // reading thread created suspended, its statuses going through `deliver`.
    void FormCreate(StatusDelivery deliver);
    // Starts the reading thread.
    void Resume();

    // The reading thread's status target: drops statuses once closing has
    // begun and spares the window the repeats it would ignore.
    std::function<void(int)> statusTarget() const;

    void btn_OneReadCardClick();
    void btn_CycleReadCardClick();
    // A delivered status, on the window's thread.
    void WMReadState(int status);
    // The card record the reading thread filled, to the card view.
    void ShowCardInfo(int selector);
    // Closing: ends reading, asks the thread to end and pauses while a pass
    // may still run. The front-end then destroys its window.
    void FormClose();

private:
    // Shared with the status target, which the reading thread may hold after
    // the window is gone.
    struct StatusGate
    {
        std::atomic<bool> closing{false};
        StatusRepeats repeats; // used on the reading thread only
        StatusDelivery deliver;
    };

    MainWindowHost& m_host;
    MainPresenter m_presenter;
    TermbApi m_api;
    std::shared_ptr<StatusGate> m_gate;
    std::unique_ptr<TReadThread> ReadThread;
    bool m_closing = false;
};
