#include "profile/profile.h"

#include "common/bounded_format.h"
#include "common/events.h"
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

// Reads the next character of a folder path as SameFolder compares it, and moves `cursor` past
// it: a run of backslashes reads as one backslash, or as the end when nothing follows it, and an
// ASCII capital reads as its small letter.
wchar_t ReadFolderCharacter(const wchar_t** cursor) {
    const wchar_t* at = *cursor;
    if (*at == L'\\') {
        while (*at == L'\\') {
            ++at;
        }
        *cursor = at;
        return *at == L'\0' ? L'\0' : L'\\';
    }
    if (*at == L'\0') {
        return L'\0';
    }
    *cursor = at + 1;
    return AsciiLower(*at);
}

// True when `a` and `b` name the same folder as far as their texts tell: letter case ignored,
// doubled backslashes (C:\\Users from a SystemDrive of "C:\") and a trailing backslash too.
// Only ASCII letters are folded; other letters must match exactly, so a name that differs only in
// the case of a non-ASCII letter gives a needless warning, never a missed one.
bool SameFolder(const wchar_t* a, const wchar_t* b) {
    // Windows usually sets the variables exactly as the roots are built: a plain comparison first
    // keeps a good run's cost down.
    for (size_t i = 0; a[i] == b[i]; ++i) {
        if (a[i] == L'\0') {
            return true;
        }
    }
    for (;;) {
        const wchar_t fromA = ReadFolderCharacter(&a);
        if (fromA != ReadFolderCharacter(&b)) {
            return false;
        }
        if (fromA == L'\0') {
            return true;
        }
    }
}

// The folder Windows set for the user at logon in `variable`, or nullptr when there is nothing to
// compare with.
const wchar_t* LogonFolder(const wchar_t* variable) {
    const wchar_t* value = PlatformGetEnvironment(variable);
    return (value == nullptr || value[0] == L'\0') ? nullptr : value;
}

// True when `root` names `folder`, the value of its variable, or there is nothing to compare.
bool RootMatches(const wchar_t* root, const wchar_t* folder) {
    return folder == nullptr || SameFolder(root, folder);
}

// Bound of one root's line in the event text, terminator included: with the longest root, a
// variable's value of up to about 700 characters is shown.
const size_t kRootLineCapacity = 1024;

// Fills `line` with one line of the event text, ending in a line break, for a root that is not
// the user's own, or leaves it empty when the root is. A value too long to show is named but not
// shown; control characters in it show as '?'.
void FillRootLine(wchar_t* line, const wchar_t* label, const wchar_t* root,
                  const wchar_t* variable) {
    line[0] = L'\0';
    const wchar_t* folder = LogonFolder(variable);
    if (RootMatches(root, folder)) {
        return;
    }
    const size_t lineBreak = 2;
    if (!FormatText(line, kRootLineCapacity - lineBreak, L"%ls root: %ls, but %ls is %ls", label,
                    root, variable, folder)) {
        FormatText(line, kRootLineCapacity - lineBreak,
                   L"%ls root: %ls, but %ls names another folder (too long to show)", label, root,
                   variable);
    }
    const size_t length = TextLength(line, kRootLineCapacity);
    MaskControlCharacters(line, length);
    FormatText(line + length, kRootLineCapacity - length, L"\r\n");
}

}  // namespace

bool RootsAreTheUsersOwn() {
    return RootMatches(g_localRoot, LogonFolder(L"LOCALAPPDATA")) &&
           RootMatches(g_roamingRoot, LogonFolder(L"APPDATA"));
}

void ReportRootsNotTheUsersOwn(const wchar_t* transferName) {
    wchar_t localLine[kRootLineCapacity];
    wchar_t roamingLine[kRootLineCapacity];
    FillRootLine(localLine, L"Local", g_localRoot, L"LOCALAPPDATA");
    FillRootLine(roamingLine, L"Roaming", g_roamingRoot, L"APPDATA");
    wchar_t text[kEventTextCapacity];
    // The name, the user name and both lines are bounded well within the text's bound.
    if (FormatText(text, kEventTextCapacity,
                   L"The %ls for user %ls used profile folders that are not the ones Windows set "
                   L"for this user at logon, so its data may be saved to, or restored from, a "
                   L"folder that does not roam. The transfer ran as usual.\r\n"
                   L"%ls%ls"
                   L"What to check: Brenthaul builds the folders as <SystemDrive>\\Users\\<user "
                   L"name>\\AppData\\Local and ...\\AppData\\Roaming. A profile folder named "
                   L"otherwise than the account (such as user1.DOMAIN, or after the account was "
                   L"renamed), profiles on another drive, and AppData\\Roaming redirected to a "
                   L"share are not followed.",
                   transferName, g_userName, localLine, roamingLine)) {
        PlatformReportEvent(kEventWarning, kEventRootsNotOwn, text);
    }
}

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
