// The show reads no command line: everything it needs is inside the executable. Only --help
// is answered, so that asking does not start the show; every other argument is ignored.
#include <cstdio>
#include <cstring>

#include "core/startup.h"

static const char USAGE[] =
    "usage: tolvmarka\n"
    "\n"
    "Plays the show: asks whether to run full screen (Yes: 640 x 480 full screen, No: a\n"
    "window), then plays its scenes to its music and ends. Escape or closing the window ends\n"
    "it early. Needs an X display; build/capture/tolvmarka-capture renders it to a video\n"
    "without one.\n";

int main(int argc, char **argv) {
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--help") == 0) {
            fputs(USAGE, stdout);
            return 0;
        }
    }
    DemoMain();
}
