#pragma once
// The settings file config.ini beside the executable: one section, Config,
// with the keys Port and Sleep. ReadConfig and WriteConfig are the only
// access to it; each opens the file, reads or writes one key and releases it.

#include <cstdint>
#include <string>

inline constexpr const char* kConfigFileName = "config.ini";
inline constexpr const char* kConfigSection = "Config";

// The two settings' keys, as the file spells them (reading ignores case).
inline constexpr const char* kPortKey = "Port";   // 0 search, 1001 USB, n serial port COMn
inline constexpr const char* kSleepKey = "Sleep"; // pause before each read pass, milliseconds
// How long one reader library call may take, in milliseconds, before its
// reader host counts as hung. Set by hand only; the settings dialog leaves it.
inline constexpr const char* kReaderCallTimeoutKey = "ReaderCallTimeout";
inline constexpr std::int32_t kDefaultReaderCallTimeoutMs = 10000;
// A deadline below 0.1 s would fail slow but sound readers (a serial search
// takes that long); one above 10 minutes is no deadline an operator waits for.
inline constexpr std::int32_t kMinReaderCallTimeoutMs = 100;
inline constexpr std::int32_t kMaxReaderCallTimeoutMs = 600000;

// The settings file's full path: the executable's directory and "config.ini".
std::string ConfigFilePath();

// The trimmed value of `key` (every leading and trailing character of code 32
// or below removed), or the empty text for an empty key, a missing file,
// section or key, or any error.
std::string ReadConfig(const std::string& key);

// Stores `value` unchanged under `key`. A file that cannot be written keeps
// what it held, and the result is false, so the settings dialog can say so;
// true when the write is on disk.
bool WriteConfig(const std::string& key, const std::string& value);

// The settings as numbers: the key's value as IntOrZero reads it, so a
// missing key or text that is no number counts as 0.
std::int32_t ReadPortSetting();
std::int32_t ReadSleepSetting();
// ReaderCallTimeout within kMin..kMaxReaderCallTimeoutMs; a missing key, text
// that is no number and a value out of that range give the default.
std::int32_t ReadReaderCallTimeoutSetting();
