#pragma once
// The settings dialog without a toolkit: the port list and the current-mode
// text of each showing, the interval field's key filter and limit, and the
// confirm steps, which write through the settings file and load it back into
// the shared reader state.

#include <string>
#include <vector>

struct PortEntry
{
    std::string name; // 自动, USB, COM03, COM12 ...
    int port;         // the setting's value: 0, 1001 or n
};

struct SettingsView
{
    std::vector<PortEntry> ports; // PortCbx, in order
    int selected = 0;             // index into ports
    std::string current;          // CurLb
    std::string sleep;            // SleepEdit
    int sleepMaxLength = 3; // the field's limit: 3, or longer for a longer value from the file
    std::string error;      // why the last confirm could not save; empty otherwise
};

class SettingsModel
{
public:
    const SettingsView& view() const { return m_view; }

    // Each showing: the port list anew, the port setting selected and named
    // in CurLb, the interval from the file.
    void FormShow();

    // The operator chose an entry of PortCbx (even the one already shown).
    void portChosen(int index);

    // Whether a character typed into SleepEdit may reach the field: digits,
    // Backspace (8), Enter (13) and DEL (127).
    static bool SleepEditKeyPress(char32_t key);

    // The field's limit after its text changed: three characters for typing,
    // but never shorter than a longer value already there.
    static int sleepMaxLengthFor(const std::string& text);

    // 确定 with the interval field's text (UTF-8): reads the port set so far,
    // writes Port and Sleep, loads both back into ReadSleep and SetPortNo,
    // clears LastMsgCode when the port setting changed. True when the dialog
    // is to close, with CardHandled and DeviceOK cleared so the reader is
    // opened afresh; false when the settings could not be saved, and
    // view().error then says so while the dialog stays open.
    bool OkBtnClick(const std::string& sleepText);

    // The serial ports present, as PortCbx lists them: COM3 becomes COM03,
    // names that are not COM and a usable number are left out, and the rest
    // is sorted without regard to letter case.
    static std::vector<std::string> ListSerialPorts();

private:
    SettingsView m_view;
    int m_configuredPort = 0;  // the Port setting as this showing found it
    bool m_portChosen = false; // the operator picked an entry since the showing
};
