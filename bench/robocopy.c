/* Stand-in robocopy for the Wine benchmark: returns 0 at once, so a run measures only process
 * starts. With BRENTHAUL_BENCH_ECHO set it names itself on standard error, which lets the bench
 * confirm, outside the timed runs, that this one is found ahead of Wine's own robocopy. */
#include <stdio.h>
#include <stdlib.h>

int main(void) {
    if (getenv("BRENTHAUL_BENCH_ECHO") != NULL) {
        fputs("stand-in robocopy\n", stderr);
    }
    return 0;
}
