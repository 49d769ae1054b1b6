// A shared object for the library tests: a couple of exports, and a report when unloaded.
extern "C" {

typedef void (*UnloadLog)(int id);
static UnloadLog Log;

__attribute__((visibility("default"))) int ProbeId() {
    return PROBE_ID;
}
__attribute__((visibility("default"))) int ProbeAdd(int a, int b) {
    return a + b;
}
__attribute__((visibility("default"))) void ProbeSetUnloadLog(UnloadLog log) {
    Log = log;
}

__attribute__((destructor)) static void ProbeUnload() {
    if (Log)
        Log(PROBE_ID);
}
}
