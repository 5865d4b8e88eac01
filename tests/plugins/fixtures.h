// The test plug-ins: their file names, what each one reports, and the call
// log they keep.
//
// Every fixture is built from the pieces plugin.h lists into
// <build>/bin/plugins/<name>.dll.
// The effect record a fixture hands out is 88 bytes and ends right before a
// page that cannot be read, so a host that reads past it faults; effClose
// releases it, so a host that touches it afterwards faults too.
//
// Call log: when the environment variable TANDREL_FIXTURE_LOG is set (to
// anything), a fixture appends one line per event to "<its DLL path>.calls",
// each line written (and the file closed) at once so it survives a fault:
//   entry <export>                          the entry point was called ("main" or "Main")
//   host <opcode> <null|effect> -> <answer> a host callback call and its answer
//   dispatch <opcode> <index> <value> <ptr> <opt>
//                                           a dispatcher call: ptr 1 when set, 0 when
//                                           null; opt as the 8 hex digits of its bits
//   fault <kind>                            about to fault: access-violation,
//                                           divide-by-zero, raise-E06D7363 or
//                                           stack-overflow; or to misbehave: spin,
//                                           wait, exit, abort, ExitProcess, slow,
//                                           sleep-loop, sleep-on-own-stack
//   handled own exception                   the fixture trapped a fault of its own
//   fpu tags <4 hex digits>                 fpu_check.dll: the x87 tag word in effOpen
//                                           (FFFF: the register stack is empty)
//   editor parent <details>                 what effEditOpen was handed (see below)
// Without the variable nothing is written.
#pragma once
#include <stdint.h>

#define FIXTURE_LOG_VARIABLE "TANDREL_FIXTURE_LOG"
#define FIXTURE_LOG_SUFFIX ".calls"
#define FIXTURE_LOG_ENTRY "entry %s"
#define FIXTURE_LOG_HOST "host %d %s -> %d"
#define FIXTURE_LOG_DISPATCH "dispatch %d %d %d %d %08X"
#define FIXTURE_LOG_FAULT "fault %s"
#define FIXTURE_LOG_HANDLED "handled own exception"
#define FIXTURE_LOG_FPU "fpu tags %04X"
#define FIXTURE_FPU_EMPTY "fpu tags FFFF"
// The editor parent window: class, client size, style, extended style,
// visible, class style, class background colour, class window procedure is
// DefWindowProcA (1/0); then the window it is a child of: class, visible.
#define FIXTURE_LOG_PARENT "editor parent %s %dx%d style=%08lX exstyle=%08lX visible=%d " \
                           "classstyle=%lX brush=%06lX defproc=%d host %s visible=%d"

namespace fixtures {

// What most fixtures report: the values of plain.dll.
constexpr int32_t PLAIN_UNIQUE_ID = 0x506C6E31;     // 'Pln1'
constexpr int32_t PLAIN_INPUTS = 2;
constexpr int32_t PLAIN_OUTPUTS = 2;
constexpr int32_t PLAIN_PARAMS = 12;
constexpr int32_t PLAIN_PROGRAMS = 3;

// synth.dll: an instrument with an editor.
constexpr int32_t SYNTH_UNIQUE_ID = 0x53796E31;     // 'Syn1'
constexpr int32_t SYNTH_INPUTS = 0;
constexpr int32_t SYNTH_OUTPUTS = 2;
constexpr int32_t SYNTH_PARAMS = 5;
constexpr int32_t SYNTH_PROGRAMS = 8;
constexpr int16_t SYNTH_RECT_TOP = 10;
constexpr int16_t SYNTH_RECT_LEFT = 20;
constexpr int16_t SYNTH_RECT_BOTTOM = 300;
constexpr int16_t SYNTH_RECT_RIGHT = 400;

// rect_negative.dll: an editor rectangle whose right and bottom have the top
// bit of their 16 bits set.
constexpr int16_t NEGATIVE_RECT_BOTTOM = -1;
constexpr int16_t NEGATIVE_RECT_RIGHT = -32768;

// How long slow_open.dll takes over effOpen.
constexpr unsigned SLOW_MILLISECONDS = 5000;
// exit_later.dll's thread ends the process this long after effOpen: while a
// slow plug-in analysed after it sleeps.
constexpr unsigned EXIT_LATER_MILLISECONDS = 3000;

// A host callback opcode no host answers specially; fixtures ask it in effOpen.
constexpr int32_t UNKNOWN_HOST_OPCODE = 7;

} // namespace fixtures

// The fixture files, by what they are. All report the plain values unless
// said otherwise; the ones with "editor" report synth's rectangle.
//   plain.dll          effect, 2 in / 2 out, 12 parameters, 3 programs, no editor
//   synth.dll          instrument with an editor (the synth values)
//   main_upper.dll     exports "Main" only
//   noentry.dll        exports "VSTPluginMain" only: not a VST plug-in for us
//   null_entry.dll     entry point returns null
//   no_dispatcher.dll  effect without a dispatcher
//   bad_magic.dll      effect with the wrong magic
//   no_identify.dll    answers effIdentify with 0
//   no_params.dll      no parameters and no programs
//   chunks.dll         effFlagsProgramChunks
//   midi_main.dll      asks audioMasterWantMidi in its entry point
//   midi_open.dll      asks audioMasterWantMidi in effOpen
//   midi_editor.dll    editor; asks audioMasterWantMidi only in effEditOpen
//   rect_null.dll      editor; effEditGetRect answers a null pointer
//   rect_untouched.dll editor; effEditGetRect leaves the pointer alone
//   rect_negative.dll  editor; the negative rectangle above
//   handled.dll        traps an access violation of its own in effOpen, then passes
//   fault_main.dll     access violation in the entry point
//   fault_<step>.dll   access violation in that dispatcher call: identify, open,
//                      samplerate, blocksize, program, mains_on, mains_off,
//                      editopen, getrect, editclose (these three have an editor),
//                      close
//   divzero.dll        integer division by zero in effOpen
//   raise_cpp.dll      RaiseException with the C++ exception code in effSetBlockSize
//   fpu_unmask.dll     unmasks the x87 exceptions in effOpen (control word 0x1332)
//   fpu_nan.dll        computes 0.0/0.0 in effOpen (harmless while they are masked)
//   overflow.dll       overflows its stack in effOpen
//   kill_lookup_open.dll ends the process in effOpen, by kernel32's TerminateProcess looked up by name
//   kill_open.dll      ends the process in effOpen (the kernel's NtTerminateProcess through a pointer
//                      it looked up itself, exit code 3)
//   fault_main_hang.dll access violation in the entry point; its process-detach
//                      handler then never returns
//   needs_helper.dll   imports plugin_helper.dll, which must be found beside it
//   spin_open.dll      spins for ever in effOpen
//   wait_open.dll      waits for ever in effOpen, on an event nobody sets
//   slow_open.dll      sleeps SLOW_MILLISECONDS in effOpen, then passes
//   exit_main.dll      calls exit(3) in its entry point
//   abort_open.dll     calls abort() in effOpen
//   exitprocess_mains.dll  calls ExitProcess(4) in effMainsChanged (switching on)
//   raise_skipped.dll, raise_exited.dll
//                      RaiseException in effOpen with the codes the wizard raises
//                      when it skips a plug-in or stops one ending the process
//   needs_missing.dll  imports missing_helper.dll (in plugins\helpers, not beside it)
//   fpu_full.dll       leaves eight values on the x87 register stack in effOpen
//   fpu_check.dll      logs the x87 tag word it finds in effOpen
//   sleep_loop_open.dll  sleeps in a loop for ever in effOpen
//   sleep_attach.dll   sleeps in a loop for ever in its DllMain (process attach)
//   fault_attach.dll   access violation in its DllMain (process attach)
//   leave_<kind>.dll   leaves something of its own behind in effOpen, never
//                      taken back: a thread running in its code (thread), a
//                      message-only window of its own class with a message
//                      posted to it (window), a thread timer (timer), a
//                      WH_GETMESSAGE hook on the wizard's thread (hook), a
//                      vectored exception handler (handler), a work item of the
//                      system's pool that never ends (pool_work), a pool wait
//                      that times out again and again (wait), a fibre-local
//                      slot with a clean-up callback and a value (fibre_local),
//                      a hidden dialog made with the W call with a message
//                      posted to it (wide_dialog)
//   handler_attach.dll adds a vectored exception handler in its DllMain
//   exit_later.dll     starts a thread in effOpen that calls ExitProcess(5)
//                      EXIT_LATER_MILLISECONDS later
//   crash_later.dll    the same thread raises an access violation instead
//   leave_tidy.dll     all five of them, and 300 threads at once that end again,
//                      everything taken back in effClose
//   own_stack_open.dll switches in effOpen to a stack of its own (a block just
//                      below the thread's stack) and sleeps there in a loop for ever
//   modal_main.dll     waits in its entry point for an answer in a message box of
//                      its own ("Fixture Licence"); without OK it returns null
//   file_dialog_main.dll  the same in the system's file-open dialog ("Fixture Loader")
//   large_thread.dll   an image of 512 MB of uninitialised data; leaves a thread

#ifndef FIXTURE_PLUGIN
#include <windows.h>
#include <cstring>
#include <string>
#include <vector>

namespace fixtures {

// The built fixture <name> (with ".dll"), beside the running test program.
inline std::string Built(const std::string& name)
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    *strrchr(path, '\\') = 0;
    return std::string(path) + "\\plugins\\" + name;
}

// Turns the call log on for plug-ins this process loads from now on, and
// removes what an earlier load of this DLL left.
inline void StartCallLog(const std::string& dllPath)
{
    SetEnvironmentVariableA(FIXTURE_LOG_VARIABLE, "1");
    DeleteFileA((dllPath + FIXTURE_LOG_SUFFIX).c_str());
}

inline void StopCallLog() { SetEnvironmentVariableA(FIXTURE_LOG_VARIABLE, nullptr); }

// The lines a DLL logged, oldest first; none when it logged nothing.
inline std::vector<std::string> CallLog(const std::string& dllPath)
{
    std::vector<std::string> lines;
    HANDLE file = CreateFileA((dllPath + FIXTURE_LOG_SUFFIX).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return lines;
    std::string text;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got)
        text.append(chunk, got);
    CloseHandle(file);
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

// The log line of one dispatcher call.
inline std::string DispatchLine(int opcode, int index = 0, int value = 0, bool ptr = false, float opt = 0.0f)
{
    uint32_t bits;
    memcpy(&bits, &opt, sizeof bits);
    char line[80];
    snprintf(line, sizeof line, FIXTURE_LOG_DISPATCH, opcode, index, value, ptr ? 1 : 0,
             static_cast<unsigned>(bits));
    return line;
}

inline std::string HostLine(int opcode, bool withEffect, int answer)
{
    char line[80];
    snprintf(line, sizeof line, FIXTURE_LOG_HOST, opcode, withEffect ? "effect" : "null", answer);
    return line;
}

} // namespace fixtures
#endif
