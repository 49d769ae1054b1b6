// Quit signals (SIGINT, SIGTERM, SIGHUP, SIGQUIT) in the SDL flavour: the frame loop sees one
// as a close request; a message box open at the time is taken down and the main thread ends
// through exit(0), whose handlers run the show's release.
#pragma once

// Installs the handlers once; a signal the show was started with ignored stays ignored.
void QuitHandlersInstall();
// Non-zero once a quit signal has come.
int QuitRequested();
// Ends the process with exit(0) when a quit signal has come and this is the main thread.
void EndIfQuitOnMainThread();
// Around one message box on the calling thread: the processes forked in between (the box's
// own) are killed by a quit signal. Begin returns the box's slot for End, or -1.
int QuitBoxBegin();
void QuitBoxEnd(int slot);
