package com.karvo.runtime;

import java.io.IOException;
import java.io.InputStream;

/**
 * Ends the program when the service supervisor asks for it. The supervisor
 * writes the shutdown code to the process's standard input as decimal ASCII
 * digits followed by a line feed, closes the pipe, and then waits only for the
 * process to end - so the code must end the process, it cannot merely be noted.
 *
 * <ul>
 * <li>A line of digits ends the process with that exit code (saturated at
 *     Integer.MAX_VALUE). Carriage returns, blanks and tabs are ignored, so a
 *     code typed on a console works too.</li>
 * <li>Empty lines and lines holding anything but digits are ignored.</li>
 * <li>End of stream after digits without a line feed uses those digits.</li>
 * <li>End of stream without a code ends the process with exit code 0: the
 *     supervisor is gone, nobody could stop the program any more, and an
 *     orphaned service program must not keep running.</li>
 * <li>A read error other than end of stream (no usable standard input at all)
 *     stops the watching and leaves the program running.</li>
 * </ul>
 *
 * The exit goes through System.exit, so the application's shutdown hooks run.
 */
final class ShutdownWatcher implements Runnable {

    private final InputStream control;

    private ShutdownWatcher(InputStream control) {
        this.control = control;
    }

    static void start(InputStream control) {
        Thread thread = new Thread(new ShutdownWatcher(control), "karvo-shutdown-watcher");
        // A daemon, so that it never keeps the VM alive once the program is done.
        thread.setDaemon(true);
        thread.start();
    }

    @Override
    public void run() {
        int code;
        try {
            code = readCode(control);
        } catch (IOException e) {
            System.err.println("karvo: cannot read the shutdown code from standard input, stop requests will be missed: "
                    + e);
            return;
        }
        System.exit(code);
    }

    /** Reads until the first complete code or the end of the stream. */
    static int readCode(InputStream in) throws IOException {
        long value = 0;
        boolean digits = false;
        boolean garbage = false;
        for (;;) {
            int b = in.read();
            if (b < 0 || b == '\n') {
                if (digits && !garbage) {
                    return (int) value;
                }
                if (b < 0) {
                    return 0;
                }
                value = 0;
                digits = false;
                garbage = false;
            } else if (b >= '0' && b <= '9') {
                digits = true;
                value = Math.min(value * 10 + (b - '0'), Integer.MAX_VALUE);
            } else if (b != '\r' && b != ' ' && b != '\t') {
                garbage = true;
            }
        }
    }
}
