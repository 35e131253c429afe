// Driver for the instruction count: one call of RunBrenthaul for the form named by argv[1]
// ("save", "cleansave", "saveall"), against a platform that answers at once (user1 on C:, with
// LOCALAPPDATA and APPDATA naming user1's own folders as Windows sets them at logon, every folder
// exists, every command returns 0) and records nothing. valgrind's callgrind counts only
// what runs inside RunBrenthaul (--toggle-collect), so neither process start-up nor this driver
// is counted; the trivial platform functions below are, as the real ones would be.
#include <string.h>

#include "cli/brenthaul.h"
#include "platform/platform.h"

bool PlatformGetUserName(wchar_t* name, size_t capacity) {
    static const wchar_t kUser[] = L"user1";
    if (capacity < sizeof kUser / sizeof kUser[0]) {
        return false;
    }
    memcpy(name, kUser, sizeof kUser);
    return true;
}

const wchar_t* PlatformGetEnvironment(const wchar_t* variable) {
    switch (variable[0]) {
        case L'S':  // SystemDrive
            return L"C:";
        case L'L':  // LOCALAPPDATA
            return L"C:\\Users\\user1\\AppData\\Local";
        case L'A':  // APPDATA
            return L"C:\\Users\\user1\\AppData\\Roaming";
        default:
            return nullptr;
    }
}

int RunCommand(const wchar_t* /*commandLine*/) { return 0; }

void PlatformShowMessage(const wchar_t* /*text*/, const wchar_t* /*caption*/, unsigned /*type*/) {}

void PlatformWriteOutput(const char* /*text*/) {}

void PlatformWriteError(const char* /*text*/) {}

bool PlatformFolderExists(const wchar_t* /*path*/) { return true; }

void PlatformReportEvent(unsigned /*type*/, unsigned /*id*/, const wchar_t* /*text*/) {}

int main(int argc, char** argv) {
    static const wchar_t kId[] = L"6f2b8a2e-3d41-4c5e-9a7b-0c1d2e3f4a5b";
    const wchar_t* save[] = {L"Brenthaul.exe", L"/save", kId, nullptr};
    const wchar_t* cleansave[] = {L"Brenthaul.exe", L"/cleansave", kId, nullptr};
    const wchar_t* saveall[] = {L"Brenthaul.exe", L"/saveall", nullptr};
    if (argc != 2) {
        return 2;
    }
    if (strcmp(argv[1], "save") == 0) {
        return RunBrenthaul(3, save);
    }
    if (strcmp(argv[1], "cleansave") == 0) {
        return RunBrenthaul(3, cleansave);
    }
    if (strcmp(argv[1], "saveall") == 0) {
        return RunBrenthaul(2, saveall);
    }
    return 2;
}
