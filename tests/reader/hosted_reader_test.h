#pragma once
// What the hosted reader's tests share with their per-system parts: a
// fixture that tells the hostile library how to misbehave, and a look at
// whether a process still runs.

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

#include "../environment.h"
#include "../temp_dir.h"

// Whether the process runs. A process that has ended counts as gone even
// before anybody reaps it: a host whose parent ended belongs to whoever
// adopts it, which may reap it late.
bool ProcessAlive(long id);

class HostedReaderTest : public testing::Test
{
protected:
    // The control file is inherited by every host started from now on.
    void SetUp() override { SetTestVariable("HOSTILE_TERMB_CONTROL", m_control); }
    void TearDown() override { SetTestVariable("HOSTILE_TERMB_CONTROL", ""); }
    // Makes `function` misbehave as `how` says in every host from now on;
    // empty texts make the library behave again.
    void tell(const std::string& function, const std::string& how)
    {
        m_dir.write("control", function.empty() ? "" : function + " " + how);
    }

    TempDir m_dir;
    const std::string m_control = m_dir.file("control");
};
