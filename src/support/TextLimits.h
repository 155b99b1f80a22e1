// The observable limits of the launcher. They are checked where data enters, so that no
// text is ever cut silently or written past a buffer.
#pragma once
#include <cstddef>

namespace karvo {

// A path or a configured text: 8,191 characters (the 8,192-byte buffers of the format).
inline constexpr std::size_t MaxTextLength = 8191;
// A wide (UTF-16) configured text, in code units.
inline constexpr std::size_t MaxWideTextLength = 8191;
// PATH and command lines: 16,383 characters.
inline constexpr std::size_t MaxPathListLength = 16383;
inline constexpr std::size_t MaxCommandLineLength = 16383;
// The whole "-Djava.class.path=..." option.
inline constexpr std::size_t MaxClassPathOptionLength = 40959;
// Configured VM type directory name (read into 200 bytes).
inline constexpr std::size_t MaxVmTypeLength = 199;
// The bin directory of a Java runtime (held in 2,000 bytes).
inline constexpr std::size_t MaxBinDirectoryLength = 1999;

}  // namespace karvo
