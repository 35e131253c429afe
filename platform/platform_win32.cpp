// The Win32 side of platform.h, for Brenthaul.exe.
#include "platform/platform.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

bool PlatformGetUserName(wchar_t* name, size_t capacity) {
    DWORD size = static_cast<DWORD>(capacity);
    return GetUserNameW(name, &size) != 0;
}

const wchar_t* PlatformGetEnvironment(const wchar_t* variable) { return _wgetenv(variable); }

int RunCommand(const wchar_t* commandLine) {
    // Whatever the tool wrote so far must reach the console before the command's own output.
    // A console that cannot be written to changes nothing for the command, so the results of
    // these writes (here and below) are deliberately ignored.
    (void)fflush(stdout);
    (void)fflush(stderr);
    return _wsystem(commandLine);
}

void PlatformShowMessage(const wchar_t* text, const wchar_t* caption, unsigned type) {
    // USER32 is loaded only here, for the debug boxes: importing it would make every run pay for
    // loading and initialising it, which is the larger part of the tool's own start. USER32 is a
    // known DLL, so the system's own copy is the one loaded.
    typedef int(WINAPI * MessageBoxFunction)(HWND, LPCWSTR, LPCWSTR, UINT);
    HMODULE user32 = LoadLibraryW(L"user32.dll");
    if (user32 == nullptr) {
        return;
    }
    const FARPROC address = GetProcAddress(user32, "MessageBoxW");
    if (address != nullptr) {
        MessageBoxFunction show;
        static_assert(sizeof(show) == sizeof(address), "function pointers differ in size");
        memcpy(&show, &address, sizeof(show));
        show(nullptr, text, caption, type);
    }
}

void PlatformWriteOutput(const char* text) {
    (void)fputs(text, stdout);
    (void)fflush(stdout);
}

void PlatformWriteError(const char* text) {
    (void)fputs(text, stderr);
    (void)fflush(stderr);
}

bool PlatformFolderExists(const wchar_t* path) {
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void PlatformReportEvent(unsigned type, unsigned id, const wchar_t* text) {
    // Standard users may write to the Application log. An unregistered source still records
    // the event with its text; once registered (see the README), Event Viewer also finds the
    // exe's message table and shows the text without its "description cannot be found" preamble.
    HANDLE source = RegisterEventSourceW(nullptr, L"Brenthaul");
    if (source == nullptr) {
        return;
    }
    const wchar_t* strings[1] = {text};
    (void)ReportEventW(source, static_cast<WORD>(type), 0, static_cast<DWORD>(id), nullptr, 1, 0,
                       strings, nullptr);
    (void)DeregisterEventSource(source);
}
