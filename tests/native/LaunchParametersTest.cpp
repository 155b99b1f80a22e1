// The launch properties and the runtime class's parameters.
#include <gtest/gtest.h>

#include "launch/LaunchParameters.h"

using namespace karvo;

namespace {

LaunchPropertyInputs typicalProperties() {
    LaunchPropertyInputs in;
    in.executablePath = "C:\\app\\svc.exe";
    in.tempDirectory = "C:\\t\\kvo1";
    in.unextractedPosition = 4096;
    in.path = "C:\\app\\lib;C:\\windows";
    in.consoleOutputCodePage = 437;
    return in;
}

}  // namespace

TEST(LaunchProperties, PresenceAndOrder) {
    const std::vector<std::string> always = {
        "-Dkarvo.isService=true",
        "-Dkarvo.moduleName=C:\\app\\svc.exe",
        "-Dsun.java.command=C:\\app\\svc.exe",
        "-Dkarvo.tempDir=C:\\t\\kvo1",
        "-Dkarvo.unextractedPosition=4096",
        "-Djava.library.path=C:\\app\\lib;C:\\windows",
    };
    struct Row {
        const char* name;
        void (*adjust)(LaunchPropertyInputs&);
        std::vector<std::string> expected;
    } rows[] = {
        {"karvo flavour, MANPATH unset",
         [](LaunchPropertyInputs&) {},
         {always[0], always[1], always[2], always[3], always[4], always[5],
          "-Dkarvo.consoleCodepage=cp437"}},
        {"tessel flavour comes first",
         [](LaunchPropertyInputs& in) {
             in.tessel = true;
             in.manPathSet = true;
         },
         {"-Dkarvo.isTessel=true", always[0], always[1], always[2], always[3], always[4],
          always[5]}},
        {"process file after the command property",
         [](LaunchPropertyInputs& in) {
             in.processCommFile = "C:\\t\\kvo_p12.tmp";
             in.manPathSet = true;
         },
         {always[0], always[1], always[2], "-Dkarvo.processCommFile=C:\\t\\kvo_p12.tmp", always[3],
          always[4], always[5]}},
        {"nothing extracted: empty directory and position 0",
         [](LaunchPropertyInputs& in) {
             in.tempDirectory.clear();
             in.unextractedPosition = 0;
             in.manPathSet = true;
         },
         {always[0], always[1], always[2], "-Dkarvo.tempDir=", "-Dkarvo.unextractedPosition=0",
          always[5]}},
        {"position past 4 GB keeps all digits",
         [](LaunchPropertyInputs& in) {
             in.unextractedPosition = 5000000000LL;
             in.manPathSet = true;
         },
         {always[0], always[1], always[2], always[3], "-Dkarvo.unextractedPosition=5000000000",
          always[5]}},
        {"PATH unset gives an empty library path",
         [](LaunchPropertyInputs& in) {
             in.path.clear();
             in.manPathSet = true;
         },
         {always[0], always[1], always[2], always[3], always[4], "-Djava.library.path="}},
        {"rolling limits come last, keep at least one",
         [](LaunchPropertyInputs& in) {
             in.outputMaxSize = 3000000000LL;
             in.outputKeep = 0;
         },
         {always[0], always[1], always[2], always[3], always[4], always[5],
          "-Dkarvo.consoleCodepage=cp437", "-Dkarvo.outputMaxSize=3000000000",
          "-Dkarvo.outputKeep=1"}},
        {"no size limit: no rolling properties whatever the count",
         [](LaunchPropertyInputs& in) {
             in.outputKeep = 5;
             in.manPathSet = true;
         },
         {always[0], always[1], always[2], always[3], always[4], always[5]}},
    };
    for (const auto& row : rows) {
        auto in = typicalProperties();
        row.adjust(in);
        EXPECT_EQ(buildLaunchPropertyList(in, 8191), row.expected) << row.name;
    }
}

TEST(LaunchProperties, LongPathKeepsWholeLeadingEntries) {
    const std::string prefix = "-Djava.library.path=";
    const std::size_t limit = 8191, room = limit - prefix.size();
    const std::string first(room - 10, 'a');
    struct Row {
        const char* name;
        std::string path;
        std::string expectedValue;
        bool shortened;
    } rows[] = {
        {"exactly fits", std::string(room, 'p'), std::string(room, 'p'), false},
        {"second entry cut off", first + ";" + std::string(20, 'b'), first, true},
        {"separator right at the limit keeps the entry", std::string(room, 'c') + ";d",
         std::string(room, 'c'), true},
        {"single overlong entry leaves it empty", std::string(room + 1, 'e'), "", true},
    };
    for (const auto& row : rows) {
        auto in = typicalProperties();
        in.path = row.path;
        bool shortened = false;
        const auto list = buildLaunchPropertyList(in, limit, &shortened);
        const auto& library = list.at(5);
        EXPECT_LE(library.size(), limit) << row.name;
        EXPECT_EQ(library, prefix + row.expectedValue) << row.name;
        EXPECT_EQ(shortened, row.shortened) << row.name;
    }
}

TEST(RuntimeParameters, Lists) {
    struct Row {
        const char* name;
        RuntimeParameterInputs in;
        std::vector<std::u16string> expected;
    } rows[] = {
        {"service, no redirection, one program argument",
         {4, u"com.example.Main", u"", u"", false, {u"-r"}, {u"svc"}, false},
         {u"false", u"com.example.Main", u"", u"", u"false", u"svc", u"-r"}},
        {"GUI type, redirection and append",
         {1, u"M", u"C:\\l\\err.txt", u"C:\\l\\out.txt", true, {}, {u"svc"}, false},
         {u"true", u"M", u"C:\\l\\err.txt", u"C:\\l\\out.txt", u"true", u"svc"}},
        {"no arguments at all: five elements",
         {4, u"M", u"", u"", false, {}, {}, false},
         {u"false", u"M", u"", u"", u"false"}},
        {"configured arguments before the other command-line ones",
         {4, u"M", u"", u"", false, {u"a", u"b c"}, {u"svc", u"x", u"y"}, false},
         {u"false", u"M", u"", u"", u"false", u"svc", u"a", u"b c", u"x", u"y"}},
        {"-J arguments left out when they go to the VM, except the first",
         {4, u"M", u"", u"", false, {}, {u"-Jfirst", u"-Jx", u"keep", u"-J"}, true},
         {u"false", u"M", u"", u"", u"false", u"-Jfirst", u"keep"}},
        {"-J arguments kept when they do not go to the VM",
         {4, u"M", u"", u"", false, {}, {u"svc", u"-Jx"}, false},
         {u"false", u"M", u"", u"", u"false", u"svc", u"-Jx"}},
        {"lower-case -j is an ordinary argument",
         {4, u"M", u"", u"", false, {}, {u"svc", u"-jx"}, true},
         {u"false", u"M", u"", u"", u"false", u"svc", u"-jx"}},
        {"non-ANSI argument unchanged",
         {4, u"M", u"", u"", false, {}, {u"svc", u"\u65e5\u672c"}, false},
         {u"false", u"M", u"", u"", u"false", u"svc", u"\u65e5\u672c"}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(buildRuntimeParameters(row.in), row.expected) << row.name;
}

TEST(RuntimeParameters, ClassNames) {
    struct Row {
        const char* name;
        std::string actual;
        std::string expected;
    } rows[] = {
        {"karvo flavour", runtimeClassName(false), "com/karvo/runtime/WinLauncher"},
        {"tessel flavour", runtimeClassName(true), "com/tessel/runtime/launcher/WinLauncher"},
        {"dots become slashes", toClassLookupName("a.b.C$D"), "a/b/C$D"},
    };
    for (const auto& row : rows) EXPECT_EQ(row.actual, row.expected) << row.name;
}
