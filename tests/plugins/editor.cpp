// The plug-in's editor: what it logs of the parent window effEditOpen hands
// it, and the rectangle effEditGetRect answers. The synth has one.
#include "plugin.h"

#if defined(SYNTH) && !defined(EDITOR)
#define EDITOR
#endif

namespace fixtures {

#ifdef EDITOR

namespace {

void LogEditorParent(HWND parent)
{
    if (!logging)
        return;
    char parentClass[64] = "", hostClass[64] = "";
    GetClassNameA(parent, parentClass, sizeof parentClass);
    RECT client{};
    GetClientRect(parent, &client);
    LOGBRUSH brush{};
    GetObjectA(reinterpret_cast<HBRUSH>(GetClassLongPtrA(parent, GCLP_HBRBACKGROUND)), sizeof brush, &brush);
    WNDCLASSA windowClass{};
    GetClassInfoA(reinterpret_cast<HINSTANCE>(GetClassLongPtrA(parent, GCLP_HMODULE)), parentClass, &windowClass);
    HWND hostWindow = GetParent(parent);
    GetClassNameA(hostWindow, hostClass, sizeof hostClass);
    Log(FIXTURE_LOG_PARENT, parentClass, static_cast<int>(client.right), static_cast<int>(client.bottom),
        static_cast<unsigned long>(GetWindowLongA(parent, GWL_STYLE)),
        static_cast<unsigned long>(GetWindowLongA(parent, GWL_EXSTYLE)), IsWindowVisible(parent) ? 1 : 0,
        static_cast<unsigned long>(GetClassLongA(parent, GCL_STYLE)), static_cast<unsigned long>(brush.lbColor),
        windowClass.lpfnWndProc == DefWindowProcA ? 1 : 0, hostClass, IsWindowVisible(hostWindow) ? 1 : 0);
}

} // namespace

bool HasEditor() { return true; }

intptr_t OpenEditor([[maybe_unused]] AEffect* effect, HWND parent)
{
    LogEditorParent(parent);
#ifdef MIDI_IN_EDITOR
    Ask(effect, audioMasterWantMidi);
#endif
    return 1;
}

intptr_t EditorRect(void* ptr)
{
#if defined(RECT_NULL)
    *static_cast<ERect**>(ptr) = nullptr;
    return 0;
#elif defined(RECT_UNTOUCHED)
    (void)ptr;
    return 0;
#elif defined(RECT_NEGATIVE)
    static ERect rect = {0, 0, NEGATIVE_RECT_BOTTOM, NEGATIVE_RECT_RIGHT};
    *static_cast<ERect**>(ptr) = &rect;
    return 1;
#else
    static ERect rect = {SYNTH_RECT_TOP, SYNTH_RECT_LEFT, SYNTH_RECT_BOTTOM, SYNTH_RECT_RIGHT};
    *static_cast<ERect**>(ptr) = &rect;
    return 1;
#endif
}

#else

bool HasEditor() { return false; }
intptr_t OpenEditor(AEffect*, HWND) { return 0; }
intptr_t EditorRect(void*) { return 0; }

#endif

} // namespace fixtures
