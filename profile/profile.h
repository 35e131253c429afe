// The user's two profile roots and the App-V folders under them.
#ifndef BRENTHAUL_PROFILE_PROFILE_H
#define BRENTHAUL_PROFILE_PROFILE_H

#include <stddef.h>

// Bounds in characters, terminator included.
const size_t kUserNameCapacity = 257;
const size_t kRootCapacity = 257;
const size_t kFolderCapacity = 2048;

// The three process-wide buffers, written by InitProfileRoots and read-only afterwards.
extern wchar_t g_userName[kUserNameCapacity];
extern wchar_t g_roamingRoot[kRootCapacity];
extern wchar_t g_localRoot[kRootCapacity];

// What InitProfileRoots found. Only kRootsUsable lets a transfer run: the others would make
// the tool copy to or remove from a folder the user never meant.
enum RootsStatus {
    kRootsUsable,
    kNoUserName,       // the user name could not be obtained, or is empty
    kNoSystemDrive,    // SystemDrive is not set, or is empty
    kRootTooLong,      // a root does not fit its bound
    kUnsafeCharacter,  // a root holds '"', '%' or a control character
};

// Works out the roots "<SystemDrive>\Users\<user>\AppData\Roaming" and "...\Local" from
// SystemDrive (used unchanged) and the current user's name. Runs first in every run. A root
// that cannot be built is left empty.
RootsStatus InitProfileRoots();

// One line for standard error that names the cause, beginning "Brenthaul: ".
const char* DescribeRootsStatus(RootsStatus status);

// True unless a root differs from the folder Windows set for the user at logon: LOCALAPPDATA for
// the local root, APPDATA for the roaming root. A variable that is not set, or is empty, is not
// compared. The roots have been worked out and are usable.
bool RootsAreTheUsersOwn();

// Records a warning event (kEventRootsNotOwn) for the transfer named `transferName` (as "save of
// package <id>"), naming each root that differs from its variable and the variable's value. The
// transfer runs as it would otherwise: the event only tells the admin.
void ReportRootsNotTheUsersOwn(const wchar_t* transferName);

// The App-V folders. Each returns false, leaving `folder` empty, when the text does not fit
// `capacity`. `packageId` has been checked to be a GUID.
bool PackageLocalFolder(wchar_t* folder, size_t capacity, const wchar_t* packageId);
bool PackageSavedFolder(wchar_t* folder, size_t capacity, const wchar_t* packageId);
// The local VFS folder, the source of an all-package save and the destination of a restore.
bool VfsFolder(wchar_t* folder, size_t capacity);
// The save area SavedFromLocal in the roaming VFS folder.
bool SavedArea(wchar_t* folder, size_t capacity);

#endif
