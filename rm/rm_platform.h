// Everything rm.exe asks of the operating system. rm/rm_platform_win32.cpp implements these with
// Win32 for the real exe; the native tests link a recording fake file system instead, so the
// rules for links and read-only entries are tested without Windows.
//
// Paths handed to these functions are full paths in the `\\?\` form, which Windows takes up to
// 32767 characters long. Each function returns 0 when it succeeded, or else the Windows error
// code (GetLastError) that says why not.
#ifndef BRENTHAUL_RM_RM_PLATFORM_H
#define BRENTHAUL_RM_RM_PLATFORM_H

#include <stddef.h>

// Windows error codes that rm.exe produces or looks for itself.
const unsigned kErrorFileNotFound = 2;       // ERROR_FILE_NOT_FOUND
const unsigned kErrorNoMoreFiles = 18;       // ERROR_NO_MORE_FILES
const unsigned kErrorFilenameTooLong = 206;  // ERROR_FILENAME_EXCED_RANGE

// Windows file attributes that rm.exe looks at.
const unsigned kAttributeReadOnly = 0x1;        // FILE_ATTRIBUTE_READONLY
const unsigned kAttributeDirectory = 0x10;      // FILE_ATTRIBUTE_DIRECTORY
const unsigned kAttributeReparsePoint = 0x400;  // FILE_ATTRIBUTE_REPARSE_POINT

// Capacity of an entry's name, terminator included (MAX_PATH, as a folder listing gives it).
const size_t kNameCapacity = 260;

// Fills `full` (`capacity` characters) with the full path of `path` as GetFullPathNameW makes it:
// relative and drive-relative paths are taken from the current folder, '/' becomes '\', "." and
// ".." are resolved. kErrorFilenameTooLong when the result does not fit.
unsigned RmFullPath(const wchar_t* path, wchar_t* full, size_t capacity);

// The attributes of the entry `path` names: of a link itself, never of what it points to.
unsigned RmGetAttributes(const wchar_t* path, unsigned* attributes);

// Entry number `index` (from 0) of the folder `folder`, "." and ".." left out, in the order the
// file system lists them: its name (at most kNameCapacity characters, terminator included) and
// its attributes, those of a link itself. kErrorNoMoreFiles when the folder has no more entries.
// Each call lists the folder afresh, so no listing stays open while entries are removed.
unsigned RmFindEntry(const wchar_t* folder, size_t index, wchar_t* name, unsigned* attributes);

// Clears the read-only attribute of the entry `path` itself, keeping its other attributes
// (`attributes` are its present ones). On a link, the link's own attribute: what the link points
// to is not opened.
unsigned RmClearReadOnly(const wchar_t* path, unsigned attributes);

// Removes the file (or file link) `path`: DeleteFileW.
unsigned RmDeleteFile(const wchar_t* path);

// Removes the empty folder (or folder link) `path`: RemoveDirectoryW.
unsigned RmRemoveDirectory(const wchar_t* path);

// Fills `text` (`capacity` characters) with the system's message for `error`, as FormatMessageW
// gives it (line breaks and all). Returns false when the system has no message for it.
bool RmSystemMessage(unsigned error, wchar_t* text, size_t capacity);

// Writes `line` and a line break to standard error.
void RmWriteError(const wchar_t* line);

#endif
