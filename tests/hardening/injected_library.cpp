// A library someone else would like the show to load: its constructor leaves a mark at
// $TOLVMARKA_INJECTED_MARK. It exports nothing the show calls.
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

__attribute__((constructor)) static void Injected() {
    if (const char *mark = getenv("TOLVMARKA_INJECTED_MARK"))
        close(open(mark, O_WRONLY | O_CREAT, 0644));
}
