// Bounded wide-text formatting: the one way every path, command line and message text is built.
#ifndef BRENTHAUL_COMMON_BOUNDED_FORMAT_H
#define BRENTHAUL_COMMON_BOUNDED_FORMAT_H

#include <stddef.h>

// Fills `buffer` (capacity in characters, terminator included) from a printf-style wide format.
// Wide string arguments are written "%ls". Returns true when the whole text and its terminator
// fit. When they do not, or the format fails, returns false and leaves `buffer` empty, so a
// text cut short can never be used by mistake.
bool FormatText(wchar_t* buffer, size_t capacity, const wchar_t* format, ...);

// Number of characters before the terminator, at most `capacity`.
size_t TextLength(const wchar_t* text, size_t capacity);

// `c` with an ASCII capital A to Z made small; any other character, whatever the locale, as is.
wchar_t AsciiLower(wchar_t c);

// Replaces each control character (below U+0020) of the first `length` characters of `text` with
// '?', so that text from outside (arguments, user names, variables) cannot add lines of its own
// to an event's text.
void MaskControlCharacters(wchar_t* text, size_t length);

#endif
