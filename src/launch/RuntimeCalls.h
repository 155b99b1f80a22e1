// Calls into the runtime classes (com.karvo.runtime.ThreadDump) from outside the program's
// own threads: each call runs on a new native thread attached to the VM, so a call that
// never returns (a VM that no longer answers) costs that thread and not the caller, who
// waits only as long as it chooses.
#pragma once
#include <cstdint>
#include <string>

#include <jni.h>

namespace karvo {

enum class RuntimeCall {
    DumpText,               // the thread dump as text
    DumpToError,            // the thread dump written to the program's error output
    DeadlockedThreadCount,  // the watchdog's sign of life
};

struct RuntimeAnswer {
    // False only when the VM was asked and gave no answer within the wait; a call that could
    // not be made (no VM, no thread) is answered, with its failure.
    bool answered = false;
    std::string failure;    // no result: why (for the log); empty when there is one
    std::string text;       // DumpText: the dump, UTF-8
    int number = 0;         // DeadlockedThreadCount: the count, below 0 when unknown
};

RuntimeAnswer callRuntime(JavaVM* vm, RuntimeCall call, std::uint32_t waitMs);

}  // namespace karvo
