// Placeholder until the reading thread lands; keeps the tree building.
#include "reader/read_thread.h"

struct TReadThread::Worker
{};

TReadThread::TReadThread(const TermbApi&, SleepFn) : m_worker(std::make_shared<Worker>()) {}
TReadThread::~TReadThread() = default;
void TReadThread::Resume() {}
void TReadThread::Terminate() {}
bool TReadThread::Terminated() const
{
    return true;
}
void TReadThread::Execute() {}
bool TReadThread::CheckDevice()
{
    return false;
}
void TReadThread::ReadCard() {}
bool ListSerialPortNumbers(std::vector<std::string>&)
{
    return false;
}
bool SaveBufToFile(const std::string&, const unsigned char*, std::size_t)
{
    return false;
}
