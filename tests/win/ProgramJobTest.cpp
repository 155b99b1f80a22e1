// The processes of a service's program end with the service: the host when the service
// process ends however it ends, and the helpers the program started when it stops, unless
// the service keeps them.
#include <gtest/gtest.h>

#include <windows.h>

#include "config/ConfigKeys.h"
#include "support/WinHandles.h"
#include "win/RuntimeLayout.h"
#include "win/ServiceHarness.h"
#include "win/TestSupport.h"

using namespace karvo;
using namespace karvo::test;

namespace {

constexpr DWORD GoneTimeoutMs = 10000;

enum class End { StopCommand, TerminateServiceProcess };

bool terminate(DWORD pid) {
    UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
    return process && TerminateProcess(process.get(), 1) &&
           WaitForSingleObject(process.get(), GoneTimeoutMs) == WAIT_OBJECT_0;
}

bool alive(DWORD pid) { return !waitProcessGone(pid, 0); }

}  // namespace

TEST(ProgramJob, NothingOutlivesTheServiceUnlessKept) {
    struct Row {
        const char* name;
        End end;
        std::string script;  // the terminated host never reads its control pipe's end
        std::string keep;
        bool helperSurvives;
    } rows[] = {
        {"taskkill of the service process ends the host and its helper",
         End::TerminateServiceProcess, "spawn:60000|sleep:60000", "", false},
        {"a stop ends the helper the program started", End::StopCommand, "spawn:60000|wait-stdin",
         "", false},
        {"keep_child_processes keeps the helper past the stop", End::StopCommand,
         "spawn:60000|wait-stdin", "1", true},
    };
    for (const auto& row : rows) {
        const std::string name = uniqueName("KarvoJob");
        auto keys = serviceKeys(name);
        if (!row.keep.empty()) keys[Key::KeepChildProcesses] = row.keep;
        RuntimeLayout layout("program_job", keys, row.script);
        InstalledService service(layout, name);
        ASSERT_TRUE(service.start("spawned")) << row.name;
        const DWORD host = childPid(layout);
        const DWORD helper =
            static_cast<DWORD>(std::stoul(layout.record().first("spawned").value_or("0")));
        ASSERT_NE(helper, 0u) << row.name << ": "
                              << layout.record().first("spawned").value_or("nothing recorded");
        service.watch(helper);
        const auto status = queryService(name);
        ASSERT_TRUE(status && status->dwProcessId) << row.name;

        if (row.end == End::TerminateServiceProcess) {
            ASSERT_TRUE(terminate(status->dwProcessId)) << row.name;
            EXPECT_TRUE(waitProcessGone(host, GoneTimeoutMs)) << row.name;
        } else {
            EXPECT_EQ(launcherCommand(layout, "/stop").exitCode, 0u) << row.name;
            EXPECT_TRUE(waitProcessGone(status->dwProcessId, GoneTimeoutMs)) << row.name;
        }
        if (row.helperSurvives) {
            EXPECT_TRUE(alive(helper)) << row.name;
        } else {
            EXPECT_TRUE(waitProcessGone(helper, GoneTimeoutMs)) << row.name;
        }
    }
}

// /run ties the program to the console's process as the service does: what the program leaves
// behind ends with it.
TEST(ProgramJob, ForegroundRunEndsWhatItsProgramLeftUnlessKept) {
    struct Row {
        const char* name;
        std::string keep;
        bool helperSurvives;
    } rows[] = {
        {"the helper ends with the program", "", false},
        {"keep_child_processes keeps it", "1", true},
    };
    for (const auto& row : rows) {
        const std::string name = uniqueName("KarvoRunJob");
        auto keys = serviceKeys(name);
        if (!row.keep.empty()) keys[Key::KeepChildProcesses] = row.keep;
        RuntimeLayout layout("run_job", keys, "spawn:60000|exit:3");
        const auto run = launcherCommand(layout, "/run");
        EXPECT_EQ(run.exitCode, 3u) << row.name << "\n" << run.err;
        const DWORD helper =
            static_cast<DWORD>(std::stoul(layout.record().first("spawned").value_or("0")));
        ASSERT_NE(helper, 0u) << row.name << ": "
                              << layout.record().first("spawned").value_or("nothing recorded");
        if (row.helperSurvives) {
            EXPECT_TRUE(alive(helper)) << row.name;
            EXPECT_TRUE(terminate(helper)) << row.name;
        } else {
            EXPECT_TRUE(waitProcessGone(helper, GoneTimeoutMs)) << row.name;
        }
    }
}
