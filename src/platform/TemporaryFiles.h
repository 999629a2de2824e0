#pragma once
// The temporary files of the writes in flight, so that a process ended by
// SIGINT, SIGTERM or SIGHUP leaves none of them behind. The handler may run
// at any moment on any thread: the registry is a fixed table of name buffers
// with atomic states, and the handler only unlinks and exits.

namespace velmora {

class TemporaryFiles {
public:
    // Installs the handlers: they remove every registered file and end the
    // process with status 128 + the signal's number (130, 143, 129), as a
    // shell reports a process the signal ended. A signal ignored at start
    // (nohup) stays ignored. A broken pipe becomes a failed write.
    static void removeOnTerminationSignals();

    // Registers a name before the file is created; returns the slot, or -1
    // when the table is full or the name too long (its owner still removes
    // the file, only a signal would leave it).
    static int add(const char* path);
    static void remove(int slot);

    TemporaryFiles() = delete;
};

}  // namespace velmora
