#include "profile/profile.h"

#include "common/bounded_format.h"
#include "platform/platform.h"

wchar_t g_userName[kUserNameCapacity];
wchar_t g_roamingRoot[kRootCapacity];
wchar_t g_localRoot[kRootCapacity];

namespace {

// Characters the command interpreter would read as syntax inside a quoted path: '"' ends the
// quoting and '%' expands a variable. Control characters have no place in a path.
bool IsSafeForCommandLine(const wchar_t* text) {
    for (; *text != L'\0'; ++text) {
        if (*text == L'"' || *text == L'%' || *text < L' ') {
            return false;
        }
    }
    return true;
}

}  // namespace

RootsStatus InitProfileRoots() {
    g_userName[0] = L'\0';
    g_roamingRoot[0] = L'\0';
    g_localRoot[0] = L'\0';

    const bool haveUserName = PlatformGetUserName(g_userName, kUserNameCapacity);
    // A failed lookup may have written anything; it must not reach a path.
    if (!haveUserName || TextLength(g_userName, kUserNameCapacity) == kUserNameCapacity) {
        g_userName[0] = L'\0';
        return kNoUserName;
    }
    if (g_userName[0] == L'\0') {
        return kNoUserName;
    }
    const wchar_t* systemDrive = PlatformGetEnvironment(L"SystemDrive");
    if (systemDrive == nullptr || systemDrive[0] == L'\0') {
        return kNoSystemDrive;
    }
    if (!FormatText(g_roamingRoot, kRootCapacity, L"%ls\\Users\\%ls\\AppData\\Roaming", systemDrive,
                    g_userName) ||
        !FormatText(g_localRoot, kRootCapacity, L"%ls\\Users\\%ls\\AppData\\Local", systemDrive,
                    g_userName)) {
        g_roamingRoot[0] = L'\0';
        g_localRoot[0] = L'\0';
        return kRootTooLong;
    }
    if (!IsSafeForCommandLine(g_roamingRoot) || !IsSafeForCommandLine(g_localRoot)) {
        return kUnsafeCharacter;
    }
    return kRootsUsable;
}

const char* DescribeRootsStatus(RootsStatus status) {
    switch (status) {
        case kRootsUsable:
            return "Brenthaul: the profile roots are usable\n";
        case kNoUserName:
            return "Brenthaul: the current user's name could not be obtained; nothing was copied\n";
        case kNoSystemDrive:
            return "Brenthaul: the variable SystemDrive is not set; nothing was copied\n";
        case kRootTooLong:
            return "Brenthaul: the profile path is too long; nothing was copied\n";
        case kUnsafeCharacter:
            return "Brenthaul: the profile path holds a double quote, a percent sign or a control "
                   "character; nothing was copied\n";
    }
    return "Brenthaul: the profile roots are not usable; nothing was copied\n";
}

bool PackageLocalFolder(wchar_t* folder, size_t capacity, const wchar_t* packageId) {
    return FormatText(folder, capacity, L"%ls\\Microsoft\\AppV\\Client\\VFS\\%ls", g_localRoot,
                      packageId);
}

bool PackageSavedFolder(wchar_t* folder, size_t capacity, const wchar_t* packageId) {
    return FormatText(folder, capacity, L"%ls\\Microsoft\\AppV\\Client\\VFS\\SavedFromLocal\\%ls",
                      g_roamingRoot, packageId);
}

bool VfsFolder(wchar_t* folder, size_t capacity) {
    return FormatText(folder, capacity, L"%ls\\Microsoft\\AppV\\Client\\VFS", g_localRoot);
}

bool SavedArea(wchar_t* folder, size_t capacity) {
    return FormatText(folder, capacity, L"%ls\\Microsoft\\AppV\\Client\\VFS\\SavedFromLocal",
                      g_roamingRoot);
}
