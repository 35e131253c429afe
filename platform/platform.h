// Everything the tool asks of the operating system. platform/platform_win32.cpp implements these
// with Win32 and the Windows runtime for the real exe; the native tests link a recording fake
// instead, so the rest of the tool builds and is tested without Windows.
#ifndef BRENTHAUL_PLATFORM_PLATFORM_H
#define BRENTHAUL_PLATFORM_PLATFORM_H

#include <stddef.h>

// Message-box types: one OK button with the warning or the error icon.
const unsigned kBoxWarning = 0x30;  // MB_OK | MB_ICONWARNING
const unsigned kBoxError = 0x10;    // MB_OK | MB_ICONERROR

// Event types of the Windows event log.
const unsigned kEventError = 0x0001;    // EVENTLOG_ERROR_TYPE
const unsigned kEventWarning = 0x0002;  // EVENTLOG_WARNING_TYPE

// Fills `name` with the current user's name (GetUserNameW, `capacity` characters offered).
// Returns false when the name could not be obtained; `name` is then left as it was.
bool PlatformGetUserName(wchar_t* name, size_t capacity);

// The value of environment variable `variable`, or nullptr when it is not set. The text belongs
// to the environment and stays valid for the run.
const wchar_t* PlatformGetEnvironment(const wchar_t* variable);

// Runs `commandLine` through the command interpreter (%COMSPEC% /c, falling back to cmd.exe),
// waits for it to end and returns its exit status, or -1 when no interpreter could be started.
int RunCommand(const wchar_t* commandLine);

// Shows a modal message box with no owner window and returns once the user has closed it.
void PlatformShowMessage(const wchar_t* text, const wchar_t* caption, unsigned type);

// Writes 8-bit text to standard output, a text stream: each line feed is written as CR LF.
void PlatformWriteOutput(const char* text);

// Writes 8-bit text to standard error, also as a text stream.
void PlatformWriteError(const char* text);

// True when `path` names an existing folder.
bool PlatformFolderExists(const wchar_t* path);

// Records one event in the Application log under the source "Brenthaul": `type` is kEventError
// or kEventWarning, `id` one of common/events.h, `text` the event's only string. Called only when
// something went wrong, so a good run pays nothing for it. A failure to record changes nothing
// else in the run, so it is not reported.
void PlatformReportEvent(unsigned type, unsigned id, const wchar_t* text);

#endif
