// The launcher's own path: where the configuration block and the included files are read
// from, and the directory the application's relative paths start at.
#pragma once
#include <string>

namespace karvo {

// In the file-API code page, computed once; a long path that does not survive that code
// page is given in its short form.
const std::string& getExecutablePath();

}  // namespace karvo
