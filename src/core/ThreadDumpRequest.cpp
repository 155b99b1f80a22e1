#include <windows.h>

#include "core/ThreadDumpRequest.h"

#include <cstdio>

#include "core/ServiceName.h"
#include "support/TextConv.h"
#include "support/WinHandles.h"

namespace karvo {
namespace {

constexpr DWORD ReplyLimit = 16384;

DWORD remainingMs(ULONGLONG end) {
    const ULONGLONG now = GetTickCount64();
    return now >= end ? 0 : static_cast<DWORD>(end - now);
}

std::string errorText(const char* what, DWORD error) {
    return std::string(what) + " (error " + std::to_string(static_cast<int>(error)) + ")";
}

}  // namespace

bool transferOnPipe(void* pipe, bool write, char* data, unsigned long size, std::uint64_t end,
                    unsigned long& moved, unsigned long& error) {
    UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    OVERLAPPED overlapped{};
    overlapped.hEvent = event.get();
    moved = 0;
    const BOOL done = write ? WriteFile(pipe, data, size, nullptr, &overlapped)
                            : ReadFile(pipe, data, size, nullptr, &overlapped);
    if (!done && GetLastError() != ERROR_IO_PENDING) {
        error = GetLastError();
        return false;
    }
    if (!done && WaitForSingleObject(event.get(), remainingMs(end)) != WAIT_OBJECT_0) {
        CancelIo(pipe);
        GetOverlappedResult(pipe, &overlapped, &moved, TRUE);
        error = WAIT_TIMEOUT;
        return false;
    }
    if (!GetOverlappedResult(pipe, &overlapped, &moved, TRUE)) {
        error = GetLastError();
        return false;
    }
    return true;
}

std::u16string threadDumpPipeName(const std::string& serviceName) {
    return u"\\\\.\\pipe\\karvo-threads-" + toWide(serviceName, CP_ACP);
}

ThreadDumpReply requestThreadDump(const std::string& serviceName, std::uint32_t waitMs) {
    ThreadDumpReply reply;
    const std::u16string name = threadDumpPipeName(serviceName);
    const ULONGLONG end = GetTickCount64() + waitMs;
    UniqueHandle pipe;
    for (;;) {
        pipe.reset(CreateFileW(wideChars(name), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
        if (pipe) break;
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            reply.text =
                "its program is not running (nobody serves " + toNarrow(name, CP_ACP) + ")";
            return reply;
        }
        // Another request is being served: wait for our turn while time is left.
        if (error != ERROR_PIPE_BUSY || remainingMs(end) == 0 ||
            !WaitNamedPipeW(wideChars(name), remainingMs(end))) {
            reply.text = errorText("its program's dump channel cannot be opened", error);
            return reply;
        }
    }
    char request[] = "dump\n";
    DWORD moved = 0, error = 0;
    if (!transferOnPipe(pipe.get(), true, request, sizeof request - 1, end, moved, error)) {
        reply.text = errorText("the request could not be sent", error);
        return reply;
    }
    std::string answer;
    char buffer[1024];
    while (answer.size() < ReplyLimit &&
           transferOnPipe(pipe.get(), false, buffer, sizeof buffer, end, moved, error) && moved > 0)
        answer.append(buffer, moved);
    if (answer.empty()) {
        reply.text =
            error == WAIT_TIMEOUT
                ? "its program did not answer within " + std::to_string(waitMs / 1000) + " s"
                : errorText("its program ended the request without an answer", error);
        return reply;
    }
    while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\r')) answer.pop_back();
    // The host answers with where the dump went, or "!" and why there is none.
    reply.written = answer.front() != '!';
    reply.text = reply.written ? answer : answer.substr(1);
    return reply;
}

int dumpServiceThreads() {
    const ThreadDumpReply reply = requestThreadDump(serviceName(), DumpRequestWaitMs);
    if (!reply.written) {
        std::printf("Could not take a thread dump of service '%s': %s.\n", serviceName().c_str(),
                    reply.text.c_str());
        return 1;
    }
    std::printf("Thread dump of service '%s' written to %s.\n", serviceName().c_str(),
                reply.text.c_str());
    return 0;
}

}  // namespace karvo
