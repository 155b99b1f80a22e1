// The text of one log line, formatted like the C runtime's printf (%s, %S, %d, %u, %x, %c,
// %p, %I64d, flags, widths and precisions), free of any platform call.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <string>

namespace karvo {

// Turns a wide text (UTF-16 on Windows) into the log's 8-bit text.
using WideToNarrow = std::string (*)(const wchar_t* text, std::size_t length);

// %S (and %ls) texts go through convert as a whole. The runtime's own conversion uses the
// C locale and stops at the first character it cannot express, dropping the rest of the
// line: a command line with one such character would be logged only up to it.
// A %n directive consumes its argument and writes nothing; an unknown conversion is copied
// as it stands and ends the formatting of arguments, since its argument's type is unknown.
std::string formatLogText(const char* format, va_list args, WideToNarrow convert);

}  // namespace karvo
