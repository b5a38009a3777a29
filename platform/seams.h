#pragma once
// Services that tests replace: the OS version, the administrator check, message boxes, starting
// programs (directly or through the shell), special folders, waiting and the clock. Each is one function object with
// the real implementation by default; tests swap it with a TSeamOverride.
#include <windows.h>

#include <cstdint>
#include <functional>

#include "base/string.h"
#include "platform/handles.h"

namespace uinst {

struct TOSVersion {
    uint32_t Major = 0;
    uint32_t Minor = 0;
    uint32_t Build = 0;
};

struct TShellRequest {
    String Verb;  // "open", "runas"
    String File;
    String Parameters;
    String Directory;
};

// Starts a command line as a new process (StartProcess by default); returns the process handle, or
// an empty one when the program did not start.
using TStartProcess = std::function<TUniqueHandle(const String& commandLine)>;
// A special folder by CSIDL, as GetSpecialFolder gives it.
using TSpecialFolderSource = std::function<String(int csidl)>;

// File operations that the fault seam can make fail.
enum class TFileOperation { foCreate, foWrite, foMove, foDelete };

struct TSeams {
    std::function<TOSVersion()> OSVersion;
    std::function<bool()> IsUserAdmin;
    // A message box: returns IDOK, IDCANCEL, IDRETRY, ... like MessageBoxW.
    std::function<int(HWND owner, const String& text, const String& caption, UINT flags)> MessageBox;
    // ShellExecuteW without waiting; true when the shell accepted the request.
    std::function<bool(const TShellRequest&)> ShellOpen;
    std::function<void(uint32_t milliseconds)> Sleep;
    std::function<uint64_t()> TickCount;
    TStartProcess StartProcess;
    TSpecialFolderSource SpecialFolder;
    // Before a file operation of the installation: 0 to go on, or the system error it fails with.
    std::function<uint32_t(TFileOperation)> FileFault;
    // A named step of a run has been reached ("deleted", "extracting" (half the files written),
    // "extracted", "registered").
    std::function<void(StringView step)> Checkpoint;
};

TSeams& Seams();

// Replaces one seam for the lifetime of the object.
template <typename F>
class TSeamOverride {
public:
    TSeamOverride(F& slot, F replacement) : FSlot(slot), FSaved(std::move(slot)) { FSlot = std::move(replacement); }
    ~TSeamOverride() { FSlot = std::move(FSaved); }
    TSeamOverride(const TSeamOverride&) = delete;
    TSeamOverride& operator=(const TSeamOverride&) = delete;

private:
    F& FSlot;
    F FSaved;
};

// Test runs of the whole program set the fault seams through the environment:
//   UINST_TEST_FAULT=OPERATION:N:ERROR  the Nth create, write, move or delete fails with ERROR
//   UINST_TEST_END_AT=STEP              the process ends with exit code 99 at that checkpoint
//   UINST_TEST_HOLD_AT=STEP:FILE        the run waits at that checkpoint while the file exists
//                                       (at most a minute), so that a test can act in the middle
void InstallFaultSeamsFromEnvironment();
inline constexpr int kCheckpointExitCode = 99;

// Version tests of the platform, computed from the OSVersion seam.
bool IsWindowsVistaOrLater();
bool IsWindows8OrLater();
bool IsWindows10OrLater();

// "/SUPPRESSMSGBOXES": every message box takes the answer that keeps data safe without showing.
void SuppressMessageBoxes(bool suppress);
bool MessageBoxesSuppressed();
// Sets the suppression for its lifetime, then restores what was set before.
class TMessageBoxSuppression {
public:
    explicit TMessageBoxSuppression(bool suppress = true) : FSaved(MessageBoxesSuppressed()) {
        SuppressMessageBoxes(suppress);
    }
    ~TMessageBoxSuppression() { SuppressMessageBoxes(FSaved); }
    TMessageBoxSuppression(const TMessageBoxSuppression&) = delete;
    TMessageBoxSuppression& operator=(const TMessageBoxSuppression&) = delete;

private:
    bool FSaved;
};
// The answer that keeps data safe for a box of these flags (cancel, abort, no, or OK).
int SafeMessageBoxAnswer(UINT flags);
// Shows a box through the seam, or returns the safe answer when boxes are suppressed.
int ShowMessageBox(HWND owner, const String& text, const String& caption, UINT flags);
// Captions of the OK and Cancel buttons of the message boxes shown from now on, in the language of
// the run (empty: the system's captions). Set before boxes are shown, not while they are.
void SetMessageBoxButtonCaptions(const String& ok, const String& cancel);

}  // namespace uinst
