// The show takes no arguments; everything it needs is inside the executable.
#include "core/startup.h"

int main() {
    DemoMain();
}
