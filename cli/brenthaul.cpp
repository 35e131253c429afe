#include "cli/brenthaul.h"

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

wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? c - L'A' + L'a' : c; }

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

int Refuse(int status) {
    PrintUsage();
    return status;
}

int RefuseRoots(RootsStatus roots) {
    PlatformWriteError(DescribeRootsStatus(roots));
    return kStatusNotUsable;
}

// Maps a transfer's result onto the exit status.
int TransferStatus(int result) { return result == kTransferDone ? kStatusDone : kStatusNotUsable; }

int RunPackageTransfer(const Request& request, const wchar_t* idArgument, RootsStatus roots) {
    // An id that is not a GUID could name the whole VFS folder, leave it with "..\", or carry
    // a second command to the interpreter: it never reaches a command line.
    if (!IsPackageGuid(idArgument)) {
        return Refuse(kStatusBadPackageId);
    }
    if (roots != kRootsUsable) {
        return RefuseRoots(roots);
    }
    // The checked argument is the package id: a GUID is 36 characters and holds nothing the
    // interpreter reads as syntax, so it is passed on as it stands.
    const int result = request.save ? SavePackage(idArgument, request.clean, request.debug)
                                    : RestorePackage(idArgument, request.clean, request.debug);
    return TransferStatus(result);
}

int RunAllTransfer(const wchar_t* argument, RootsStatus roots) {
    bool save;
    if (SwitchMatches(argument, L"/saveall") || SwitchMatches(argument, L"/cleansaveall")) {
        save = true;  // no clean step in this scope: the clean form runs exactly the same
    } else if (SwitchMatches(argument, L"/restoreall") ||
               SwitchMatches(argument, L"/cleanrestoreall")) {
        save = false;
    } else {
        return Refuse(kStatusBadAllSwitch);
    }
    if (roots != kRootsUsable) {
        return RefuseRoots(roots);
    }
    return TransferStatus(save ? SaveAllPackages() : RestoreAllPackages());
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
    Request request = {false, false, false, false};

    switch (argc) {
        case 4:  // two switch positions, then the package id
            ApplyPackageSwitch(argv[1], true, &request);
            ApplyPackageSwitch(argv[2], true, &request);
            if (!request.save && !request.restore) {
                return Refuse(kStatusNoOperation);
            }
            return RunPackageTransfer(request, argv[3], roots);
        case 3:  // one single-package switch, then the package id
            if (!ApplyPackageSwitch(argv[1], false, &request)) {
                return Refuse(kStatusBadSwitch);
            }
            return RunPackageTransfer(request, argv[2], roots);
        case 2:
            return RunAllTransfer(argv[1], roots);
        default:
            return Refuse(kStatusBadArgumentCount);
    }
}
