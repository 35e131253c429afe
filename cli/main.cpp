// Entry point of Brenthaul.exe. The arguments arrive as wide strings, split by the runtime's
// standard rules and not expanded as wildcards.
#include "cli/brenthaul.h"

int wmain(int argc, wchar_t** argv) { return RunBrenthaul(argc, argv); }
