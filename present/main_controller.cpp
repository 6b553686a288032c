#include "present/main_controller.h"

#include "reader/read_thread.h"
#include "state/shared_state.h"

MainController::MainController(MainWindowHost& host, const TermbLibrary& library,
                               const TermbLibrary* missing)
    : m_host(host), m_presenter(library), m_api(library.api), m_gate(std::make_shared<StatusGate>())
{
    if (missing)
        m_presenter.standIn(*missing);
}

MainController::~MainController()
{
    m_gate->closing = true;
    if (ReadThread)
        ReadThread->Terminate();
}

void MainController::FormCreate(StatusDelivery deliver)
{
    m_presenter.FormCreate();
    m_gate->deliver = std::move(deliver);
    ReadThread = std::make_unique<TReadThread>(m_api);
    ReadThread->OwnerWnd = statusTarget();
    m_host.render(view());
}

void MainController::Resume()
{
    ReadThread->Resume();
}

std::function<void(int)> MainController::statusTarget() const
{
    // Holds the gate, not the controller: a status that comes after the
    // window is gone is dropped or meets a delivery that is safe by then.
    return [gate = m_gate](int status) {
        if (!gate->closing && !gate->repeats.spare(status))
            gate->deliver(status);
    };
}

void MainController::btn_OneReadCardClick()
{
    m_presenter.btn_OneReadCardClick();
    m_host.render(view());
}

void MainController::btn_CycleReadCardClick()
{
    if (m_presenter.btn_CycleReadCardClick() == CycleClick::Stopping) {
        // Statuses the reading thread is still waiting to deliver are handled
        // now, so none of them lands after the idle texts.
        m_host.pause(kStopPauseMs, PendingStatuses::Deliver);
        m_presenter.finishStopping();
    }
    m_host.render(view());
}

void MainController::WMReadState(int status)
{
    if (m_closing)
        return;
    switch (m_presenter.WMReadState(status)) {
    case StatusEffect::Ignored:
        return;
    case StatusEffect::CardToShow:
        ShowCardInfo(kCardViewSelector);
        break;
    case StatusEffect::ViewChanged:
        break;
    }
    m_host.render(view());
}

void MainController::ShowCardInfo(int selector)
{
    // The reading thread waits in its status call meanwhile: the card record
    // and the bitmap are this card's own.
    m_host.ShowCardInfo(
        CardViewFor(CardInfo, CardKindInfo, selector, CardPhoto.bitmap, CardPhoto.length));
}

void MainController::FormClose()
{
    if (m_closing)
        return;
    m_closing = true;
    // From here on statuses are dropped instead of waiting for a window that
    // is going away; a reading pass that is still running ends on its own.
    m_gate->closing = true;
    const CloseStep step = m_presenter.FormClose();
    ReadThread->Terminate();
    if (step == CloseStep::AfterReadPause)
        m_host.pause(kClosePauseMs, PendingStatuses::Hold); // a running pass may finish
}
