// The one table of configuration keys. The launcher reads keys by number; the packer and
// its inspect command use the readable names; both take them from here.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace karvo {

using ConfigKey = std::int32_t;

namespace Key {
inline constexpr ConfigKey ServiceName = 101;
inline constexpr ConfigKey PassStdErrFile = 102;
inline constexpr ConfigKey StdErrFile = 103;
inline constexpr ConfigKey PassStdOutFile = 104;
inline constexpr ConfigKey StdOutFile = 105;
inline constexpr ConfigKey AppendRedirection = 106;
inline constexpr ConfigKey LauncherType = 107;
inline constexpr ConfigKey ClassPath = 121;
inline constexpr ConfigKey MainClass = 122;
inline constexpr ConfigKey VmArguments = 123;
inline constexpr ConfigKey ProgramArguments = 124;
inline constexpr ConfigKey JArgumentsToVm = 125;
inline constexpr ConfigKey MinJavaVersion = 126;
inline constexpr ConfigKey MaxJavaVersion = 127;
inline constexpr ConfigKey SearchSequence = 128;
inline constexpr ConfigKey AllowPreRelease = 130;
inline constexpr ConfigKey RequireJdk = 131;
inline constexpr ConfigKey WorkingDirectory = 146;
inline constexpr ConfigKey Dependencies = 149;
inline constexpr ConfigKey VmType = 152;
inline constexpr ConfigKey ApplicationId = 160;
inline constexpr ConfigKey MessageTitle = 1000;
inline constexpr ConfigKey MessageNoJvmFoundAnyWidth = 1001;
inline constexpr ConfigKey MessageJavaHomeVariableBrokenAnyWidth = 1002;
inline constexpr ConfigKey MessageJvmDamagedAnyWidth = 1003;
inline constexpr ConfigKey MessageJvmStartFailedAnyWidth = 1004;
inline constexpr ConfigKey MessageJvmStartFailed = 1005;
inline constexpr ConfigKey MessageClassPathEntryMissing = 1006;
inline constexpr ConfigKey MessageWrongParameterUsage = 1007;
inline constexpr ConfigKey MessageVariableRequired = 1008;
inline constexpr ConfigKey MessageInternalError = 1009;
inline constexpr ConfigKey MessageMainClassNotFound = 1010;
inline constexpr ConfigKey MessageMainMethodNotFound = 1011;
inline constexpr ConfigKey MessageSecondTitle = 1012;
inline constexpr ConfigKey MessageOkButton = 1013;
inline constexpr ConfigKey MessageStartupError = 1014;
inline constexpr ConfigKey MessageTempDirUnusable = 1015;
inline constexpr ConfigKey MessageNoJvmFound = 1016;
inline constexpr ConfigKey MessageJavaHomeVariableBroken = 1017;
inline constexpr ConfigKey MessageJavaHomeVariableBroken64 = 1018;
inline constexpr ConfigKey MessageJvmDamaged = 1019;
inline constexpr ConfigKey MessageJvmDamaged64 = 1020;
inline constexpr ConfigKey Flavour = 2001;
inline constexpr ConfigKey IncludedFileCount = 2002;
inline constexpr ConfigKey IncludedFileNames = 2003;
inline constexpr ConfigKey ApplicationDirectory = 10003;
inline constexpr ConfigKey NativeLibraryDirectories = 10004;
inline constexpr ConfigKey ProcessCommFile = 10005;
inline constexpr ConfigKey Description = 20017;
inline constexpr ConfigKey StopTimeout = 30001;
inline constexpr ConfigKey Restart = 30002;
inline constexpr ConfigKey RestartDelay = 30003;
inline constexpr ConfigKey RestartDelayMax = 30004;
inline constexpr ConfigKey RestartResetAfter = 30005;
inline constexpr ConfigKey RestartLimit = 30006;
inline constexpr ConfigKey DelayedAutoStart = 30020;
inline constexpr ConfigKey ServiceAccount = 30021;
inline constexpr ConfigKey FailureRestartDelay = 30022;
inline constexpr ConfigKey FailureResetPeriod = 30023;
inline constexpr ConfigKey OutputMaxSize = 30024;
inline constexpr ConfigKey OutputKeep = 30025;
inline constexpr ConfigKey Environment = 30030;
inline constexpr ConfigKey ServiceNameArgument = 30031;
inline constexpr ConfigKey DiagnosticLog = 30032;
inline constexpr ConfigKey KeepChildProcesses = 30050;
inline constexpr ConfigKey WatchdogInterval = 30051;
inline constexpr ConfigKey WatchdogTimeout = 30052;
inline constexpr ConfigKey ServicePasswordVariable = 30053;
}  // namespace Key

enum class KeyKind {
    Text,  // 8-bit text in the ANSI code page
    Wide,  // UTF-16 text
    Int,   // decimal text read as an integer
    Flag,  // decimal text, on when non-zero
};

struct ConfigKeyInfo {
    ConfigKey number;
    KeyKind kind;
    std::string_view name;          // readable name used by the packer
    std::size_t maxLength;          // longest value the launcher accepts (bytes or code units)
    char listSeparator;             // for texts that are lists: the separator, else '\0'
    std::string_view packerDefault; // written by the packer when the description is silent
    std::string_view summary;       // one line for documentation and inspect
};

std::span<const ConfigKeyInfo> configKeyTable();
const ConfigKeyInfo* findConfigKey(ConfigKey number);
const ConfigKeyInfo* findConfigKeyByName(std::string_view name);

}  // namespace karvo
