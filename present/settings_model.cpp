#include "present/settings_model.h"

#include <algorithm>

#include "base/text.h"
#include "card/gbk.h"
#include "config/config.h"
#include "present/layout.h"
#include "present/texts.h"
#include "reader/serial_ports.h"
#include "state/settings.h"
#include "state/shared_state.h"

namespace {

// The port number a listed name stands for, or 0 when the name is not "COM"
// and a decimal number. 0 and 1001 already mean automatic search and USB in
// the settings, so a serial port with such a number cannot be told apart and
// is not offered.
int portOfName(const std::string& name)
{
    if (name.size() <= 3 || (name[0] != 'C' && name[0] != 'c') ||
        (name[1] != 'O' && name[1] != 'o') || (name[2] != 'M' && name[2] != 'm'))
        return 0;
    const std::string digits = name.substr(3);
    if (!std::all_of(digits.begin(), digits.end(),
                     [](unsigned char c) { return c >= '0' && c <= '9'; }))
        return 0;
    std::int32_t port = 0;
    if (!ParseInt32(digits, port) || port <= 0 || port == kUsbPort)
        return 0;
    return port;
}

// The name the port list gives a serial port: below 10 (negative numbers
// too) with a 0 after COM, as COM03 and COM0-5.
std::string comName(std::int32_t port)
{
    return (port < 10 ? "COM0" : "COM") + std::to_string(port);
}

} // namespace

std::vector<std::string> SettingsModel::ListSerialPorts()
{
    std::vector<std::string> system;
    std::vector<std::string> listed;
    if (!SystemSerialPortNames(system))
        return listed;
    for (std::string name : system) {
        if (name.size() == 4)
            name = "COM0" + name.substr(3);
        if (portOfName(name) != 0)
            listed.push_back(name);
    }
    // Plain character order without letter case: COM100 comes between COM10
    // and COM11, as the operator has always seen it.
    std::stable_sort(listed.begin(), listed.end(), LessIgnoringCase);
    return listed;
}

void SettingsModel::FormShow()
{
    m_view = SettingsView{};
    m_view.ports.push_back({std::string(UiText::kPortAuto), kAutoPort});
    m_view.ports.push_back({std::string(UiText::kPortUsbEntry), kUsbPort});
    for (const std::string& name : ListSerialPorts())
        m_view.ports.push_back({name, portOfName(name)});

    m_configuredPort = ReadPortSetting();
    m_portChosen = false;
    bool matched = true;
    std::string formed;
    if (m_configuredPort == kAutoPort) {
        m_view.selected = 0;
    } else if (m_configuredPort == kUsbPort) {
        m_view.selected = 1;
    } else {
        formed = comName(m_configuredPort);
        const auto found =
            std::find_if(m_view.ports.begin(), m_view.ports.end(),
                         [&](const PortEntry& e) { return EqualIgnoringCase(e.name, formed); });
        if (found != m_view.ports.end()) {
            m_view.selected = static_cast<int>(found - m_view.ports.begin());
        } else {
            m_view.selected = 0;
            matched = false;
        }
    }
    m_view.current = matched ? m_view.ports[static_cast<std::size_t>(m_view.selected)].name
                             : formed + std::string(UiText::kNoSuchPort);

    const std::string sleep = std::to_string(ReadSleepSetting());
    m_view.sleepMaxLength = sleepMaxLengthFor(sleep);
    m_view.sleep = sleep;
}

void SettingsModel::portChosen(int index)
{
    if (index >= 0 && index < static_cast<int>(m_view.ports.size())) {
        m_view.selected = index;
        m_portChosen = true;
    }
}

bool SettingsModel::SleepEditKeyPress(char32_t key)
{
    return (key >= U'0' && key <= U'9') || key == 8 || key == 13 || key == 127;
}

int SettingsModel::sleepMaxLengthFor(const std::string& text)
{
    return std::max<int>(UiLayout::kSleepTypedLength, static_cast<int>(text.size()));
}

bool SettingsModel::OkBtnClick(const std::string& sleepText)
{
    const std::int32_t oldPort = ReadPortSetting();
    // A configured port that is not present shows 自动 selected; unless the
    // operator chose an entry, the setting stays as it was.
    const bool keepPort = !m_portChosen && m_view.selected == 0 && m_configuredPort != kAutoPort;
    const std::int32_t port =
        keepPort ? m_configuredPort : m_view.ports[static_cast<std::size_t>(m_view.selected)].port;
    bool saved = WriteConfig(kPortKey, std::to_string(port));
    saved = WriteConfig(kSleepKey, Utf8ToGbk(TrimText(sleepText))) && saved;
    // The shared state takes what the file holds now, not what the dialog
    // shows: a write that failed leaves the old settings in force.
    LoadSettings();
    if (SetPortNo != oldPort)
        ResetLastMsgCode();
    if (!saved) {
        m_view.error = std::string(UiText::kSettingsNotSaved);
        return false;
    }
    m_view.error.clear();
    // The dialog closes now; the reading thread then makes sure of the
    // reader afresh on its next pass, whether or not anything changed.
    CardHandled = false;
    DeviceOK = false;
    return true;
}
