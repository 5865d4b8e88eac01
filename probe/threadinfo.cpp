#include "probe/threadinfo.h"

namespace {

using QueryThread = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
const QueryThread queryThread = reinterpret_cast<QueryThread>(
    reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationThread")));
const int THREAD_BASICS = 0;
const int THREAD_START_ADDRESS = 9;
struct ThreadBasics {
    LONG exitStatus;
    NT_TIB* tib;
    void* clientId[2];
    ULONG_PTR affinity;
    LONG priority, basePriority;
};

} // namespace

void* ThreadStartAddress(HANDLE thread)
{
    void* start = nullptr;
    if (!queryThread || queryThread(thread, THREAD_START_ADDRESS, &start, sizeof start, nullptr) < 0)
        return nullptr;
    return start;
}

NT_TIB* ThreadInformationBlock(HANDLE thread)
{
    ThreadBasics basics{};
    if (!queryThread || queryThread(thread, THREAD_BASICS, &basics, sizeof basics, nullptr) < 0)
        return nullptr;
    return basics.tib;
}
