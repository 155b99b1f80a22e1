// The supervisor's pieces that work without the Service Control Manager: the child's
// priority from the registry and the draining of the child's output.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

#include "core/ServiceName.h"
#include "core/ServiceSupervisor.h"
#include "win/ServiceHarness.h"
#include "win/TestSupport.h"

using namespace karvo;
using namespace karvo::test;

namespace {

std::string dword(DWORD value) {
    std::string bytes(sizeof value, '\0');
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

}  // namespace

TEST(ServiceSupervisor, ChildPriorityFromTheRegistry) {
    struct Row {
        const char* name;
        bool present;
        DWORD type;
        std::string bytes;
        DWORD expected;
    } rows[] = {
        {"no value: normal", false, REG_DWORD, "", NORMAL_PRIORITY_CLASS},
        {"idle", true, REG_DWORD, dword(IDLE_PRIORITY_CLASS), IDLE_PRIORITY_CLASS},
        {"high", true, REG_DWORD, dword(HIGH_PRIORITY_CLASS), HIGH_PRIORITY_CLASS},
        {"below normal", true, REG_DWORD, dword(BELOW_NORMAL_PRIORITY_CLASS),
         BELOW_NORMAL_PRIORITY_CLASS},
        {"type is not looked at: four binary bytes", true, REG_BINARY, dword(HIGH_PRIORITY_CLASS),
         HIGH_PRIORITY_CLASS},
        {"two bytes only: normal", true, REG_BINARY, std::string("\x40\x00", 2),
         NORMAL_PRIORITY_CLASS},
        {"eight bytes: normal", true, REG_QWORD, dword(IDLE_PRIORITY_CLASS) + dword(0),
         NORMAL_PRIORITY_CLASS},
        {"suspended-start flag refused: normal", true, REG_DWORD, dword(CREATE_SUSPENDED),
         NORMAL_PRIORITY_CLASS},
        {"priority with extra creation flags refused", true, REG_DWORD,
         dword(IDLE_PRIORITY_CLASS | CREATE_NEW_CONSOLE), NORMAL_PRIORITY_CLASS},
    };
    for (const auto& row : rows) {
        const std::string name = uniqueName("KarvoPriority");
        ASSERT_TRUE(setServiceName(name));
        std::optional<PriorityValue> value;
        if (row.present) value.emplace(name, row.type, row.bytes);
        EXPECT_EQ(readChildPriority(), row.expected) << row.name;
    }
}

// The reader keeps a writer going until the writer is done, then ends on the broken pipe
// and closes its handle.
TEST(ServiceSupervisor, OutputIsDrainedUntilThePipeBreaks) {
    struct Row {
        const char* name;
        std::size_t bytes;
    } rows[] = {
        {"nothing written", 0},
        {"one byte", 1},
        {"more than the pipe holds", 8u << 20},
    };
    for (const auto& row : rows) {
        HANDLE read = nullptr, write = nullptr;
        ASSERT_TRUE(CreatePipe(&read, &write, nullptr, 0));
        HANDLE reader = CreateThread(nullptr, 0, consumeChildOutput, read, 0, nullptr);
        ASSERT_NE(reader, nullptr);
        std::string block(65536, 'o');
        std::size_t left = row.bytes;
        bool writesOk = true;
        while (left > 0 && writesOk) {
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>(std::min(left, block.size()));
            writesOk = WriteFile(write, block.data(), chunk, &written, nullptr) && written == chunk;
            left -= chunk;
        }
        EXPECT_TRUE(writesOk) << row.name;
        CloseHandle(write);
        EXPECT_EQ(WaitForSingleObject(reader, 10000), WAIT_OBJECT_0) << row.name;
        DWORD result = 99;
        GetExitCodeThread(reader, &result);
        EXPECT_EQ(result, 0u) << row.name;
        CloseHandle(reader);
    }
}
