// A shared object for the library tests: its id, and a report to the test program when it is
// unloaded.
extern "C" {

void ProbeUnloaded(int id);

__attribute__((visibility("default"))) int ProbeId() {
    return PROBE_ID;
}

__attribute__((destructor)) static void ProbeUnload() {
    ProbeUnloaded(PROBE_ID);
}
}
