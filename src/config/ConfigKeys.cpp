#include "config/ConfigKeys.h"

#include "support/TextLimits.h"

namespace karvo {
namespace {

constexpr std::size_t Text = MaxTextLength;

// Sized by its rows, so that adding a key is one row and nothing else.
constexpr ConfigKeyInfo KeyTable[]{
    {Key::ServiceName, KeyKind::Text, "service_name", Text, '\0', "",
     "service name, also the display name"},
    {Key::PassStdErrFile, KeyKind::Flag, "redirect_stderr", Text, '\0', "",
     "hand the standard-error file to the Java side"},
    {Key::StdErrFile, KeyKind::Text, "stderr_file", Text, '\0', "",
     "standard-error file of the Java program"},
    {Key::PassStdOutFile, KeyKind::Flag, "redirect_stdout", Text, '\0', "",
     "hand the standard-output file to the Java side"},
    {Key::StdOutFile, KeyKind::Text, "stdout_file", Text, '\0', "",
     "standard-output file of the Java program"},
    {Key::AppendRedirection, KeyKind::Flag, "append_output", Text, '\0', "",
     "append to the redirection files instead of replacing them"},
    {Key::LauncherType, KeyKind::Int, "launcher_type", Text, '\0', "4",
     "launcher type: 4 is a service"},
    {Key::ClassPath, KeyKind::Text, "class_path", Text, ';', "",
     "class path entries: kind letter, mandatory digit, argument"},
    {Key::MainClass, KeyKind::Text, "main_class", Text, '\0', "", "main class of the Java program"},
    {Key::VmArguments, KeyKind::Text, "vm_arguments", Text, '\0', "",
     "VM arguments, split like a command line"},
    {Key::ProgramArguments, KeyKind::Text, "arguments", Text, '\0', "",
     "program arguments, split like a command line"},
    {Key::JArgumentsToVm, KeyKind::Flag, "j_arguments_to_vm", Text, '\0', "",
     "command-line arguments starting with -J become VM options"},
    {Key::MinJavaVersion, KeyKind::Text, "min_java_version", Text, '\0', "",
     "minimum Java version"},
    {Key::MaxJavaVersion, KeyKind::Text, "max_java_version", Text, '\0', "",
     "maximum Java version (a prefix)"},
    {Key::SearchSequence, KeyKind::Text, "jre_search_sequence", Text, ';', "",
     "Java runtime search sequence: kind letter and argument"},
    {Key::AllowPreRelease, KeyKind::Flag, "allow_prerelease_java", Text, '\0', "",
     "accept early-access, beta and release-candidate runtimes"},
    {Key::RequireJdk, KeyKind::Flag, "require_jdk", Text, '\0', "", "accept only a JDK"},
    {Key::WorkingDirectory, KeyKind::Text, "working_directory", Text, '\0', "",
     "working directory, relative to the executable's directory"},
    {Key::Dependencies, KeyKind::Text, "dependencies", Text, ',', "",
     "services this service depends on"},
    {Key::VmType, KeyKind::Text, "vm_type", MaxVmTypeLength, '\0', "",
     "VM type directory tried first (such as server)"},
    {Key::ApplicationId, KeyKind::Text, "application_id", Text, '\0', "",
     "application id of earlier installations"},
    {Key::MessageTitle, KeyKind::Text, "message_title", Text, '\0', "Error",
     "title of every message box"},
    // 1001 to 1004, 1012 to 1014, 1018 and 1020 belong to the block's full set of texts;
    // a block made elsewhere carries them, so they have names and defaults like the rest.
    {Key::MessageNoJvmFoundAnyWidth, KeyKind::Text, "message_no_jvm_found_any_width", Text, '\0',
     "No Java runtime was found on this system.\nPlease set KARVO_JAVA_HOME\nto an "
     "installed JDK or JRE.",
     "no suitable Java runtime, without a bit width"},
    {Key::MessageJavaHomeVariableBrokenAnyWidth, KeyKind::Text,
     "message_java_home_variable_broken_any_width", Text, '\0',
     "The {0} environment variable does not\npoint to a working JDK or JRE.",
     "the runtime named by a variable does not load, without a bit width; {0} is the variable"},
    {Key::MessageJvmDamagedAnyWidth, KeyKind::Text, "message_jvm_damaged_any_width", Text, '\0',
     "The Java runtime found at {0} is damaged.\nPlease reinstall it or set KARVO_JAVA_HOME\n"
     "to an installed JDK or JRE.",
     "the runtime found in a directory does not load, without a bit width; {0} is the location"},
    {Key::MessageJvmStartFailedAnyWidth, KeyKind::Text, "message_jvm_start_failed_any_width", Text,
     '\0',
     "The Java VM could not be started. The maximum heap size (-Xmx) may be too large, "
     "or another program may be blocking it.",
     "the JVM library cannot be loaded, without a bit width"},
    {Key::MessageJvmStartFailed, KeyKind::Text, "message_jvm_start_failed", Text, '\0',
     "The Java VM could not be started. The maximum heap size (-Xmx) may be too large, "
     "or another program may be blocking it.",
     "a registry runtime's JVM library cannot be loaded"},
    {Key::MessageClassPathEntryMissing, KeyKind::Text, "message_class_path_entry_missing", Text,
     '\0', "The file or directory {0} was not found or is empty.\n",
     "a mandatory class path entry is missing; {0} is its argument"},
    {Key::MessageWrongParameterUsage, KeyKind::Text, "message_wrong_parameter_usage", Text, '\0',
     "Wrong parameter usage: a quotation mark has no closing partner.",
     "an argument text has an unclosed quote"},
    {Key::MessageVariableRequired, KeyKind::Text, "message_variable_required", Text, '\0',
     "The environment variable {0} must be defined.",
     "a mandatory class path variable is undefined; {0} is its name"},
    {Key::MessageInternalError, KeyKind::Text, "message_internal_error", Text, '\0',
     "An internal error occurred (error code: {0}).", "internal error; {0} is a short code"},
    {Key::MessageMainClassNotFound, KeyKind::Text, "message_main_class_not_found", Text, '\0',
     "The main class could not be loaded.", "the Java runtime class cannot be found"},
    {Key::MessageMainMethodNotFound, KeyKind::Text, "message_main_method_not_found", Text, '\0',
     "The main method was not found.", "the runtime class has no main method"},
    {Key::MessageSecondTitle, KeyKind::Text, "message_second_title", Text, '\0', "Error",
     "a second title of error boxes"},
    {Key::MessageOkButton, KeyKind::Text, "message_ok_button", Text, '\0', "Ok",
     "the text of an OK button"},
    {Key::MessageStartupError, KeyKind::Text, "message_startup_error", Text, '\0',
     "An error occurred while starting up {0}:",
     "heading of a start-up failure; {0} is the program"},
    {Key::MessageTempDirUnusable, KeyKind::Text, "message_temp_dir_unusable", Text, '\0',
     "No usable temporary directory was found. You need at least Power User rights to run "
     "this program.",
     "no usable temporary directory"},
    {Key::MessageNoJvmFound, KeyKind::Text, "message_no_jvm_found", Text, '\0',
     "No Java runtime was found on this system.\nPlease set KARVO_JAVA_HOME\nto an "
     "installed {0}-bit JDK or JRE.",
     "no suitable Java runtime; {0} is the bit width"},
    {Key::MessageJavaHomeVariableBroken, KeyKind::Text, "message_java_home_variable_broken", Text,
     '\0', "The {0} environment variable does not\npoint to a working 32-bit JDK or JRE.",
     "the runtime named by a variable does not load; {0} is the variable"},
    {Key::MessageJavaHomeVariableBroken64, KeyKind::Text, "message_java_home_variable_broken_64",
     Text, '\0', "The {0} environment variable does not\npoint to a working 64-bit JDK or JRE.",
     "the 64-bit launcher's form of message_java_home_variable_broken"},
    {Key::MessageJvmDamaged, KeyKind::Text, "message_jvm_damaged", Text, '\0',
     "The Java runtime found at {0} is damaged.\nPlease reinstall it or set KARVO_JAVA_HOME\n"
     "to an installed 32-bit JDK or JRE.",
     "the runtime found in a directory does not load; {0} is the location"},
    {Key::MessageJvmDamaged64, KeyKind::Text, "message_jvm_damaged_64", Text, '\0',
     "The Java runtime found at {0} is damaged.\nPlease reinstall it or set KARVO_JAVA_HOME\n"
     "to an installed 64-bit JDK or JRE.",
     "the 64-bit launcher's form of message_jvm_damaged"},
    {Key::Flavour, KeyKind::Text, "flavour", 1, '\0', "",
     "product flavour: t for tessel, anything else karvo"},
    {Key::IncludedFileCount, KeyKind::Int, "included_file_count", Text, '\0', "",
     "number of included files (written by the packer)"},
    {Key::IncludedFileNames, KeyKind::Text, "included_file_names", Text, ';', "",
     "included file names (written by the packer)"},
    {Key::ApplicationDirectory, KeyKind::Text, "application_directory", Text, '\0', "",
     "application directory, relative to the executable's directory"},
    {Key::NativeLibraryDirectories, KeyKind::Text, "native_library_path", Text, ';', "",
     "native library directories put in front of PATH"},
    {Key::ProcessCommFile, KeyKind::Flag, "process_comm_file", Text, '\0', "",
     "pass the process communication file name to the Java side"},
    {Key::Description, KeyKind::Wide, "description", MaxWideTextLength, '\0', "",
     "service description"},
    {Key::StopTimeout, KeyKind::Int, "stop_timeout", Text, '\0', "",
     "seconds the program may take to end after a stop request; 0 waits for ever"},
    {Key::Restart, KeyKind::Text, "restart", Text, '\0', "",
     "restart the program when it ends on its own: never, on-failure or always"},
    {Key::RestartDelay, KeyKind::Int, "restart_delay", Text, '\0', "",
     "milliseconds before the first restart (default 1000)"},
    {Key::RestartDelayMax, KeyKind::Int, "restart_delay_max", Text, '\0', "",
     "longest restart delay in milliseconds after doubling (default 60000)"},
    {Key::RestartResetAfter, KeyKind::Int, "restart_reset_after", Text, '\0', "",
     "milliseconds a run must last to reset the delay and the count (default 60000)"},
    {Key::RestartLimit, KeyKind::Int, "restart_limit", Text, '\0', "",
     "restarts allowed between two long runs before giving up; 0 is unlimited"},
    {Key::DelayedAutoStart, KeyKind::Flag, "delayed_auto_start", Text, '\0', "",
     "an automatic service starts shortly after the other automatic services"},
    {Key::ServiceAccount, KeyKind::Text, "service_account", Text, '\0', "",
     "account the service runs as; a user account's password is asked for at install"},
    {Key::FailureRestartDelay, KeyKind::Int, "failure_restart_delay", Text, '\0', "",
     "milliseconds after a failure before the system restarts the service; 0: no restart"},
    {Key::FailureResetPeriod, KeyKind::Int, "failure_reset_period", Text, '\0', "",
     "seconds without failure after which the failure count starts again"},
    {Key::OutputMaxSize, KeyKind::Int, "output_max_size", Text, '\0', "",
     "bytes after which a redirected output file rolls over; 0: no limit"},
    {Key::OutputKeep, KeyKind::Int, "output_keep", Text, '\0', "",
     "how many rolled output files are kept (name.1 to name.N)"},
    {Key::Environment, KeyKind::Text, "environment", MaxPathListLength, '\n', "",
     "NAME=value variables set, in order and expanded, before the runtime search"},
    {Key::ServiceNameArgument, KeyKind::Flag, "service_name_argument", Text, '\0', "",
     "the service name goes first among the program's arguments (absent: on)"},
    {Key::DiagnosticLog, KeyKind::Flag, "log", Text, '\0', "",
     "the diagnostic log is on for this service from its next start"},
    {Key::KeepChildProcesses, KeyKind::Flag, "keep_child_processes", Text, '\0', "",
     "processes the program starts outlive its end and the service's"},
    {Key::WatchdogInterval, KeyKind::Int, "watchdog_interval", Text, '\0', "",
     "seconds between two checks that the program still answers; 0: no watchdog"},
    {Key::WatchdogTimeout, KeyKind::Int, "watchdog_timeout", Text, '\0', "",
     "seconds the VM may take to answer a watchdog check (default 10)"},
    {Key::ServicePasswordVariable, KeyKind::Text, "service_password_variable", Text, '\0', "",
     "environment variable that holds the service account's password at install"},
};

}  // namespace

std::span<const ConfigKeyInfo> configKeyTable() { return KeyTable; }

const ConfigKeyInfo* findConfigKey(ConfigKey number) {
    for (const auto& info : KeyTable) {
        if (info.number == number) return &info;
    }
    return nullptr;
}

const ConfigKeyInfo* findConfigKeyByName(std::string_view name) {
    for (const auto& info : KeyTable) {
        if (info.name == name) return &info;
    }
    return nullptr;
}

}  // namespace karvo
