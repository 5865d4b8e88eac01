#include "report/report.h"
#include <cstdio>
#include <cstring>
#include <vector>
#include "base/text.h"
#include "probe/hostile.h"
#include "probe/image.h"
#include "probe/leftovers.h"

namespace {

std::vector<DllReport> entries;

struct ResultRow {
    int end;                // ProbeEnd, or NO_END
    int finding;            // ImageFinding, or NO_FINDING
    ResultFill fill;
    const char* text;
    const char* textWhenZero;
};

#define DLL_RESULT_ROW(result, end, finding, fill, text, textWhenZero) {end, finding, fill, text, textWhenZero},
const ResultRow RESULTS[] = {DLL_RESULTS(DLL_RESULT_ROW)};
#undef DLL_RESULT_ROW

// The result whose row names this end of the probe or this finding in the file.
DllResult ResultFrom(int end, int finding)
{
    for (size_t i = 0; i < sizeof RESULTS / sizeof RESULTS[0]; ++i)
        if ((end != NO_END && RESULTS[i].end == end) || (finding != NO_FINDING && RESULTS[i].finding == finding))
            return static_cast<DllResult>(i);
    return DLL_LOAD_FAILED;   // every end and finding has its row
}

char* NewText(const char* text)
{
    if (!text)
        return nullptr;
    size_t size = strlen(text) + 1;
    char* copy = new char[size];
    memcpy(copy, text, size);
    return copy;
}

// The system's own words for an error code, without the line end it adds.
void SystemMessage(DWORD code, char* text, size_t size)
{
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                  text, static_cast<DWORD>(size), nullptr);
    while (length && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' '))
        text[--length] = 0;
    if (!length)
        snprintf(text, size, "system error %lu", static_cast<unsigned long>(code));
}

} // namespace

void ReserveReport(unsigned count)
{
    entries.reserve(entries.size() + count);
}

void ReportDll(const char* path, DllResult result, DWORD detail, const char* text)
{
    entries.push_back({path, NewText(text), detail, result, 0});
}

void ReportProbeEnd(const char* path, const ProbeOutcome& outcome)
{
    if (outcome.end == PROBE_LOAD_FAILED) {
        DWORD detail = 0;
        char missing[MAX_PATH] = "";
        ImageFinding finding = InspectImage(path, &detail, missing, sizeof missing);
        if (finding != IMAGE_NOTHING_FOUND)
            return ReportDll(path, ResultFrom(NO_END, finding), detail, missing[0] ? missing : nullptr);
    }
    ReportDll(path, ResultFrom(outcome.end, NO_FINDING), outcome.detail);
}

void ReportTrap(const char* path, DWORD exceptionCode, const char* step)
{
    DllResult result = exceptionCode == EXCEPTION_PLUGIN_SKIPPED  ? DLL_NOT_RESPONDING
                       : exceptionCode == EXCEPTION_PLUGIN_EXITED ? DLL_ASKED_TO_EXIT
                                                                  : DLL_RECORDED_BAD;
    ReportDll(path, result, exceptionCode, step);
}

void ReportKeptLoaded(unsigned leftBehind)
{
    if (!entries.empty())
        entries.back().leftBehind = static_cast<unsigned short>(leftBehind);
}

void ReportKeptEvent(const char* path, DllResult result, DWORD detail)
{
    for (DllReport& entry : entries)
        if (entry.leftBehind && lstrcmpiA(entry.path, path) == 0) {
            entry.result = result;
            entry.detail = detail;
        }
}

void ReportLostName(const char* path, LostEntry why)
{
    // No FoundDllList text holds the path: the entry keeps its own.
    char* own = NewText(path);
    DllResult result = why == LOST_DLL_NAME      ? DLL_NAME_LOST
                       : why == LOST_LONG_FOLDER ? DLL_FOLDER_TOO_LONG
                                                 : DLL_FOLDER_LOST;
    DWORD detail = why == LOST_SEARCH_FOLDER ? 1 : why == LOST_LONG_FOLDER ? static_cast<DWORD>(strlen(path)) : 0;
    entries.push_back({own, own, detail, result, 0});
}

void ClearReport()
{
    for (DllReport& entry : entries)
        delete[] entry.text;
    std::vector<DllReport>().swap(entries);
}

unsigned ReportCount()
{
    return static_cast<unsigned>(entries.size());
}

const DllReport& ReportAt(unsigned index)
{
    return entries[index];
}

bool RecordedWell(const DllReport& entry)
{
    return (entry.result == DLL_RECORDED || entry.result == DLL_RECORDED_KNOWN) && !entry.leftBehind;
}

namespace {

const struct {
    Leftover kind;
    const char* text;
} LEFTOVERS[] = {
    {LEFT_THREAD, "a thread running"},
    {LEFT_WINDOW, "a window"},
    {LEFT_CLASS, "a window class"},
    {LEFT_TIMER, "a timer"},
    {LEFT_HOOK, "a message hook"},
    {LEFT_HANDLER, "an exception handler"},
    {LEFT_FILTER, "an unhandled-exception filter"},
    {LEFT_POOL, "a thread-pool callback"},
    {LEFT_MEDIA_TIMER, "a multimedia timer"},
    {LEFT_EVENT_HOOK, "an event hook"},
    {LEFT_FIBRE_LOCAL, "a fibre-local storage callback"},
    {LEFT_QUEUED_CALL, "a queued callback still unfinished"},
};

// "; kept loaded until the Wizard closes: it left a thread running and a window"
void DescribeLeftBehind(unsigned leftBehind, char* text, size_t size)
{
    size_t used = strlen(text);
    int left = 0;
    for (const auto& leftover : LEFTOVERS)
        left += (leftBehind & leftover.kind) ? 1 : 0;
    int told = 0;
    for (const auto& leftover : LEFTOVERS) {
        if (!(leftBehind & leftover.kind) || used >= size)
            continue;
        const char* joint = told == 0 ? "; kept loaded until the Wizard closes: it left " : told + 1 == left ? " and " : ", ";
        used += snprintf(text + used, size - used, "%s%s", joint, leftover.text);
        ++told;
    }
}

void DescribeResult(const DllReport& entry, char* text, size_t size)
{
    const ResultRow& row = RESULTS[entry.result];
    const char* format = !entry.detail && row.textWhenZero ? row.textWhenZero : row.text;
    const char* own = entry.text ? entry.text : "";
    unsigned long detail = entry.detail;
    char message[256];
    switch (row.fill) {
    case FILL_NONE:
        snprintf(text, size, "%s", format);
        break;
    case FILL_TEXT:
        snprintf(text, size, format, own);
        break;
    case FILL_DETAIL:
        snprintf(text, size, format, detail, MAX_PATH - 1);
        break;
    case FILL_TEXT_DETAIL:
        snprintf(text, size, format, own, detail);
        break;
    case FILL_MESSAGE:
        SystemMessage(entry.detail, message, sizeof message);
        snprintf(text, size, format, message);
        break;
    }
}

} // namespace

void DescribeDll(const DllReport& entry, char* text, size_t size)
{
    DescribeResult(entry, text, size);
    if (entry.leftBehind)
        DescribeLeftBehind(entry.leftBehind, text, size);
}
