// The events Brenthaul records in the Windows Application log, under the source "Brenthaul".
// One id per kind of failure; a run that goes well records nothing. Admins filter on these ids,
// so an id never changes its meaning. cli/brenthaul_events.mc gives each the message "%1" (the
// whole text is the event's one string); tests/pe/check_exes.py checks that the exe's message
// table holds exactly the ids below.
#ifndef BRENTHAUL_COMMON_EVENTS_H
#define BRENTHAUL_COMMON_EVENTS_H

#include <stddef.h>

// Transfers (transfer/).
const unsigned kEventMirrorFailed = 101;   // error: robocopy returned 8 or more, or less than 0
const unsigned kEventRemovalFailed = 102;  // warning: rm -r returned non-zero; the mirror still ran

// Refusals and command lines (cli/).
const unsigned kEventBadPackageId = 201;    // error: exit status -4, the id is not a GUID
const unsigned kEventNotUsable = 202;       // error: exit status -5, profile paths or a text
const unsigned kEventBadCommandLine = 203;  // warning: exit status -1, -2, -3 or -6

// Profile roots (profile/).
const unsigned kEventRootsNotOwn = 301;  // warning: a root is not the folder Windows set at logon

// Bound of an event's text in characters, terminator included. It holds the longest mirror
// command (4095 characters), the longest user name (256) and the prose around them.
const size_t kEventTextCapacity = 6144;

#endif
