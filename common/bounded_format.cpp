#include "common/bounded_format.h"

#include <stdarg.h>
#include <wchar.h>

#ifdef _WIN32
// The Windows runtime's own formatter: mingw's C99 replacement would add about 40 KB to the exe.
// It returns a negative count when the text does not fit, and leaves the buffer unterminated
// when the text fills it exactly; both count as overflow below.
#define BRENTHAUL_VFORMAT _vsnwprintf
#else
// Standard C: writes at most capacity - 1 characters and returns -1 when the text does not fit.
#define BRENTHAUL_VFORMAT vswprintf
#endif

bool FormatText(wchar_t* buffer, size_t capacity, const wchar_t* format, ...) {
    if (buffer == nullptr || capacity == 0) {
        return false;
    }
    va_list args;
    va_start(args, format);
    const int written = BRENTHAUL_VFORMAT(buffer, capacity, format, args);
    va_end(args);
    if (written < 0 || static_cast<size_t>(written) >= capacity) {
        buffer[0] = L'\0';
        return false;
    }
    buffer[written] = L'\0';
    return true;
}

wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? c - L'A' + L'a' : c; }

size_t TextLength(const wchar_t* text, size_t capacity) {
    size_t length = 0;
    while (length < capacity && text[length] != L'\0') {
        ++length;
    }
    return length;
}

void MaskControlCharacters(wchar_t* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (text[i] < L' ') {
            text[i] = L'?';
        }
    }
}
