// Quit signals in the SDL flavour, around the message boxes that SDL shows from child
// processes.
#include "display/quit_signals.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <new>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// Quit signals (SIGINT, SIGTERM, SIGHUP, SIGQUIT) end the show with exit code 0 wherever it
// is. The frame loop sees the request at its next poll as a close request and ends normally. A
// message box cannot see it: SDL shows X11 boxes from a child process and waits for it, so
// the handler kills the box's child (this is why the child's pid lives in memory shared
// across the fork), the box returns, and on the main thread the platform ends the process
// with exit(0), whose exit handlers run the show's release. The display mode needs no
// repair on that path: it is changed only when the show's window opens, after the boxes.
constexpr int QUIT_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int BOX_SLOTS = 4; // boxes open at once: the main thread's and the player's
constexpr int BOX_FORKS = 4;
static_assert(ATOMIC_INT_LOCK_FREE == 2, "the signal handler needs lock-free atomics");

struct QuitShared {
    std::atomic<int> signal; // the first quit signal; 0 before any
    // Pids of the processes forked while each box is open: the box's own, and any helper
    // that a library forks on the way (D-Bus autolaunch does).
    std::atomic<int> boxChild[BOX_SLOTS][BOX_FORKS];
};
QuitShared *Quit; // MAP_SHARED: seen by the box's child too
std::atomic<bool> BoxSlotTaken[BOX_SLOTS];
thread_local int BoxSlot = -1; // the slot of the box this thread is showing
pid_t ShowPid;
pthread_t MainThread;

void OnQuitSignal(int signal) {
    int none = 0;
    Quit->signal.compare_exchange_strong(none, signal);
    for (auto &box : Quit->boxChild)
        for (std::atomic<int> &child : box) {
            pid_t pid = child.load();
            if (pid > 0)
                kill(pid, SIGKILL);
        }
}

// Runs in every child forked by this process; acts only in a box's child. The child also
// dies with the thread that waits for it, so a show killed outright leaves no box behind.
// Publishing the pid and then reading the request pairs with the handler's opposite order:
// either the handler sees the pid or the child sees the request.
void InForkedChild() {
    if (BoxSlot < 0)
        return;
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != ShowPid)
        _exit(1);
    for (std::atomic<int> &child : Quit->boxChild[BoxSlot]) {
        int none = 0;
        if (child.compare_exchange_strong(none, getpid()))
            break;
    }
    if (Quit->signal.load() != 0)
        _exit(1);
}

} // namespace

// Installs the handlers once; a signal that the show was started with ignored (nohup)
// stays ignored.
void QuitHandlersInstall() {
    if (Quit)
        return;
    void *page = mmap(nullptr, sizeof(QuitShared), PROT_READ | PROT_WRITE,
                      MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (page == MAP_FAILED)
        return;
    Quit = new (page) QuitShared{};
    ShowPid = getpid();
    MainThread = pthread_self();
    pthread_atfork(nullptr, nullptr, InForkedChild);
    for (int signal : QUIT_SIGNALS) {
        struct sigaction current;
        if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN)
            continue;
        struct sigaction action = {};
        action.sa_handler = OnQuitSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(signal, &action, nullptr);
    }
}

int QuitRequested() {
    return Quit && Quit->signal.load() != 0;
}

// A quit request seen on the main thread outside the frame loop (in or before a box): the
// show's own end runs from its exit handlers.
void EndIfQuitOnMainThread() {
    if (QuitRequested() && pthread_equal(pthread_self(), MainThread))
        exit(0);
}

int QuitBoxBegin() {
    int slot = 0;
    while (slot < BOX_SLOTS && BoxSlotTaken[slot].exchange(true))
        slot++;
    BoxSlot = Quit && slot < BOX_SLOTS ? slot : -1;
    return slot < BOX_SLOTS ? slot : -1;
}

void QuitBoxEnd(int slot) {
    if (BoxSlot >= 0)
        for (std::atomic<int> &child : Quit->boxChild[BoxSlot])
            child.store(0);
    BoxSlot = -1;
    if (slot >= 0)
        BoxSlotTaken[slot].store(false);
}
