// The four transfers: robocopy mirrors a package's folder, or the whole VFS folder, between the
// local profile and the save area in the roaming profile.
#ifndef BRENTHAUL_TRANSFER_TRANSFER_H
#define BRENTHAUL_TRANSFER_TRANSFER_H

#include <stddef.h>

// Bounds in characters, terminator included.
const size_t kRemovalCommandCapacity = 2054;
const size_t kMirrorCommandCapacity = 4096;
const size_t kStatusTextCapacity = 80;

// What a transfer returns: 0 once its commands ran, whatever they returned; kTextTooLong when a
// folder or command text did not fit its bound, in which case nothing ran.
const int kTransferDone = 0;
const int kTextTooLong = -5;

// Every transfer records events in the Application log (common/events.h): an error when the
// mirror returns 8 or more (robocopy's failures) or a negative value, a warning when the clean
// step returns non-zero, and a warning before its first command when the profile roots are not
// the user's own (profile.h). A transfer that goes well records nothing.

// One package, named by its GUID. With `clean`, the destination is removed before the mirror,
// unless the source folder is missing (the destination may then be the only copy). With
// `debug`, every command that returns non-zero is also reported in a message box.
int SavePackage(const wchar_t* packageId, bool clean, bool debug);
int RestorePackage(const wchar_t* packageId, bool clean, bool debug);

// All packages at once: one mirror command, no clean step, no message box.
int SaveAllPackages();
int RestoreAllPackages();

// The line a transfer writes to standard error when a text does not fit its bound, beginning
// "Brenthaul: " and ending in a line feed.
const char* DescribeTextTooLong();

#endif
