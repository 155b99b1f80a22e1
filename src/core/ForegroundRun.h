// /run: the program in the foreground of a console, hosted by a child exactly as the
// service hosts it, so that it behaves the same way it will as a service.
#pragma once

namespace karvo {

// Starts the Java host with this console's output and a control pipe as its input; Ctrl+C,
// Ctrl+Break and closing the console send it the shutdown code as a stop request does, and
// the stop time-out applies. Returns the program's exit code.
int runInForeground();

}  // namespace karvo
