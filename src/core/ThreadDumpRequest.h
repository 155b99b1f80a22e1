// The way to ask a running Java host for a thread dump: a named pipe the host serves from a
// native thread of its own, so the request is answered while the program's threads are
// blocked. The requester writes one line and reads back where the dump went, or why there
// is none; "/dump" and the stop time-out both ask this way.
#pragma once
#include <cstdint>
#include <string>

namespace karvo {

// How long the host waits for the VM to produce a dump, and how long a requester waits for
// the host's answer (the bound on the wait before a forced stop).
inline constexpr std::uint32_t HostDumpWaitMs = 4000;
inline constexpr std::uint32_t DumpRequestWaitMs = 5000;

// The pipe of one service's host, \\.\pipe\karvo-threads-<service name>.
std::u16string threadDumpPipeName(const std::string& serviceName);

struct ThreadDumpReply {
    bool written = false;
    std::string text;  // written: where the dump is; otherwise why there is none
};

ThreadDumpReply requestThreadDump(const std::string& serviceName, std::uint32_t waitMs);

// One overlapped read or write on a pipe (a HANDLE opened for overlapped use) that gives up,
// and cancels, at `end` (a GetTickCount64 time); an operation that fails at once is not
// waited for. False with `error` set (WAIT_TIMEOUT at the time limit); `moved` bytes moved.
bool transferOnPipe(void* pipe, bool write, char* data, unsigned long size, std::uint64_t end,
                    unsigned long& moved, unsigned long& error);

// The "/dump" command: prints where the dump of the service's program went.
int dumpServiceThreads();

}  // namespace karvo
