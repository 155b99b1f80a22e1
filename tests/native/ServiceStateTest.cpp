// The reported service status through the life of the service process.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "core/ServiceState.h"
#include "core/SingleUseSlot.h"

using namespace karvo;

namespace {

enum class Step { Stop, Shutdown, ChildEnds0, ChildEnds1, StartFails };

struct Expect {
    bool result;           // what the step returned (true for StartFails)
    std::uint32_t state;
    std::uint32_t checkPoint;
};

}  // namespace

TEST(ServiceState, FieldsAtStart) {
    ServiceStatusRecord record;
    record.reset();
    const ServiceStatusFields expected{48, 4, 5, 0, 0, 0, 50000};
    EXPECT_EQ(record.fields(), expected);
}

TEST(ServiceState, Transitions) {
    struct Row {
        const char* name;
        std::vector<std::pair<Step, Expect>> steps;
    } rows[] = {
        {"child ends with 0 on its own: stopped", {{Step::ChildEnds0, {true, 1, 0}}}},
        {"child ends with 1 on its own: stopped, so the manager sees the failure",
         {{Step::ChildEnds1, {true, 1, 0}}}},
        {"stop then child ends with 1: stopped anyway",
         {{Step::Stop, {true, 3, 0}}, {Step::ChildEnds1, {true, 1, 0}}}},
        {"shutdown raises the check point",
         {{Step::Shutdown, {true, 3, 1}}, {Step::ChildEnds0, {true, 1, 1}}}},
        {"second stop changes nothing but is accepted",
         {{Step::Stop, {true, 3, 0}}, {Step::Stop, {true, 3, 0}}}},
        {"two shutdowns count twice",
         {{Step::Shutdown, {true, 3, 1}}, {Step::Shutdown, {true, 3, 2}}}},
        {"stop after stopped is refused and keeps stopped",
         {{Step::ChildEnds0, {true, 1, 0}}, {Step::Stop, {false, 1, 0}}}},
        {"child end after stopped is not reported twice",
         {{Step::ChildEnds0, {true, 1, 0}}, {Step::ChildEnds0, {false, 1, 0}}}},
        {"failed start is stopped, later stop refused",
         {{Step::StartFails, {true, 1, 0}}, {Step::Shutdown, {false, 1, 0}}}},
    };
    for (const auto& row : rows) {
        ServiceStatusRecord record;
        record.reset();
        for (const auto& [step, expect] : row.steps) {
            bool result = true;
            switch (step) {
                case Step::Stop: result = record.requestStop(false); break;
                case Step::Shutdown: result = record.requestStop(true); break;
                case Step::ChildEnds0: result = record.childEnded(0); break;
                case Step::ChildEnds1: result = record.childEnded(1); break;
                case Step::StartFails: record.failedToStart(SupervisorFailure::ChildStart); break;
            }
            EXPECT_EQ(result, expect.result) << row.name;
            const auto fields = record.fields();
            EXPECT_EQ(fields[1], expect.state) << row.name;
            EXPECT_EQ(fields[5], expect.checkPoint) << row.name;
        }
    }
}

TEST(ServiceState, ExitCodes) {
    struct Row {
        const char* name;
        std::uint32_t failure;  // 0: the child ran and ended with childExit
        bool stopFirst;
        std::uint32_t childExit;
        std::uint32_t win32;
        std::uint32_t specific;
    } rows[] = {
        {"stopped after a request keeps both codes 0", 0, true, 3, 0, 0},
        {"program ending with 0 on its own keeps both codes 0", 0, false, 0, 0, 0},
        {"program failing on its own carries its exit code", 0, false, 3, 1066, 3},
        {"negative exit code is carried bit for bit", 0, false, 0xFFFFFFFFu, 1066, 0xFFFFFFFFu},
        {"child start failure", SupervisorFailure::ChildStart, false, 0, 1066, 5000},
        {"pipe failure", SupervisorFailure::Pipes, false, 0, 1066, 5001},
        {"command line too long", SupervisorFailure::CommandLineTooLong, false, 0, 1066, 5002},
    };
    for (const auto& row : rows) {
        ServiceStatusRecord record;
        record.reset();
        if (row.failure) {
            record.failedToStart(row.failure);
        } else {
            if (row.stopFirst) record.requestStop(false);
            record.childEnded(row.childExit);
        }
        const auto fields = record.fields();
        EXPECT_EQ(fields[1], 1u) << row.name;
        EXPECT_EQ(fields[3], row.win32) << row.name;
        EXPECT_EQ(fields[4], row.specific) << row.name;
    }
}

// A stop that races with the child's end (code 0) either lands before it or is refused
// after it; the service always ends reported stopped, never "stop pending" after "stopped".
TEST(ServiceState, StopRacingWithChildEnd) {
    for (int round = 0; round < 200; ++round) {
        ServiceStatusRecord record;
        record.reset();
        bool stoppedReported = false;
        std::thread handler([&] { record.requestStop(false); });
        std::thread supervisor([&] { stoppedReported = record.childEnded(0); });
        handler.join();
        supervisor.join();
        EXPECT_TRUE(stoppedReported);
        EXPECT_EQ(record.currentState(), 1u);
    }
}

// The shutdown code goes out exactly once, however stop requests and the creation of the
// control pipe interleave: the handler takes the pipe if it exists; serviceMain, after
// publishing it, takes it if a stop is already pending.
TEST(ServiceState, ShutdownCodeDeliveredExactlyOnce) {
    struct Row {
        const char* name;
        int stopRequests;
        bool secondIsShutdown;
    } rows[] = {
        {"one stop racing with the pipe's creation", 1, false},
        {"two stops racing with the pipe's creation", 2, false},
        {"a stop and a shutdown", 2, true},
    };
    for (const auto& row : rows) {
        for (int round = 0; round < 300; ++round) {
            ServiceStatusRecord record;
            record.reset();
            SingleUseSlot<int*> slot;
            int pipe = 0;
            std::atomic<int> deliveries{0};
            auto deliver = [&] {
                if (int* handle = slot.take()) {
                    ++*handle;
                    ++deliveries;
                }
            };
            std::vector<std::thread> handlers;
            for (int i = 0; i < row.stopRequests; ++i)
                handlers.emplace_back([&, i] {
                    if (record.requestStop(i == 1 && row.secondIsShutdown)) deliver();
                });
            std::thread supervisor([&] {
                slot.publish(&pipe);
                if (record.currentState() == ServiceCode::StopPending) deliver();
            });
            for (auto& handler : handlers) handler.join();
            supervisor.join();
            EXPECT_EQ(deliveries.load(), 1) << row.name;
            EXPECT_EQ(pipe, 1) << row.name;
            EXPECT_EQ(slot.take(), nullptr) << row.name;
        }
    }
}

TEST(ServiceState, SlotBeforePublishAndAfterTake) {
    struct Row {
        const char* name;
        bool publish;
        int takes;
        bool lastTakeHasValue;
    } rows[] = {
        {"nothing published: nothing to take", false, 1, false},
        {"published: the first take gets it", true, 1, true},
        {"second take finds it gone", true, 2, false},
    };
    for (const auto& row : rows) {
        SingleUseSlot<int*> slot;
        int value = 7;
        if (row.publish) slot.publish(&value);
        int* got = nullptr;
        for (int i = 0; i < row.takes; ++i) got = slot.take();
        EXPECT_EQ(got != nullptr, row.lastTakeHasValue) << row.name;
    }
}

// A request handled on the other thread while a report is on its way must not be overtaken
// by that older report: the last fields sent are always the record's latest.
TEST(ServiceState, LastReportIsTheLatestRecord) {
    enum class During { Nothing, Stop, Shutdown, ChildEnds0, ShutdownEverySend };
    struct Row {
        const char* name;
        bool stopFirst;   // a stop was already pending when the report began
        During during;    // what the other thread does while the first fields are sent
        int sends;
        std::uint32_t lastState;
        std::uint32_t lastCheckPoint;
    } rows[] = {
        {"nothing changes: one report", false, During::Nothing, 1, 4, 0},
        {"stop lands during the running report: stop pending sent last", false, During::Stop, 2,
         3, 0},
        {"shutdown while stop pending: raised check point sent last", true, During::Shutdown, 2,
         3, 1},
        {"child ends during the report: stopped sent last", true, During::ChildEnds0, 2, 1, 0},
        {"a change on every send: repeats are bounded, the changer reports the rest", true,
         During::ShutdownEverySend, 5, 3, 4},
    };
    for (const auto& row : rows) {
        ServiceStatusRecord record;
        record.reset();
        if (row.stopFirst) record.requestStop(false);
        std::vector<ServiceStatusFields> sent;
        const bool ok = reportLatest(record, [&](const ServiceStatusFields& fields) {
            sent.push_back(fields);
            if (sent.size() == 1 || row.during == During::ShutdownEverySend) {
                switch (row.during) {
                    case During::Nothing: break;
                    case During::Stop: record.requestStop(false); break;
                    case During::Shutdown:
                    case During::ShutdownEverySend: record.requestStop(true); break;
                    case During::ChildEnds0: record.childEnded(0); break;
                }
            }
            return true;
        });
        EXPECT_TRUE(ok) << row.name;
        ASSERT_EQ(static_cast<int>(sent.size()), row.sends) << row.name;
        EXPECT_EQ(sent.back()[1], row.lastState) << row.name;
        EXPECT_EQ(sent.back()[5], row.lastCheckPoint) << row.name;
    }
}

// The result is that of the last report made, so a failure logged by the caller is the
// failure of the report that counts.
TEST(ServiceState, ReportResultIsTheLastSend) {
    struct Row {
        const char* name;
        bool changeDuringFirst;
        std::vector<bool> results;
        bool expected;
    } rows[] = {
        {"single report failed", false, {false}, false},
        {"first failed, repeat after a change worked", true, {false, true}, true},
        {"first worked, repeat after a change failed", true, {true, false}, false},
    };
    for (const auto& row : rows) {
        ServiceStatusRecord record;
        record.reset();
        std::size_t calls = 0;
        const bool ok = reportLatest(record, [&](const ServiceStatusFields&) {
            if (calls == 0 && row.changeDuringFirst) record.requestStop(false);
            return row.results.at(calls++);
        });
        EXPECT_EQ(calls, row.results.size()) << row.name;
        EXPECT_EQ(ok, row.expected) << row.name;
    }
}
