#include "cli/brenthaul.h"

#include "common/bounded_format.h"
#include "common/events.h"
#include "platform/platform.h"
#include "profile/profile.h"
#include "transfer/transfer.h"

namespace {

const char kUsageText[] =
    "\n"
    "Brenthaul:  Tool for use in App-V 5 scripting to save application data redirected to the "
    "local profile to a roaming/homedrive location and back.\n"
    "\n"
    "--- Single App use ---\n"
    "Brenthaul [/debug] [/save] [/restore] [/cleansave] [/cleanrestore] PkgGuidWithoutBrackets\n"
    "  Saves or restores application related data from isolated non-roaming locations\n"
    "  to use roaming locations under App - V 5 and above for the identified package.\n"
    "  Used in App - V VE start / stop scripts.\n"
    "\n"
    "--- All App use ---\n"
    "Brenthaul [/saveall] [/restoreall] [/cleansaveall] [/cleanrestoreall] \n"
    "  Saves or restores application related data isolated non-roaming locations to\n"
    "  use roaming locations under App-V 5 and above for all user packages.\n"
    "  Used with App-V for logon / off scripts.\n"
    "\n";

// What the switches of one command line ask for; flags add up and are never cleared.
struct Request {
    bool save;
    bool restore;
    bool clean;
    bool debug;
};

bool IsAsciiHexDigit(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

// Sets the flags of the first single-package switch (or "/debug", where allowed) that
// `argument` matches. Returns false when it matches none of them.
bool ApplyPackageSwitch(const wchar_t* argument, bool debugAllowed, Request* request) {
    if (SwitchMatches(argument, L"/save")) {
        request->save = true;
    } else if (SwitchMatches(argument, L"/restore")) {
        request->restore = true;
    } else if (SwitchMatches(argument, L"/cleansave")) {
        request->save = true;
        request->clean = true;
    } else if (SwitchMatches(argument, L"/cleanrestore")) {
        request->restore = true;
        request->clean = true;
    } else if (debugAllowed && SwitchMatches(argument, L"/debug")) {
        request->debug = true;
    } else {
        return false;
    }
    return true;
}

// The arguments as the process received them, for the texts of events.
struct CommandLine {
    int argc;
    const wchar_t* const* argv;
};

// Bound of the arguments as an event shows them, terminator included. Longer arguments (a
// command line may hold some 32,000 characters) are not shown at all rather than cut short.
const size_t kShownArgumentsCapacity = 1024;

// Fills `shown` (kShownArgumentsCapacity) with the arguments for an event text: each in double
// quotes, separated by blanks, with control characters as '?'.
void ShowArguments(wchar_t* shown, const CommandLine& line) {
    if (line.argc < 2) {
        FormatText(shown, kShownArgumentsCapacity, L"none");
        return;
    }
    size_t length = 0;
    for (int i = 1; i < line.argc; ++i) {
        if (!FormatText(shown + length, kShownArgumentsCapacity - length,
                        i == 1 ? L"\"%ls\"" : L" \"%ls\"", line.argv[i])) {
            FormatText(shown, kShownArgumentsCapacity, L"too long to show");
            return;
        }
        length += TextLength(shown + length, kShownArgumentsCapacity - length);
    }
    MaskControlCharacters(shown, length);
}

// Fills `shown` (kUserNameCapacity) with the user's name for an event text. A refusal may come
// from a name holding control characters: they show as '?'.
void ShowUser(wchar_t* shown) {
    if (!FormatText(shown, kUserNameCapacity, L"%ls", g_userName) || shown[0] == L'\0') {
        FormatText(shown, kUserNameCapacity, L"(the name could not be obtained)");
    }
    MaskControlCharacters(shown, TextLength(shown, kUserNameCapacity));
}

// Copies an ASCII line, without its line feed, into `wide` (capacity characters). Returns false,
// leaving `wide` empty, when it does not fit.
bool WidenLine(wchar_t* wide, size_t capacity, const char* line) {
    size_t length = 0;
    for (; line[length] != '\0' && line[length] != '\n'; ++length) {
        if (length + 1 >= capacity) {
            wide[0] = L'\0';
            return false;
        }
        wide[length] = static_cast<wchar_t>(static_cast<unsigned char>(line[length]));
    }
    wide[length] = L'\0';
    return true;
}

const wchar_t* DescribeBadCommandLine(int status) {
    switch (status) {
        case kStatusBadArgumentCount:
            return L"no arguments, or more than three";
        case kStatusBadSwitch:
            return L"two arguments, and the first is not /save, /restore, /cleansave or "
                   L"/cleanrestore";
        case kStatusBadAllSwitch:
            return L"one argument, and it is not /saveall, /restoreall, /cleansaveall or "
                   L"/cleanrestoreall";
        default:
            return L"three arguments, and neither of the first two asks for a save or a restore";
    }
}

// Records the event of a refused command line: a package id that is not a GUID (an error, since
// a transfer was asked for) or a command line of no known form (a warning).
void RecordRefusedLine(int status, const CommandLine& line) {
    wchar_t arguments[kShownArgumentsCapacity];
    ShowArguments(arguments, line);
    wchar_t user[kUserNameCapacity];
    ShowUser(user);
    wchar_t text[kEventTextCapacity];
    // The arguments shown and the user name are bounded well within the text's bound.
    if (status == kStatusBadPackageId) {
        if (FormatText(text, kEventTextCapacity,
                       L"Brenthaul refused to run and copied nothing (exit status %d): the package "
                       L"id, the last argument, is not a GUID. It must be exactly 36 characters, "
                       L"hexadecimal digits with dashes at the 9th, 14th, 19th and 24th places, "
                       L"without braces.\r\n"
                       L"Arguments (%d): %ls\r\n"
                       L"User: %ls\r\n"
                       L"What to check: the package id in the Arguments of the App-V script: the "
                       L"PackageId of the package, as Get-AppvClientPackage shows it and as it "
                       L"names the package's folder under "
                       L"%%LOCALAPPDATA%%\\Microsoft\\AppV\\Client\\VFS.",
                       status, line.argc - 1, arguments, user)) {
            PlatformReportEvent(kEventError, kEventBadPackageId, text);
        }
        return;
    }
    if (FormatText(text, kEventTextCapacity,
                   L"Brenthaul did not understand its command line and ran nothing (exit status "
                   L"%d: %ls).\r\n"
                   L"Arguments (%d): %ls\r\n"
                   L"User: %ls\r\n"
                   L"What to check: the Arguments of the App-V script (UserScripts in the "
                   L"package's DeploymentConfig.xml or UserConfig.xml), or of the logon or logoff "
                   L"script, that starts Brenthaul. Its forms are \"Brenthaul [/debug] "
                   L"/save|/restore|/cleansave|/cleanrestore PackageGuid\" and \"Brenthaul "
                   L"/saveall|/restoreall|/cleansaveall|/cleanrestoreall\".",
                   status, DescribeBadCommandLine(status), line.argc - 1, arguments, user)) {
        PlatformReportEvent(kEventWarning, kEventBadCommandLine, text);
    }
}

// Records the event of a transfer refused with status -5; `cause` is the line the tool wrote to
// standard error.
void RecordNotUsable(const char* cause, const CommandLine& line) {
    wchar_t causeLine[kShownArgumentsCapacity];
    wchar_t arguments[kShownArgumentsCapacity];
    ShowArguments(arguments, line);
    wchar_t user[kUserNameCapacity];
    ShowUser(user);
    wchar_t text[kEventTextCapacity];
    if (WidenLine(causeLine, kShownArgumentsCapacity, cause) &&
        FormatText(text, kEventTextCapacity,
                   L"Brenthaul refused to run and copied nothing (exit status %d). It wrote to "
                   L"standard error:\r\n"
                   L"%ls\r\n"
                   L"Arguments (%d): %ls\r\n"
                   L"User: %ls\r\n"
                   L"What to check: Brenthaul builds the user's folders as "
                   L"<SystemDrive>\\Users\\<user name>\\AppData\\Local and "
                   L"...\\AppData\\Roaming, each path and command line within a fixed length. "
                   L"The variable SystemDrive must be set, and the user name must be known and "
                   L"give paths of at most 256 characters without a double quote, a percent sign "
                   L"or a control character.",
                   kStatusNotUsable, causeLine, line.argc - 1, arguments, user)) {
        PlatformReportEvent(kEventError, kEventNotUsable, text);
    }
}

int Refuse(int status, const CommandLine& line) {
    PrintUsage();
    RecordRefusedLine(status, line);
    return status;
}

int RefuseRoots(RootsStatus roots, const CommandLine& line) {
    PlatformWriteError(DescribeRootsStatus(roots));
    RecordNotUsable(DescribeRootsStatus(roots), line);
    return kStatusNotUsable;
}

// Maps a transfer's result onto the exit status.
int TransferStatus(int result, const CommandLine& line) {
    if (result == kTransferDone) {
        return kStatusDone;
    }
    RecordNotUsable(DescribeTextTooLong(), line);
    return kStatusNotUsable;
}

int RunPackageTransfer(const Request& request, const CommandLine& line, RootsStatus roots) {
    const wchar_t* idArgument = line.argv[line.argc - 1];
    // An id that is not a GUID could name the whole VFS folder, leave it with "..\", or carry
    // a second command to the interpreter: it never reaches a command line.
    if (!IsPackageGuid(idArgument)) {
        return Refuse(kStatusBadPackageId, line);
    }
    if (roots != kRootsUsable) {
        return RefuseRoots(roots, line);
    }
    // The checked argument is the package id: a GUID is 36 characters and holds nothing the
    // interpreter reads as syntax, so it is passed on as it stands.
    const int result = request.save ? SavePackage(idArgument, request.clean, request.debug)
                                    : RestorePackage(idArgument, request.clean, request.debug);
    return TransferStatus(result, line);
}

int RunAllTransfer(const CommandLine& line, RootsStatus roots) {
    const wchar_t* argument = line.argv[1];
    bool save;
    if (SwitchMatches(argument, L"/saveall") || SwitchMatches(argument, L"/cleansaveall")) {
        save = true;  // no clean step in this scope: the clean form runs exactly the same
    } else if (SwitchMatches(argument, L"/restoreall") ||
               SwitchMatches(argument, L"/cleanrestoreall")) {
        save = false;
    } else {
        return Refuse(kStatusBadAllSwitch, line);
    }
    if (roots != kRootsUsable) {
        return RefuseRoots(roots, line);
    }
    return TransferStatus(save ? SaveAllPackages() : RestoreAllPackages(), line);
}

}  // namespace

bool SwitchMatches(const wchar_t* argument, const wchar_t* switchText) {
    for (;; ++argument, ++switchText) {
        if (AsciiLower(*argument) != AsciiLower(*switchText)) {
            return false;
        }
        if (*argument == L'\0') {
            return true;
        }
    }
}

bool IsPackageGuid(const wchar_t* text) {
    for (size_t i = 0; i < kPackageIdLength; ++i) {
        const bool dashPosition = i == 8 || i == 13 || i == 18 || i == 23;
        if (dashPosition ? text[i] != L'-' : !IsAsciiHexDigit(text[i])) {
            return false;  // also stops at a terminator before the 36th character
        }
    }
    return text[kPackageIdLength] == L'\0';
}

void PrintUsage() { PlatformWriteOutput(kUsageText); }

int RunBrenthaul(int argc, const wchar_t* const* argv) {
    // The roots are worked out first in every run; whether they are usable matters only once a
    // transfer is about to run, so a bad command line still gets its usage text.
    const RootsStatus roots = InitProfileRoots();
    const CommandLine line = {argc, argv};
    Request request = {false, false, false, false};

    switch (argc) {
        case 4:  // two switch positions, then the package id
            ApplyPackageSwitch(argv[1], true, &request);
            ApplyPackageSwitch(argv[2], true, &request);
            if (!request.save && !request.restore) {
                return Refuse(kStatusNoOperation, line);
            }
            return RunPackageTransfer(request, line, roots);
        case 3:  // one single-package switch, then the package id
            if (!ApplyPackageSwitch(argv[1], false, &request)) {
                return Refuse(kStatusBadSwitch, line);
            }
            return RunPackageTransfer(request, line, roots);
        case 2:
            return RunAllTransfer(line, roots);
        default:
            return Refuse(kStatusBadArgumentCount, line);
    }
}
