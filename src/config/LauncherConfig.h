// The launcher's configuration: read once from the block behind the executable's last
// section, then read-only for the life of the process (looking up an absent key inserts
// nothing, so any thread may read).
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "config/ConfigKeys.h"

namespace karvo {

// Reads the block; on any failure shows the reader's message box and ends the process
// with exit code 1. Afterwards switches messages to standard error unless key 107 is 1 or 5.
void readConfig();

// The text of a key, or "" when it is absent.
const std::string& getConfigString(ConfigKey key);
// The same, cut to capacity - 1 bytes, for the few keys the launcher reads into short
// buffers (the flavour character, the VM type directory).
std::string getConfigString(ConfigKey key, std::size_t capacity);
int getConfigInt(ConfigKey key);
const std::u16string& getConfigWString(ConfigKey key);

// The file offset just after the localized groups, where included files' data begins.
std::int64_t includedDataOffset();

// The locale code of the user's default locale, or nothing.
std::optional<std::string> getUserLocaleCode();

// For tests of the Win32 glue: replaces the tables as if read from a block.
struct ConfigBlock;
void installConfigForTesting(const ConfigBlock& block);

}  // namespace karvo
