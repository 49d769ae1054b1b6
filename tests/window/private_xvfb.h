// A private Xvfb for one test program: started on the first free display from 110 on, its
// number taken from -displayfd once it accepts clients, DISPLAY set to it, killed at the end.
// -noreset: a server that resets when its last client leaves refuses clients meanwhile.
#pragma once
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

struct PrivateXvfb {
    pid_t pid = 0;
    int readyFd = -1; // kept open: the server may write to it again, and dies of SIGPIPE
    std::string display;
};

inline int StartPrivateXvfb(PrivateXvfb *server, const char *screen) {
    constexpr int FIRST_DISPLAY = 110, DISPLAY_TRIES = 80;
    constexpr int READY_TIMEOUT_MS = 20000; // a loaded CI machine can be slow to start a server
    for (int number = FIRST_DISPLAY + getpid() % 40; number < FIRST_DISPLAY + DISPLAY_TRIES + 40;
         number++) {
        // Servers started with -displayfd leave no lock file, only their socket.
        std::string lock = "/tmp/.X" + std::to_string(number) + "-lock",
                    socket = "/tmp/.X11-unix/X" + std::to_string(number);
        if (access(lock.c_str(), F_OK) == 0 || access(socket.c_str(), F_OK) == 0)
            continue;
        int ready[2];
        if (pipe(ready) != 0)
            return 0;
        pid_t pid = fork();
        if (pid == 0) {
            close(ready[0]);
            std::string name = ":" + std::to_string(number), fd = std::to_string(ready[1]);
            int quiet = open("/dev/null", O_WRONLY);
            dup2(quiet, 1);
            dup2(quiet, 2);
            execlp("Xvfb", "Xvfb", name.c_str(), "-screen", "0", screen, "-nolisten", "tcp",
                   "-noreset", "-displayfd", fd.c_str(), (char *)nullptr);
            _exit(127);
        }
        close(ready[1]);
        pollfd wait = {ready[0], POLLIN, 0};
        char text[16] = {};
        ssize_t got = 0;
        if (poll(&wait, 1, READY_TIMEOUT_MS) == 1)
            got = read(ready[0], text, sizeof text - 1);
        if (got > 0) {
            server->pid = pid;
            server->readyFd = ready[0];
            server->display = ":" + std::to_string(atoi(text));
            setenv("DISPLAY", server->display.c_str(), 1);
            return 1;
        }
        close(ready[0]);
        kill(pid, SIGKILL); // the display was taken meanwhile, or the server hangs
        waitpid(pid, nullptr, 0);
    }
    return 0;
}

inline void StopPrivateXvfb(PrivateXvfb *server) {
    if (server->pid <= 0)
        return;
    kill(server->pid, SIGTERM);
    waitpid(server->pid, nullptr, 0);
    close(server->readyFd);
    server->pid = 0;
    server->readyFd = -1;
}
