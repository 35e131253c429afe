// Entry point of rm.exe. The arguments arrive as wide strings, split by the runtime's standard
// rules and not expanded as wildcards.
#include "rm/rm.h"

int wmain(int argc, wchar_t** argv) { return RunRm(argc, argv); }
