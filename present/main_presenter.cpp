#include "present/main_presenter.h"

#include <string_view>
#include <vector>

#include "card/gbk.h"
#include "present/texts.h"
#include "reader/read_thread.h"
#include "state/settings.h"
#include "state/shared_state.h"

namespace {

std::string text(std::string_view t)
{
    return std::string(t);
}

// "%1" and "%2" in `pattern` replaced by `a` and `b`.
std::string fill(std::string_view pattern, const std::string& a, const std::string& b = {})
{
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() &&
            (pattern[i + 1] == '1' || pattern[i + 1] == '2')) {
            out += pattern[i + 1] == '1' ? a : b;
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

std::string fileNameOf(const std::string& path)
{
    const auto cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string architectureText(const LibraryArchitecture& a)
{
    return a.bits ? fill(UiText::kArchitecture, std::to_string(a.bits), a.machine) : a.machine;
}

// Why the file did not load, as its header tells; empty when it does not.
std::string reasonText(const TermbLibrary& library)
{
    if (library.failure != TermbLoadFailure::NotLoadable)
        return {};
    switch (library.fileCheck.problem) {
    case LibraryFileProblem::Empty:
        return text(UiText::kLibraryEmptyFile);
    case LibraryFileProblem::NotALibrary:
        return text(UiText::kLibraryNotALibrary);
    case LibraryFileProblem::OtherArchitecture:
        return fill(UiText::kLibraryOtherArchitecture, architectureText(library.fileCheck.file),
                    architectureText(ProgramArchitecture()));
    case LibraryFileProblem::Unknown:
        break;
    }
    return {};
}

} // namespace

std::string LibraryLoadFailureText(const TermbLibrary& library)
{
    const std::string file = library.path.empty() ? TermbFileName() : fileNameOf(library.path);
    if (library.failure == TermbLoadFailure::MissingFunctions) {
        std::string names;
        for (const std::string& name : library.missing)
            names += (names.empty() ? "" : ", ") + name;
        return fill(UiText::kLibraryMissingFunctions, file, names);
    }
    std::vector<std::string> places;
    for (const std::string& tried : library.tried) {
        const auto cut = tried.find_last_of("/\\");
        const std::string place = cut == std::string::npos ? text(UiText::kSystemLibraryPath)
                                                           : tried.substr(0, cut == 0 ? 1 : cut);
        bool known = false;
        for (const std::string& p : places)
            known = known || p == place;
        if (!known)
            places.push_back(place);
    }
    // The reason right after the file, before the places, which may be long
    // enough to wrap past what the information line shows.
    const std::string reason = reasonText(library);
    const std::string what =
        reason.empty() ? file : file + text(UiText::kLibraryReasonSeparator) + reason;
    if (places.empty())
        return fill(UiText::kLibraryNotLoaded, what);
    std::string where;
    for (const std::string& place : places)
        where += (where.empty() ? "" : text(UiText::kLibraryPlaceSeparator)) + place;
    return fill(UiText::kLibraryNotLoadedWhere, what, where);
}

MainPresenter::MainPresenter(const TermbLibrary& library)
    : m_readerAbsent(!library.loaded), m_libraryLoaded(library.loaded),
      m_libraryText(library.loaded ? std::string() : LibraryLoadFailureText(library))
{
    m_view.caption = text(UiText::kMainCaption);
    if (library.isVirtual)
        m_view.caption += UiText::kVirtualMark;
    m_view.cycleCaption = text(UiText::kCycleStart);
}

void MainPresenter::standIn(const TermbLibrary& missing)
{
    m_libraryLoaded = false;
    m_libraryText = LibraryLoadFailureText(missing);
}

void MainPresenter::FormCreate()
{
    PortNo = kUsbPort;
    ReadMode = kReadIdle;
    LoadSettings();
    m_view.cycleGlyph = 0;
    if (!m_libraryLoaded)
        m_view.info = m_libraryText;
    else if (ReaderHostingInUse() == ReaderHostingResult::HostMissing)
        m_view.info = text(UiText::kReaderHostMissing);
    else
        m_view.info = text(UiText::kChooseMode);
}

void MainPresenter::btn_OneReadCardClick()
{
    ResetLastMsgCode();
    ReadMode = kReadOnce;
}

CycleClick MainPresenter::btn_CycleReadCardClick()
{
    if (m_view.cycleCaption == UiText::kCycleStop) {
        ReadMode = kReadIdle;
        return CycleClick::Stopping;
    }
    m_view.info.clear();
    clearCardView();
    m_view.cycleCaption = text(UiText::kCycleStop);
    m_view.cycleGlyph = 1;
    m_view.oneReadEnabled = false;
    m_view.statusBarVisible = false;
    ReadMode = kReadContinuous;
    ResetLastMsgCode();
    return CycleClick::Started;
}

void MainPresenter::finishStopping()
{
    // From here on, whatever a pass of the stopped reading still reports
    // belongs to reading that is over: the count tells its statuses apart.
    ++StopCount;
    m_view.cycleCaption = text(UiText::kCycleStart);
    m_view.cycleGlyph = 0;
    m_view.oneReadEnabled = true;
    clearCardView();
    m_view.statusBarVisible = false;
    m_view.info = m_readerAbsent ? m_libraryText : text(UiText::kChooseMode);
}

StatusEffect MainPresenter::WMReadState(int status)
{
    if (PassStopCount != StopCount)
        return StatusEffect::Ignored;
    if (status == LastMsgCode)
        return StatusEffect::Ignored;
    LastMsgCode = status;
    switch (status) {
    case RS_DEVICE_FOUND: {
        clearCardView();
        m_view.samCaption = text(UiText::kSamIdCaption);
        const int port = PortNo;
        m_view.portText =
            text(port == kUsbPort ? UiText::kPortUsb : UiText::kPortCom) + std::to_string(port);
        m_view.samId = GbkToUtf8(SamIdText());
        m_view.statusBarVisible = true;
        m_view.info = text(UiText::kPlaceCard);
        return StatusEffect::ViewChanged;
    }
    case RS_NO_DEVICE: {
        clearCardView();
        m_view.statusBarVisible = false;
        const int fixedPort = SetPortNo;
        // Without a library no reader can answer: the library is what to fix.
        if (m_readerAbsent)
            m_view.info = m_libraryText;
        else if (fixedPort == kAutoPort)
            m_view.info = text(UiText::kNoDevice);
        else
            m_view.info = text(fixedPort == kUsbPort ? UiText::kNoDeviceFixedUsb
                                                     : UiText::kNoDeviceFixedCom) +
                          std::to_string(fixedPort) + text(UiText::kNoDeviceFixedEnd);
        return StatusEffect::ViewChanged;
    }
    case RS_CARD_READ:
        m_view.info = text(UiText::kCardRead);
        m_view.cardVisible = true;
        return StatusEffect::CardToShow;
    case RS_LIBRARY_CRASHED:
    case RS_LIBRARY_HUNG:
        // The reader counts as not found until the next pass opens it anew.
        clearCardView();
        m_view.statusBarVisible = false;
        m_view.info =
            text(status == RS_LIBRARY_HUNG ? UiText::kLibraryHung : UiText::kLibraryCrashed) +
            ReaderFaultFunction.str();
        return StatusEffect::ViewChanged;
    case RS_CARD_LOST:
    case RS_NO_CARD:
        clearCardView();
        m_view.info = text(UiText::kPlaceCard);
        return StatusEffect::ViewChanged;
    default:
        // An unknown code is still the one last handled: its repeat is one.
        return StatusEffect::ViewChanged;
    }
}

CloseStep MainPresenter::FormClose()
{
    return ReadMode.exchange(kReadIdle) != kReadIdle ? CloseStep::AfterReadPause : CloseStep::Now;
}

void MainPresenter::clearCardView()
{
    m_view.hasCardVisible = false;
    m_view.cardVisible = false;
    m_view.info.clear();
    LastIDCardNo.clear();
}
