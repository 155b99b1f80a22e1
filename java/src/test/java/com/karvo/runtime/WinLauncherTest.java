package com.karvo.runtime;

import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.nio.charset.Charset;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.concurrent.TimeUnit;
import java.util.zip.ZipEntry;
import java.util.zip.ZipFile;

/**
 * Runs the launcher classes in child JVMs, the way the native launcher's child
 * runs them, and checks what the application sees and how the process ends.
 *
 * Usage: WinLauncherTest RUNTIME_JAR TEST_CLASSES WORK_DIR
 */
public final class WinLauncherTest {

    private static final String KARVO = "com.karvo.runtime.WinLauncher";
    private static final String TESSEL = "com.tessel.runtime.launcher.WinLauncher";
    private static final String SERVICE = "-Dkarvo.isService=true";
    private static final long CHILD_TIMEOUT_MS = 20_000;

    private static String jar;
    private static String testClasses;
    private static File work;
    private static int passed;
    private static int failed;

    public static void main(String[] args) throws Exception {
        jar = args[0];
        testClasses = args[1];
        work = new File(args[2]).getAbsoluteFile();
        group("jar", WinLauncherTest::jarsHoldJava7Classes);
        group("arguments", WinLauncherTest::argumentsArriveUnchanged);
        group("redirection", WinLauncherTest::outputGoesToConfiguredFiles);
        group("failures", WinLauncherTest::failuresReachTheLauncher);
        group("shutdown", WinLauncherTest::shutdownCodeEndsTheProcess);
        group("service", WinLauncherTest::serviceOutlivesMainWhileThreadsRun);
        group("console", WinLauncherTest::consoleCodePageAppliesToConsoleOnly);
        group("rolling", WinLauncherTest::outputFilesRollBySize);
        group("full disk", WinLauncherTest::fullDiskNeverStopsTheProgram);
        group("failed roll", RollingFileOutputStreamTest::failedRollKeepsHistory);
        group("rolling limit", RollingFileOutputStreamTest::rolledFilesStayWithinTheLimit);
        group("keep bound", RollingFileOutputStreamTest::keepAboveTheBoundIsHeldToIt);
        group("unfinished roll", RollingFileOutputStreamTest::unfinishedRollIsFinishedAtTheStart);
        group("thread dump", WinLauncherTest::threadDumpNamesDeadlocks);
        System.out.println(passed + " passed, " + failed + " failed");
        System.exit(failed == 0 ? 0 : 1);
    }

    private interface Group {
        void run() throws Exception;
    }

    /** A group that breaks off counts as one failure; the others still run. */
    private static void group(String name, Group group) {
        try {
            group.run();
        } catch (Exception e) {
            check(name + " ran to the end", false, e);
        }
    }

    static void check(String name, boolean ok, Object detail) {
        if (ok) {
            passed++;
        } else {
            failed++;
            System.out.println("FAIL " + name + ": " + detail);
        }
    }

    private static void jarsHoldJava7Classes() throws IOException {
        File karvoJar = new File(jar);
        File tesselJar = new File(karvoJar.getParentFile(), "tslruntime.jar");
        check("jars identical", Arrays.equals(Files.readAllBytes(karvoJar.toPath()),
                Files.readAllBytes(tesselJar.toPath())), tesselJar);
        try (ZipFile zip = new ZipFile(karvoJar)) {
            for (String name : new String[] {"com/karvo/runtime/WinLauncher.class",
                    "com/tessel/runtime/launcher/WinLauncher.class", "com/tessel/runtime/launcher/FirstRun.class"}) {
                check("jar holds " + name, zip.getEntry(name) != null, "missing");
            }
            for (ZipEntry entry : java.util.Collections.list(zip.entries())) {
                if (entry.getName().endsWith(".class")) {
                    byte[] head = new byte[8];
                    try (InputStream in = zip.getInputStream(entry)) {
                        new java.io.DataInputStream(in).readFully(head);
                    }
                    int major = ((head[6] & 0xff) << 8) | (head[7] & 0xff);
                    check("class version of " + entry.getName(), major == 51, major);
                }
            }
        }
    }

    private static void argumentsArriveUnchanged() throws Exception {
        String[] appArgs = {"svc", "echo", "", "two words", "quote\"d", "\u00e4\u20ac\ud834\udd1e", "-Jx", "true"};
        StringBuilder expected = new StringBuilder();
        for (String arg : appArgs) {
            expected.append(demo.Main.escape(arg)).append('\n');
        }
        for (String launcher : new String[] {KARVO, TESSEL}) {
            for (String mainClass : new String[] {"demo.Main", "demo/Main"}) {
                String name = "args " + launcher + " " + mainClass;
                Child child = new Child(name, SERVICE, launcher, concat(
                        new String[] {"false", mainClass, "", "", "false"}, appArgs));
                check(name, child.finish() == 0 && child.read("proc-out.txt").equals(expected.toString()),
                        child.describe());
            }
        }
    }

    private static void outputGoesToConfiguredFiles() throws Exception {
        // name, behaviour, error file, output file, append flag, then expected (file, content) pairs.
        // Every named file holds "old\n" before the start.
        String[][] cases = {
            {"fresh dirs", "interleave", "e/err.txt", "o/deep/out.txt", "false",
                "o/deep/out.txt", "A\nC\n", "e/err.txt", "B\n", "proc-out.txt", "", "proc-err.txt", ""},
            {"truncated", "interleave", "err.txt", "out.txt", "false", "out.txt", "A\nC\n", "err.txt", "B\n"},
            {"appended", "interleave", "err.txt", "out.txt", "true", "out.txt", "old\nA\nC\n", "err.txt", "old\nB\n"},
            {"one file", "interleave", "both.txt", "./both.txt", "false", "both.txt", "A\nB\nC\n"},
            {"one file appended", "interleave", "both.txt", "both.txt", "true", "both.txt", "old\nA\nB\nC\n"},
            {"error only", "interleave", "err.txt", "", "false", "err.txt", "B\n", "proc-out.txt", "A\nC\n"},
            {"none", "interleave", "", "", "false", "proc-out.txt", "A\nC\n", "proc-err.txt", "B\n"},
            {"halt keeps partial line", "halt", "", "out.txt", "false", "out.txt", "no-newline"},
        };
        for (String[] c : cases) {
            String name = "redirect " + c[0];
            File dir = caseDir(name);
            for (String file : new String[] {c[2], c[3]}) {
                if (!file.isEmpty()) {
                    write(new File(dir, file), "old\n");
                }
            }
            Child child = new Child(name, SERVICE, KARVO, "false", "demo.Main", c[2], c[3], c[4], "svc", c[1]);
            check(name + " exit", child.finish() == 0, child.describe());
            for (int i = 5; i < c.length; i += 2) {
                String actual = child.read(c[i]);
                check(name + " " + c[i], actual.equals(c[i + 1]), "got [" + actual + "]");
            }
        }
    }

    private static void failuresReachTheLauncher() throws Exception {
        // name, file that must show the failure, launcher parameters...; expected text follows "=>".
        String[][] cases = {
            {"unchecked", "proc-err.txt", "false", "demo.Main", "", "", "false", "svc", "throw",
                "=>", "java.lang.IllegalStateException: boom", "at demo.Main.main(Main.java"},
            {"checked into error file", "err.txt", "false", "demo.Main", "err.txt", "", "false", "svc", "throwChecked",
                "=>", "java.io.IOException: checked boom"},
            {"missing class", "proc-err.txt", "false", "demo.Nope", "", "", "false",
                "=>", "ClassNotFoundException: main class demo.Nope"},
            {"no main", "proc-err.txt", "true", "demo.Main$NoMain", "", "", "false",
                "=>", "NoSuchMethodException: main class demo.Main$NoMain"},
            {"instance main", "proc-err.txt", "false", "demo.Main$InstanceMain", "", "", "false",
                "=>", "NoSuchMethodException: main class demo.Main$InstanceMain"},
            {"too few parameters", "proc-err.txt", "false", "demo.Main", "", "",
                "=>", "IllegalArgumentException: expected at least 5"},
            {"bad gui flag", "proc-err.txt", "1", "demo.Main", "", "", "false", "=>", "gui flag (parameter 1)"},
            {"bad append flag", "proc-err.txt", "false", "demo.Main", "", "", "yes", "=>", "append flag (parameter 5)"},
        };
        for (String[] c : cases) {
            String name = "failure " + c[0];
            int arrow = Arrays.asList(c).indexOf("=>");
            Child child = new Child(name, SERVICE, KARVO, Arrays.copyOfRange(c, 2, arrow));
            int exit = child.finish();
            String shown = child.read(c[1]);
            check(name + " exit", exit != 0 && exit != Child.TIMED_OUT, child.describe());
            check(name + " unwrapped", !shown.contains("InvocationTargetException"), shown);
            for (int i = arrow + 1; i < c.length; i++) {
                check(name + " shows " + c[i], shown.contains(c[i]), shown);
            }
        }
    }

    private static void shutdownCodeEndsTheProcess() throws Exception {
        // name, service mode, input, close input afterwards, expected exit code, expected output line
        Object[][] cases = {
            {"stop request", true, "0\n", true, 0, "stdin:-1"},
            {"code at line feed", true, "3\n", false, 3, "stdin:-1"},
            {"crlf", true, "42\r\n", true, 42, "stdin:-1"},
            {"closed without code", true, "", true, 0, "stdin:-1"},
            {"code without line feed", true, "7", true, 7, "stdin:-1"},
            {"empty and garbage lines skipped", true, "\nx9\n12\n", false, 12, "stdin:-1"},
            {"not a service", false, "5\n", true, 0, "stdin:53\nready\nwoke"},
        };
        for (Object[] c : cases) {
            String name = "shutdown " + c[0];
            boolean service = (Boolean) c[1];
            Child child = new Child(name, service ? SERVICE : "-Dkarvo.isService=false", KARVO,
                    "false", "demo.Main", "", "", "false", "svc", "sleep", service ? "60000" : "500");
            if (service) {
                check(name + " ready", child.awaitOutput("ready"), child.describe());
            }
            child.send((String) c[2], (Boolean) c[3]);
            int exit = child.finish();
            check(name, exit == (Integer) c[4] && child.read("proc-out.txt").contains((String) c[5]),
                    "exit " + exit + ", " + child.describe());
        }
    }

    private static void serviceOutlivesMainWhileThreadsRun() throws Exception {
        Child stopped = new Child("service stopped", SERVICE, KARVO, "false", "demo.Main", "", "out.txt", "false",
                "svc", "worker", "60000");
        check("service main returned", stopped.awaitOutput("main returning"), stopped.describe());
        Thread.sleep(700);
        check("service alive after main", stopped.process.isAlive(), stopped.describe());
        stopped.send("0\n", true);
        int exit = stopped.finish();
        check("service stopped", exit == 0 && stopped.read("out.txt").equals("main returning\nhook ran\n"),
                "exit " + exit + ", " + stopped.describe());

        // Standard input stays open: the worker alone decides when the VM ends.
        Child finished = new Child("service worker ends", SERVICE, KARVO, "false", "demo.Main", "", "out.txt", "false",
                "svc", "worker", "1000");
        exit = finished.finish();
        check("service ends with last thread", exit == 0
                && finished.read("out.txt").equals("main returning\nworker done\nhook ran\n"),
                "exit " + exit + ", " + finished.describe());
    }

    private static void consoleCodePageAppliesToConsoleOnly() throws Exception {
        Charset fallback = Charset.defaultCharset();
        // code page, output file, bytes expected in (output file or process output)
        Object[][] cases = {
            {"cp850", "", new byte[] {(byte) 0x84, '\n'}},
            {"cp65001", "", new byte[] {(byte) 0xc3, (byte) 0xa4, '\n'}},
            {"cp0", "", "\u00e4\n".getBytes(fallback)},
            {"cpfoo", "", "\u00e4\n".getBytes(fallback)},
            {"cp850", "out.txt", "\u00e4\n".getBytes(fallback)},
        };
        for (Object[] c : cases) {
            String name = "console " + c[0] + " " + c[1];
            Child child = new Child(name, "-Dkarvo.consoleCodepage=" + c[0], KARVO, "false", "demo.Main", "",
                    (String) c[1], "false", "svc", "umlaut");
            int exit = child.finish();
            byte[] actual = Files.readAllBytes(new File(child.dir, c[1].equals("") ? "proc-out.txt"
                    : (String) c[1]).toPath());
            check(name, exit == 0 && Arrays.equals(actual, (byte[]) c[2]),
                    "exit " + exit + ", bytes " + Arrays.toString(actual));
        }
    }

    private static void outputFilesRollBySize() throws Exception {
        // name, max size, keep, lines per thread, width, threads, append, "blocked" to make the
        // first rename fail; expected: files that exist, whether every line survives.
        Object[][] cases = {
            {"every line kept in order", 1000, 50, 200, 20, 1, false, false, 5, true},
            {"only the newest files kept", 1000, 2, 200, 20, 1, false, false, 3, false},
            {"a line longer than the limit is cut at the limit", 50, 20, 5, 100, 1, false, false, 15, true},
            {"threads never split or lose a line", 2000, 100, 300, 30, 4, false, false, 19, true},
            {"appending counts the existing file", 1000, 5, 10, 50, 1, true, false, 2, true},
            {"blocked rename keeps writing the current file", 1000, 1, 200, 20, 1, false, true, 1, true},
            {"a keep above the bound is held to it", 1000, Integer.MAX_VALUE, 200, 20, 1, false, false, 5, true},
        };
        for (Object[] c : cases) {
            String name = "rolling " + c[0];
            File dir = caseDir(name);
            int maxSize = (Integer) c[1];
            int keep = (Integer) c[2];
            boolean append = (Boolean) c[6];
            String old = "";
            if (append) {
                old = repeat("o", 899) + "\n";
                write(new File(dir, "out.txt"), old);
            }
            if ((Boolean) c[7]) {
                // A directory with something in it cannot be replaced by the rolled file.
                write(new File(dir, "out.txt.1/held.txt"), "held\n");
            }
            Child child = new Child(name, "-Dkarvo.outputMaxSize=" + maxSize + " -Dkarvo.outputKeep=" + keep,
                    KARVO, "false", "demo.Main", "", "out.txt", append ? "true" : "false", "svc", "lines",
                    String.valueOf(c[3]), String.valueOf(c[4]), String.valueOf(c[5]));
            int exit = child.finish();
            check(name + " exit", exit == 0, "exit " + exit + ", " + child.describe());

            // Oldest first: out.txt.N ... out.txt.1, then out.txt.
            int files = 0;
            StringBuilder all = new StringBuilder();
            boolean blocked = (Boolean) c[7];
            boolean longLines = (Integer) c[4] >= maxSize;
            for (int i = Math.min(keep, RollingFileOutputStream.MAX_KEEP); i >= 0; i--) {
                File f = new File(dir, i == 0 ? "out.txt" : "out.txt." + i);
                if (!f.isFile()) {
                    continue;
                }
                files++;
                String text = new String(Files.readAllBytes(f.toPath()), StandardCharsets.US_ASCII);
                check(name + " " + f.getName() + " within the limit", f.length() <= maxSize || blocked,
                        f.length() + " bytes");
                check(name + " " + f.getName() + " ends a line", text.endsWith("\n") || longLines && i > 0,
                        "ends with [" + text.substring(Math.max(0, text.length() - 10)) + "]");
                all.append(text);
            }
            if (keep > RollingFileOutputStream.MAX_KEEP) {
                String err = child.read("proc-err.txt");
                check(name + " says so once", err.split("at most 10000", -1).length == 2, err);
            }
            check(name + " files", files == (Integer) c[8], files + " files");
            String text = all.toString();
            check(name + " old content first", text.startsWith(old), text.length());
            List<String> lines = new ArrayList<>(Arrays.asList(text.substring(old.length()).split("\n")));
            int notes = lines.size();
            lines.removeIf(line -> line.contains("could not be rolled over"));
            check(name + " failed roll said once", notes - lines.size() == (blocked ? 1 : 0),
                    (notes - lines.size()) + " notes");
            int perThread = (Integer) c[3];
            int threads = (Integer) c[5];
            boolean whole = true;
            for (String line : lines) {
                whole &= line.length() == (Integer) c[4] && line.matches("\\d\\.\\d{5} x*");
            }
            check(name + " lines whole", whole, lines.size() + " lines");
            if (threads == 1) {
                List<String> sorted = new ArrayList<>(lines);
                java.util.Collections.sort(sorted);
                check(name + " lines in order", sorted.equals(lines), lines.size() + " lines");
            }
            if ((Boolean) c[9]) {
                java.util.Set<String> seen = new java.util.HashSet<>();
                for (String line : lines) {
                    seen.add(line.substring(0, line.indexOf(' ')));
                }
                check(name + " every line once", lines.size() == perThread * threads
                        && seen.size() == perThread * threads, lines.size() + " lines");
            } else {
                String last = String.format("0.%05d ", perThread - 1);
                check(name + " newest lines kept", !lines.isEmpty()
                        && lines.get(lines.size() - 1).startsWith(last)
                        && new File(dir, "out.txt." + (keep + 1)).exists() == false, lines.size() + " lines");
            }
        }
    }

    private static void fullDiskNeverStopsTheProgram() throws Exception {
        File full = new File("/dev/full");
        if (!full.exists()) {
            System.out.println("SKIP full disk: no /dev/full here");
            return;
        }
        for (String limit : new String[] {"0", "1000"}) {
            String name = "full disk limit " + limit;
            Child child = new Child(name, "-Dkarvo.outputMaxSize=" + limit, KARVO, "false", "demo.Main",
                    "/dev/full", "/dev/full", "false", "svc", "lines", "2000", "40", "2");
            int exit = child.finish();
            check(name, exit == 0, "exit " + exit + ", " + child.describe());
        }
    }

    private static void threadDumpNamesDeadlocks() throws Exception {
        // name, VM options, then what the dump must show
        String[][] cases = {
            {"with management classes", "-Dx=1", "count 2", "Deadlocked threads:", "\"left\"", "\"right\"",
                "demo.Main.lambda$lockBoth"},
            {"without management classes", "--limit-modules java.base", "count -1",
                "has no management classes", "\"left\"", "demo.Main.lambda$lockBoth"},
        };
        for (String[] c : cases) {
            String name = "dump " + c[0];
            Child child = new Child(name, c[1], KARVO, "false", "demo.Main", "", "", "false", "svc", "deadlock");
            int exit = child.finish();
            String shown = child.read("proc-out.txt");
            check(name + " exit", exit == 0, "exit " + exit + ", " + child.describe());
            for (int i = 2; i < c.length; i++) {
                check(name + " shows " + c[i], shown.contains(c[i]), child.describe());
            }
        }
    }

    private static String repeat(String s, int times) {
        StringBuilder b = new StringBuilder();
        for (int i = 0; i < times; i++) {
            b.append(s);
        }
        return b.toString();
    }

    /** A child JVM whose own standard output and error go to proc-out.txt and proc-err.txt in its directory. */
    private static final class Child {
        static final int TIMED_OUT = -1000;
        final File dir;
        final Process process;

        Child(String name, String property, String launcher, String... args) throws IOException {
            dir = caseDir(name);
            List<String> command = new ArrayList<>(Arrays.asList(
                    new File(System.getProperty("java.home"), "bin/java").getPath()));
            command.addAll(Arrays.asList(property.split(" ")));
            command.addAll(Arrays.asList("-cp", jar + File.pathSeparator + testClasses, launcher));
            command.addAll(Arrays.asList(args));
            process = new ProcessBuilder(command).directory(dir)
                    .redirectOutput(new File(dir, "proc-out.txt"))
                    .redirectError(new File(dir, "proc-err.txt"))
                    .start();
        }

        void send(String text, boolean close) throws IOException {
            OutputStream in = process.getOutputStream();
            try {
                in.write(text.getBytes(StandardCharsets.US_ASCII));
                in.flush();
                if (close) {
                    in.close();
                }
            } catch (IOException e) {
                // The child is already gone; its exit code tells the story.
            }
        }

        boolean awaitOutput(String line) throws Exception {
            long end = System.currentTimeMillis() + CHILD_TIMEOUT_MS;
            while (System.currentTimeMillis() < end) {
                if (read("proc-out.txt").contains(line + "\n") || read("out.txt").contains(line + "\n")) {
                    return true;
                }
                if (!process.isAlive()) {
                    return false;
                }
                Thread.sleep(20);
            }
            return false;
        }

        int finish() throws InterruptedException {
            if (process.waitFor(CHILD_TIMEOUT_MS, TimeUnit.MILLISECONDS)) {
                return process.exitValue();
            }
            process.destroyForcibly().waitFor(5, TimeUnit.SECONDS);
            return TIMED_OUT;
        }

        String read(String file) throws IOException {
            File f = new File(dir, file);
            return f.isFile() ? new String(Files.readAllBytes(f.toPath()), Charset.defaultCharset()) : "<no file>";
        }

        String describe() throws IOException {
            return "out [" + read("proc-out.txt") + "] err [" + read("proc-err.txt") + "]";
        }
    }

    /** Working directory of one case; test.sh starts every run with an empty work directory. */
    static File caseDir(String name) throws IOException {
        File dir = new File(work, name.replaceAll("[^A-Za-z0-9.-]+", "_"));
        if (!dir.isDirectory() && !dir.mkdirs()) {
            throw new IOException("cannot create " + dir);
        }
        return dir;
    }

    private static void write(File file, String text) throws IOException {
        file.getParentFile().mkdirs();
        Files.write(file.toPath(), text.getBytes(StandardCharsets.US_ASCII));
    }

    private static String[] concat(String[] a, String[] b) {
        String[] all = Arrays.copyOf(a, a.length + b.length);
        System.arraycopy(b, 0, all, a.length, b.length);
        return all;
    }
}
