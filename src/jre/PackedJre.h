// Runtimes shipped with some jars packed ("<jar>.pack") are restored with their own
// bin\unpack200.exe the first time they are tested, and are ordinary runtimes afterwards.
#pragma once
#include <string>
#include <string_view>

namespace karvo {

// True when lib\rt.jar.pack exists and lib\jsse.jar (the last jar restored) does not.
bool isPackedJre(const std::string& runtimeDirectory);

// Unpacks every packed jar of a packed runtime, in order; does nothing for any other
// directory. Ends the process with the internal-error message "20" when the unpacker
// cannot be started.
void prepareJre(const std::string& runtimeDirectory);

// Restores one jar (a path relative to the runtime directory); a missing pack file skips it.
void unpackJar(const std::string& runtimeDirectory, std::string_view jar);

}  // namespace karvo
