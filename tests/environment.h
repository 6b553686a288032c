#pragma once
// Environment variables for tests, the same way on every system.

#include <cstdlib>
#include <string>

// Sets `name` to `value` for this process and the programs it starts; an
// empty value removes it.
inline void SetTestVariable(const char* name, const std::string& value)
{
#ifdef _WIN32
    ::_putenv_s(name, value.c_str()); // an empty value removes the variable
#else
    if (value.empty())
        ::unsetenv(name);
    else
        ::setenv(name, value.c_str(), 1);
#endif
}
