package com.karvo.runtime;

import java.io.ByteArrayInputStream;
import java.io.File;
import java.io.FileDescriptor;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.io.PrintStream;
import java.io.UnsupportedEncodingException;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.nio.charset.Charset;
import java.util.Arrays;

/**
 * The work behind both flavours' {@code WinLauncher.main}: the native launcher
 * creates the VM in its own process and hands this class a parameter array that
 * describes the program to run.
 *
 * <pre>
 * args[0]   "true" when the launcher is a GUI launcher, otherwise "false"
 * args[1]   the application's main class, dotted ("com.example.Main")
 * args[2]   file that receives System.err, or "" to leave it alone
 * args[3]   file that receives System.out, or "" to leave it alone
 * args[4]   "true" to append to those files, "false" to start them empty
 * args[5..] the application's arguments, passed on unchanged
 * </pre>
 *
 * The system properties {@code karvo.outputMaxSize} (bytes, above 0) and
 * {@code karvo.outputKeep} make the redirection files roll over by size; see
 * {@link RollingFileOutputStream}.
 *
 * When the system property {@code karvo.isService} is "true" the process is the
 * child of the service supervisor, which sends the shutdown code on standard
 * input; see {@link ShutdownWatcher}.
 */
public final class LauncherRuntime {

    /** Number of parameters in front of the application's own arguments. */
    static final int FIXED_PARAMETERS = 5;

    private static volatile boolean guiLauncher;
    private static boolean keepWarned;

    private LauncherRuntime() {
    }

    /**
     * True when the native launcher that started this VM is a GUI launcher
     * (no console of its own). Lets the application choose how to report
     * problems; the runtime itself treats both kinds alike.
     */
    public static boolean isGuiLauncher() {
        return guiLauncher;
    }

    /**
     * Runs the configured program. Whatever the application's main throws leaves
     * this method unchanged (checked exceptions included, without a wrapper), so
     * the native launcher finds it pending and ends the process with a failure.
     */
    public static void run(String[] args) {
        try {
            // The watcher must own standard input before anything else happens:
            // a stop request can arrive while the application is still loading.
            if ("true".equals(System.getProperty("karvo.isService"))) {
                InputStream control = System.in;
                // The control pipe carries nothing for the application, and an
                // application that read it would swallow the stop request.
                System.setIn(new ByteArrayInputStream(new byte[0]));
                ShutdownWatcher.start(control);
            }

            if (args == null || args.length < FIXED_PARAMETERS) {
                throw new IllegalArgumentException("expected at least " + FIXED_PARAMETERS
                        + " parameters (gui flag, main class, error file, output file, append flag), got "
                        + (args == null ? 0 : args.length));
            }
            guiLauncher = parseFlag(args, 0, "gui flag");
            String mainClass = args[1];
            boolean append = parseFlag(args, 4, "append flag");
            if (mainClass == null || mainClass.trim().isEmpty()) {
                throw new IllegalArgumentException("no main class configured");
            }

            redirect(args[2], args[3], append);

            Method main = findMain(mainClass.trim());
            String[] appArgs = Arrays.copyOfRange(args, FIXED_PARAMETERS, args.length);
            try {
                main.invoke(null, (Object) appArgs);
            } catch (InvocationTargetException e) {
                throw e.getCause() != null ? e.getCause() : e;
            }
        } catch (Throwable t) {
            throw LauncherRuntime.<RuntimeException>sneakyThrow(t);
        }
    }

    private static boolean parseFlag(String[] args, int index, String what) {
        String value = args[index];
        if ("true".equals(value)) {
            return true;
        }
        if ("false".equals(value)) {
            return false;
        }
        throw new IllegalArgumentException(what + " (parameter " + (index + 1)
                + ") must be \"true\" or \"false\", got \"" + value + "\"");
    }

    /**
     * Loads the main class through the context class loader (which the VM sets
     * to the application class loader for the launching thread) and returns its
     * {@code public static void main(String[])}.
     */
    static Method findMain(String className) throws ClassNotFoundException, NoSuchMethodException {
        // Accept the internal form too; a hand-edited configuration may use it.
        String name = className.replace('/', '.');
        ClassLoader loader = Thread.currentThread().getContextClassLoader();
        if (loader == null) {
            loader = ClassLoader.getSystemClassLoader();
        }
        Class<?> type;
        try {
            type = Class.forName(name, false, loader);
        } catch (ClassNotFoundException e) {
            throw new ClassNotFoundException("main class " + name + " was not found on the class path", e);
        }
        String missing = "main class " + name + " has no method public static void main(String[])";
        Method main;
        try {
            main = type.getMethod("main", String[].class);
        } catch (NoSuchMethodException e) {
            throw new NoSuchMethodException(missing);
        }
        if (!Modifier.isStatic(main.getModifiers()) || main.getReturnType() != void.class) {
            throw new NoSuchMethodException(missing);
        }
        try {
            // A public main in a non-public class is still a valid entry point.
            main.setAccessible(true);
        } catch (RuntimeException ignored) {
            // Module or security restrictions: invoke reports the real problem.
        }
        return main;
    }

    /**
     * Points System.err and System.out at the configured files. Output to a
     * console or pipe that is not redirected gets the console's code page when
     * the launcher passes one in {@code karvo.consoleCodepage}.
     */
    static void redirect(String errName, String outName, boolean append) {
        File errFile = errName == null || errName.isEmpty() ? null : new File(errName);
        File outFile = outName == null || outName.isEmpty() ? null : new File(outName);
        PrintStream out = outFile == null ? null : open(outFile, append);
        PrintStream err;
        if (errFile != null && out != null && sameFile(errFile, outFile)) {
            // Two streams on one file would each keep their own position and
            // overwrite each other's lines.
            err = out;
        } else {
            err = errFile == null ? null : open(errFile, append);
        }

        Charset console = consoleCharset(System.getProperty("karvo.consoleCodepage"));
        if (out == null && console != null) {
            System.out.flush();
            out = printStream(new FileOutputStream(FileDescriptor.out), console);
        }
        if (err == null && console != null) {
            System.err.flush();
            err = printStream(new FileOutputStream(FileDescriptor.err), console);
        }
        if (out != null) {
            System.out.flush();
            System.setOut(out);
        }
        if (err != null) {
            System.err.flush();
            System.setErr(err);
        }
    }

    /**
     * Opens a redirection file. A file that cannot be opened leaves the stream
     * where it was: the program still runs, and the reason is written to the
     * current standard error.
     */
    private static PrintStream open(File file, boolean append) {
        try {
            File parent = file.getAbsoluteFile().getParentFile();
            if (parent != null && !parent.isDirectory() && !parent.mkdirs() && !parent.isDirectory()) {
                throw new IOException("cannot create directory " + parent);
            }
            Charset charset = Charset.defaultCharset();
            long maxSize = longProperty("karvo.outputMaxSize");
            OutputStream target = maxSize > 0
                    ? new RollingFileOutputStream(file, append, maxSize, outputKeep(), charset)
                    : new FileOutputStream(file, append);
            return printStream(target, charset);
        } catch (IOException e) {
            System.err.println("karvo: cannot redirect output to " + file + ": " + e.getMessage());
            return null;
        }
    }

    /**
     * No buffer below the PrintStream: each print reaches the file at once, so
     * nothing is lost when the program ends through Runtime.halt or the native
     * launcher exits after an uncaught exception without running shutdown hooks.
     */
    private static PrintStream printStream(OutputStream target, Charset charset) {
        try {
            return new PrintStream(target, true, charset.name());
        } catch (UnsupportedEncodingException e) {
            return new PrintStream(target, true);
        }
    }

    /**
     * How many rolled files to keep. A block written by hand may ask for more than
     * can be kept; that is said once, on the standard error of the moment, and the
     * most that can be kept is kept.
     */
    static int outputKeep() {
        long keep = longProperty("karvo.outputKeep");
        if (keep <= RollingFileOutputStream.MAX_KEEP) {
            return (int) keep;
        }
        if (!keepWarned) {
            keepWarned = true;
            System.err.println("karvo: output_keep is " + keep + ", more than the "
                    + RollingFileOutputStream.MAX_KEEP + " rolled files that can be kept; keeping "
                    + RollingFileOutputStream.MAX_KEEP + " (set output_keep to at most "
                    + RollingFileOutputStream.MAX_KEEP + ")");
        }
        return RollingFileOutputStream.MAX_KEEP;
    }

    /** A whole number the launcher passed, or 0 when it passed none or something else. */
    static long longProperty(String name) {
        String text = System.getProperty(name);
        if (text == null) {
            return 0;
        }
        try {
            return Long.parseLong(text.trim());
        } catch (NumberFormatException e) {
            return 0;
        }
    }

    private static boolean sameFile(File a, File b) {
        try {
            return a.getCanonicalFile().equals(b.getCanonicalFile());
        } catch (IOException e) {
            return a.getAbsoluteFile().equals(b.getAbsoluteFile());
        }
    }

    /**
     * Maps the launcher's "cp&lt;number&gt;" text to a charset, or null when there is
     * none to apply ("cp0" is what a process without a console reports).
     */
    static Charset consoleCharset(String codePage) {
        if (codePage == null) {
            return null;
        }
        String text = codePage.trim().toLowerCase(java.util.Locale.ROOT);
        String number = text.startsWith("cp") ? text.substring(2) : "";
        if (number.isEmpty() || number.length() > 5) {
            return null;
        }
        for (int i = 0; i < number.length(); i++) {
            char c = number.charAt(i);
            if (c < '0' || c > '9') {
                return null;
            }
        }
        if (Integer.parseInt(number) == 0) {
            return null;
        }
        if (number.equals("65001")) {
            return Charset.forName("UTF-8");
        }
        String[] names = {"cp" + number, "windows-" + number, "IBM" + number, "x-IBM" + number, "MS" + number,
                "x-windows-" + number};
        for (String name : names) {
            try {
                if (Charset.isSupported(name)) {
                    return Charset.forName(name);
                }
            } catch (IllegalArgumentException ignored) {
                // not a legal charset name here; try the next spelling
            }
        }
        return null;
    }

    @SuppressWarnings("unchecked")
    private static <T extends Throwable> T sneakyThrow(Throwable t) throws T {
        throw (T) t;
    }
}
