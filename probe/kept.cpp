#include "probe/kept.h"
#include <cstring>
#include <vector>
#include "base/text.h"
#include "probe/spinlock.h"
#include "probe/threadinfo.h"

namespace {

struct Kept {
    char path[PATH_TEXT_SIZE];
    char entryName[10];
    int firstRange, rangeCount;
    volatile LONG events;   // KeptEvent bits not yet taken
    DWORD code;
};

// Read from any thread, even one that faults; written on the wizard's
// thread only.
volatile LONG keptLock;

// Never destroyed: a kept plug-in's thread may still run after the
// program's own destructors.
std::vector<Kept*>& kept = *new std::vector<Kept*>;
volatile LONG untaken;      // events noted and not yet taken: TakeKeptEvent needs no lock while there are none
std::vector<CodeRange>& ranges = *new std::vector<CodeRange>;
DWORD wizardThread;
LPTOP_LEVEL_EXCEPTION_FILTER previousFilter;

// A thread of a kept plug-in's that faults, where nothing of its own
// handles the fault, ends alone instead of taking the process with it. The
// wizard's own thread is left to its trap regions.
LONG WINAPI StopFaultingThread(EXCEPTION_POINTERS* pointers)
{
    if (GetCurrentThreadId() != wizardThread) {
        int plugin = KeptPluginAt(pointers->ExceptionRecord->ExceptionAddress);
        if (plugin < 0)
            plugin = KeptPluginAt(ThreadStartAddress(GetCurrentThread()));
        if (plugin >= 0) {
            NoteKeptEvent(plugin, KEPT_CRASHED, pointers->ExceptionRecord->ExceptionCode);
            ExitThread(0);
        }
    }
    return previousFilter ? previousFilter(pointers) : EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

void KeepPlugin(const char* path, const char* entryName, const CodeRange* given, int count)
{
    auto* plugin = new Kept{};
    CopyText(plugin->path, path);
    CopyText(plugin->entryName, entryName);
    SpinLock lock(keptLock);
    plugin->firstRange = static_cast<int>(ranges.size());
    plugin->rangeCount = count;
    ranges.insert(ranges.end(), given, given + count);
    kept.push_back(plugin);
    if (!wizardThread) {
        wizardThread = GetCurrentThreadId();
        previousFilter = SetUnhandledExceptionFilter(StopFaultingThread);
    }
}

void ForgetKeptCode(const void* base)
{
    SpinLock lock(keptLock);
    for (CodeRange& range : ranges)
        if (range.base == reinterpret_cast<ULONG_PTR>(base))
            range.size = 0;
}

int KeptPluginAt(const void* address)
{
    auto at = reinterpret_cast<ULONG_PTR>(address);
    if (!at)
        return -1;
    SpinLock lock(keptLock);
    for (size_t i = 0; i < kept.size(); ++i)
        for (int r = kept[i]->firstRange; r < kept[i]->firstRange + kept[i]->rangeCount; ++r)
            if (at - ranges[r].base < ranges[r].size)
                return static_cast<int>(i);
    return -1;
}

void NoteKeptEvent(int plugin, KeptEvent event, DWORD code)
{
    SpinLock lock(keptLock);
    if (plugin < 0 || plugin >= static_cast<int>(kept.size()))
        return;
    if (event == KEPT_CRASHED)
        kept[plugin]->code = code;
    if (!(kept[plugin]->events & event))
        ++untaken;
    kept[plugin]->events |= event;
}

bool TakeKeptEvent(KeptReport* report)
{
    if (!untaken)
        return false;
    SpinLock lock(keptLock);
    for (Kept* plugin : kept) {
        LONG events = plugin->events;
        if (!events)
            continue;
        KeptEvent event = (events & KEPT_CRASHED) ? KEPT_CRASHED : KEPT_ASKED_TO_EXIT;
        plugin->events &= ~event;
        --untaken;
        *report = {plugin->path, plugin->entryName, event, plugin->code};
        return true;
    }
    return false;
}
