// Process-wide state of the wizard: the failure trace, the lists of folders
// and DLLs, the run options and the few handles the run and the pages share.
#pragma once
#include <windows.h>
#include "base/text.h"

#define PRODUCT_KEY  "Software\\Ostrel Music Software\\Ostrel VST Adapter"
#define PLUGINS_KEY  PRODUCT_KEY "\\Plug-Ins"
#define DEFAULTS_KEY PRODUCT_KEY "\\Defaults"
#define PATHS_KEY    PRODUCT_KEY "\\Paths"

#define ERROR_CAPTION "Ostrel VST Adapter Error"

// ---- Failure trace -------------------------------------------------------
// What the program is doing, shown on the load-error and exception pages.
enum { TRACE_TEXT_SIZE = 1024 };
struct FailureTraceTexts {
    char traceOperation[TRACE_TEXT_SIZE];
    char traceFailurePoint[TRACE_TEXT_SIZE];
    char traceProbeStep[TRACE_TEXT_SIZE];
};
extern FailureTraceTexts FailureTrace;

void TraceOperation(const char* text);
void TraceFailurePoint(const char* text);
void TraceProbeStep(const char* text);
// A dialog procedure's note on every message: its name, then "Proc".
void TraceProc(const char* procName);

// ---- Lists -----------------------------------------------------------------
// Doubly linked circular lists with a sentinel; elements are appended at the
// end and walked first to last. Tearing a list down frees its entries only:
// the texts they point to are released by their owners.
struct ListLink {
    ListLink* next;
    ListLink* prev;
};

template <class T> struct ListEntry : ListLink {
    T element;
};

template <class T> class WizardList {
public:
    WizardList() { sentinel.next = sentinel.prev = &sentinel; }
    ~WizardList() { while (count) remove(first()); }
    WizardList(const WizardList&) = delete;
    WizardList& operator=(const WizardList&) = delete;

    ListEntry<T>* append(const T& element)
    {
        auto* entry = new ListEntry<T>;
        entry->element = element;
        entry->prev = sentinel.prev;
        entry->next = &sentinel;
        sentinel.prev->next = entry;
        sentinel.prev = entry;
        ++count;
        return entry;
    }
    void remove(ListEntry<T>* entry)
    {
        entry->prev->next = entry->next;
        entry->next->prev = entry->prev;
        delete entry;
        --count;
    }
    ListEntry<T>* first() { return count ? static_cast<ListEntry<T>*>(sentinel.next) : nullptr; }
    ListEntry<T>* next(ListEntry<T>* entry)
    {
        return entry->next == &sentinel ? nullptr : static_cast<ListEntry<T>*>(entry->next);
    }
    // The entry at a position counted from the first, or null.
    ListEntry<T>* at(unsigned position)
    {
        ListEntry<T>* entry = first();
        while (entry && position--)
            entry = next(entry);
        return entry;
    }

    struct iterator {
        ListLink* link;
        T& operator*() const { return static_cast<ListEntry<T>*>(link)->element; }
        iterator& operator++() { link = link->next; return *this; }
        bool operator!=(const iterator& other) const { return link != other.link; }
    };
    iterator begin() { return {sentinel.next}; }
    iterator end() { return {&sentinel}; }

    unsigned count = 0;

private:
    ListLink sentinel;
};

// Folder and DLL paths live in path texts owned by their entries.
char* NewPathText(const char* text);
void FreePathText(char* text);

extern WizardList<char*> SearchPathList;
extern WizardList<char*> FoundDllList;

// ---- Settings and shared handles -----------------------------------------
struct WizardOptionFlags {
    DWORD subDivide;
    DWORD noPrefix;
    DWORD rescanExisting;
    DWORD rescanFailed;     // never stored: 0 at the start of every run
};
extern WizardOptionFlags WizardOptions;

extern HINSTANCE moduleInstance;
extern HKEY pathsKey;                   // "Paths", open while the search-path page can be shown
extern HWND progressWindow;             // the progress page while it exists
extern DWORD editSelectedPlugin;        // 1: the options dialog edits the selected plug-in
extern HWND pluginListView;             // the list page's list control
extern int rememberedRow;               // row the list page selects after a rebuild; -1 none

// The path of module's file into path[size]; given a name, the path of the
// file of that name in the same folder ("" gives the folder, with its
// backslash). False when there is none or it does not fit: a cut path would
// name another file.
bool ModuleFilePath(HMODULE module, char* path, DWORD size, const char* name = nullptr);

// Shows template id of this module as a modal dialog with no owner and
// returns DialogBoxParam's answer (-1 when it could not be shown).
INT_PTR ShowModalDialog(int id, DLGPROC proc, LPARAM parameter = 0);
