#pragma once
// What the reading thread's tests share: a status target that handles
// statuses as the main window does, and a fixture that gives each test a
// fresh shared state, photo directory and serial port list.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "../temp_dir.h"
#include "base/exe_dir.h"
#include "reader/read_thread.h"
#include "reader/serial_ports.h"
#include "state/shared_state.h"

// Handles statuses like the main window: a status equal to the last one
// handled is ignored; every other status but RS_CARD_READ clears the card
// view and with it LastIDCardNo. At RS_CARD_READ it notes the card shown and
// the photo file the view would load, as the view reads them at that moment.
class StatusRecorder
{
public:
    void operator()(int status)
    {
        {
            std::lock_guard lock(m_mutex);
            m_sent.push_back(status);
            if (status == LastMsgCode)
                return;
            LastMsgCode = status;
            m_handled.push_back(status);
            if (status == RS_CARD_READ) {
                m_shownIds.push_back(FieldText(CardInfo.IDCardNo));
                m_shownKinds.push_back(CardKindInfo.Kind);
                m_shownNumbers.push_back(LastIDCardNo.str());
                // What the card view shows: the bitmap kept for this card.
                m_shownPhotos.push_back(
                    std::string(reinterpret_cast<const char*>(CardPhoto.bitmap), CardPhoto.length));
            } else {
                LastIDCardNo.clear();
            }
        }
        if (onStatus)
            onStatus(status);
    }

    std::vector<int> sent() const { return locked(m_sent); }
    std::vector<int> handled() const { return locked(m_handled); }
    std::vector<std::string> shownIds() const { return locked(m_shownIds); }
    std::vector<std::string> shownPhotos() const { return locked(m_shownPhotos); }
    // CardKindInfo's kind and LastIDCardNo as the card view found them.
    std::vector<CardKind> shownKinds() const { return locked(m_shownKinds); }
    std::vector<std::string> shownNumbers() const { return locked(m_shownNumbers); }

    std::function<void(int)> onStatus; // after the status was handled

private:
    template <class T> T locked(const T& value) const
    {
        std::lock_guard lock(m_mutex);
        return value;
    }

    mutable std::mutex m_mutex;
    std::vector<int> m_sent, m_handled;
    std::vector<std::string> m_shownIds, m_shownPhotos, m_shownNumbers;
    std::vector<CardKind> m_shownKinds;
};

// Waits for a condition the reading thread brings about; the bound only keeps
// a faulty thread from hanging the suite.
// Stops a resumed reading thread when the test ends, however it ends: a
// failed assertion returns early, and a thread left running would go on
// calling the test's reader and status recorder after they are gone. Declare
// it after the thread and everything the thread uses.
class StopsWithTheTest
{
public:
    explicit StopsWithTheTest(TReadThread& thread) : m_thread(thread) {}
    ~StopsWithTheTest()
    {
        m_thread.Terminate();
        ReadMode = kReadIdle;
        if (!m_thread.WaitFor(20000)) {
            std::fprintf(stderr, "the reading thread did not end within 20 s\n");
            std::abort(); // it would use the test's objects after they are gone
        }
    }
    StopsWithTheTest(const StopsWithTheTest&) = delete;
    StopsWithTheTest& operator=(const StopsWithTheTest&) = delete;

private:
    TReadThread& m_thread;
};

template <class Condition> bool eventually(Condition condition)
{
    for (int i = 0; i < 20000; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

class ReaderStateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetSharedState();
        PortNo = kUsbPort;
        SetExeDirOverride(m_dir.path().string());
        SetSerialPortSource([this](std::vector<std::string>& names) {
            if (!serialPorts)
                return false;
            names = *serialPorts;
            return true;
        });
    }
    void TearDown() override
    {
        SetSerialPortSource({});
        SetExeDirOverride("");
        ResetSharedState();
    }

    // The serial port names the system lists; empty: the list cannot be read.
    std::optional<std::vector<std::string>> serialPorts = std::vector<std::string>{};
    TempDir m_dir;
};
