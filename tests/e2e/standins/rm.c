// rm -r PATH: removes a folder tree (or a file). Exit status 0 on success, 1 when PATH does not
// exist or could not be removed, 2 for any other command line; BRENTHAUL_E2E_RM_STATUS forces a
// status without removing anything.
#include <stdio.h>

#include "standin.h"

int wmain(int argc, wchar_t** argv) {
    StandinRecord("rm", argc, argv);
    int status;
    if (StandinForcedStatus(L"BRENTHAUL_E2E_RM_STATUS", &status)) {
        return status;
    }
    if (argc != 3 || wcscmp(argv[1], L"-r") != 0) {
        fputs("rm: usage: rm -r PATH\n", stderr);
        return 2;
    }
    if (GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES) {
        fputs("rm: cannot remove: no such file or directory\n", stderr);
        return 1;
    }
    if (!StandinRemoveTree(argv[2])) {
        fputs("rm: cannot remove everything\n", stderr);
        return 1;
    }
    return 0;
}
