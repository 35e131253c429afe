// Command-line classification and dispatch: one run of Brenthaul.exe.
#ifndef BRENTHAUL_CLI_BRENTHAUL_H
#define BRENTHAUL_CLI_BRENTHAUL_H

#include <stddef.h>

// Process exit statuses.
const int kStatusDone = 0;               // a transfer ran; its commands' statuses do not count
const int kStatusBadArgumentCount = -1;  // no arguments, or more than three
const int kStatusBadSwitch = -2;         // two arguments: the first is no single-package switch
const int kStatusBadAllSwitch = -3;      // one argument: it is no all-package switch
const int kStatusBadPackageId = -4;      // the package id is not a GUID
const int kStatusNotUsable = -5;         // the profile roots or a command text are not usable
const int kStatusNoOperation = -6;       // three arguments: neither sets save or restore

const size_t kPackageIdLength = 36;

// One whole run: works out the profile roots, classifies the command line (`argc` counts the
// program's own path in argv[0]), runs at most one transfer or prints the usage text, and
// returns the exit status. A refused run records one event in the Application log
// (common/events.h): -4 and -5 as errors, -1, -2, -3 and -6 as warnings.
int RunBrenthaul(int argc, const wchar_t* const* argv);

// Writes the usage text to standard output.
void PrintUsage();

// Whole-string comparison that ignores the case of the ASCII letters A to Z and nothing else.
bool SwitchMatches(const wchar_t* argument, const wchar_t* switchText);

// True for exactly 36 characters shaped as a GUID without braces: '-' at the 9th, 14th, 19th
// and 24th characters and ASCII hexadecimal digits everywhere else.
bool IsPackageGuid(const wchar_t* text);

#endif
