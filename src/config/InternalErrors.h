// The short codes carried by the internal-error message, all in one place so that no two
// failures ever share a code.
#pragma once
#include <string_view>

namespace karvo::InternalError {

inline constexpr std::string_view TempDirectory = "7";    // the launcher's temp directory
inline constexpr std::string_view IncludedFile = "11";    // an included file cannot be created
inline constexpr std::string_view FirstRunClass = "14";   // the first-run class is missing
inline constexpr std::string_view FirstRunMethod = "15";  // its method is missing
inline constexpr std::string_view Extraction = "16";      // extraction failed in the Java host
inline constexpr std::string_view UnpackTool = "20";      // the unpack tool cannot be started
// The VM could not build the parameter array or one of its strings.
inline constexpr std::string_view ParameterArray = "21";
// A configured text would outgrow the text limit once its variables are expanded; such a
// text is never used cut short or half-expanded.
inline constexpr std::string_view ExpansionTooLong = "22";
// The class path option would outgrow its 40,960 bytes.
inline constexpr std::string_view ClassPathTooLong = "31";
// An entry of the configured environment has no name (only a hand-made block holds one).
inline constexpr std::string_view EnvironmentEntry = "34";

}  // namespace karvo::InternalError
