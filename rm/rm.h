// rm.exe: removes files, and with -r folders and everything in them. Brenthaul's clean step runs
// `rm -r "<folder>"` through the command interpreter; this is the command it finds.
#ifndef BRENTHAUL_RM_RM_H
#define BRENTHAUL_RM_RM_H

#include <stddef.h>

// Process exit statuses.
const int kRmRemoved = 0;  // every operand is gone
const int kRmFailed = 1;   // a usage error (nothing removed), or something was not removed

// Capacity of a path, terminator included: the longest path Windows takes (in the `\\?\` form)
// is 32767 characters. An entry whose full path would be longer is not removed; it is reported
// as "too long", and so the folders above it stay too.
const size_t kPathCapacity = 32768;

// One whole run: `argc` counts the program's own path in argv[0]. Returns the exit status.
int RunRm(int argc, const wchar_t* const* argv);

// Fills `extended` (`capacity` characters) with the `\\?\` form of `full`, a full path as
// GetFullPathNameW gives it: "C:\x" becomes "\\?\C:\x", "\\server\share\x" becomes
// "\\?\UNC\server\share\x", "\\.\" becomes "\\?\", and a path already in that form stays.
// Separators at the end are dropped, except the one that ends a drive's root. Returns false,
// leaving `extended` empty, when the result does not fit.
bool MakeExtendedPath(const wchar_t* full, wchar_t* extended, size_t capacity);

#endif
