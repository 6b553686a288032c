#pragma once
// The settings file's values put in force: the one place where Port and
// Sleep reach the shared reader state.

// Sets ReadSleep from Sleep and SetPortNo from Port as config.ini holds them
// now (0 for a missing key or text that is no number), and ReaderCallTimeout
// (ReadReaderCallTimeoutSetting).
void LoadSettings();
