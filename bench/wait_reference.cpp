// The reference for the reading program's CPU while a reader answers slowly:
// nothing but a thread that waits the given milliseconds, back to back, as
// the reading thread does inside a reader call of that latency. What this
// costs is what the machine charges for being woken; a program that makes
// reader calls of that latency cannot take less than it per call.
//
//   wait_reference <milliseconds per wait>   (runs until killed)
#include <chrono>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv)
{
    const int ms = argc > 1 ? std::atoi(argv[1]) : 20;
    for (;;)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms > 0 ? ms : 20));
}
