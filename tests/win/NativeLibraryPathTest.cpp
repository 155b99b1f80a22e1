// The PATH of the Java host: configured native library directories in front of the
// inherited PATH, in both copies of the environment.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

#include "config/LauncherConfig.h"
#include "config/PathOps.h"
#include "core/NativeLibraryPath.h"
#include "win/TestSupport.h"

using namespace karvo;
using namespace karvo::test;

namespace {

std::string currentPath() {
    std::string buffer(40000, '\0');
    const DWORD length =
        GetEnvironmentVariableA("PATH", buffer.data(), static_cast<DWORD>(buffer.size()));
    buffer.resize(length);
    return buffer;
}

// Both copies of PATH are put back after each case.
class PathGuard {
public:
    PathGuard() : saved_(currentPath()) {}
    ~PathGuard() {
        SetEnvironmentVariableA("PATH", saved_.c_str());
        runtimeEntry_ = "PATH=" + saved_;
        _putenv(runtimeEntry_.c_str());
    }
    const std::string& saved() const { return saved_; }

private:
    std::string saved_;
    std::string runtimeEntry_;
};

}  // namespace

TEST(NativeLibraryPath, ConfiguredDirectoriesComeFirst) {
    const std::string exeDir = executableDirectory();
    const std::string inherited = "C:\\inherited\\one;C:\\two";
    struct Row {
        const char* name;
        std::string configured;
        std::string expected;
    } rows[] = {
        {"empty key keeps the inherited PATH", "", inherited},
        {"relative entries below the executable", "lib;bin",
         exeDir + "lib;" + exeDir + "bin;" + inherited},
        {"trailing separator gets no second", "lib;", exeDir + "lib;" + inherited},
        {"empty pieces skipped", ";;C:\\abs;;", "C:\\abs;" + inherited},
        {"launcher variables expanded", "%KARVO_EXEDIR%native", exeDir + "native;" + inherited},
    };
    for (const auto& row : rows) {
        PathGuard guard;
        SetEnvironmentVariableA("PATH", inherited.c_str());
        installConfigForTesting(blockWith({{Key::NativeLibraryDirectories, row.configured}}));
        prepareNativeLibraryPath();
        EXPECT_EQ(currentPath(), row.expected) << row.name;
        const char* runtimeCopy = std::getenv("PATH");
        ASSERT_NE(runtimeCopy, nullptr) << row.name;
        EXPECT_EQ(std::string(runtimeCopy), row.expected) << row.name << ": runtime copy agrees";
    }
}

TEST(NativeLibraryPath, InheritedPathMustFit) {
    // The configured part is "C:\\n;" (5 characters); the inherited PATH may fill the rest
    // of the 16,383 characters.
    struct Row {
        const char* name;
        std::size_t inheritedLength;
        bool appended;
    } rows[] = {
        {"exactly fills the buffer", 16383 - 5, true},
        {"one character too long is dropped", 16383 - 4, false},
    };
    for (const auto& row : rows) {
        PathGuard guard;
        const std::string inherited = "C:\\" + std::string(row.inheritedLength - 3, 'p');
        SetEnvironmentVariableA("PATH", inherited.c_str());
        installConfigForTesting(blockWith({{Key::NativeLibraryDirectories, "C:\\n"}}));
        prepareNativeLibraryPath();
        EXPECT_EQ(currentPath(), row.appended ? "C:\\n;" + inherited : std::string("C:\\n;"))
            << row.name;
    }
}
