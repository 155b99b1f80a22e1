package com.karvo.runtime;

import java.io.File;
import java.io.IOException;
import java.io.OutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;

/** The rolling stream driven in this VM, where a rename can be made to fail. */
final class RollingFileOutputStreamTest {

    private static final String NOTE = "could not be rolled over";

    private RollingFileOutputStreamTest() {
    }

    /** A file whose first {@code failures} renames fail, as one held open by a reader does on Windows. */
    private static final class HeldFile extends File {
        private int failures;

        HeldFile(File path, int failures) {
            super(path.getPath());
            this.failures = failures;
        }

        @Override
        public boolean renameTo(File dest) {
            return failures-- <= 0 && super.renameTo(dest);
        }
    }

    static void failedRollKeepsHistory() throws Exception {
        // name, renames of the current file that fail, keep, oldest kept file is a directory
        // that cannot go; then the kept files expected afterwards, oldest first.
        Object[][] cases = {
            {"a held current file leaves the kept files alone", 1000, 2, false, "kept two\n", "kept one\n"},
            {"an oldest file that cannot go leaves the others alone", 0, 2, true, null, "kept one\n"},
            {"rolling resumes once the current file is free", 1, 3, false, "kept two\n", "kept one\n", null},
        };
        for (Object[] c : cases) {
            String name = "failed roll " + c[0];
            File dir = WinLauncherTest.caseDir(name);
            int keep = (Integer) c[2];
            write(new File(dir, "out.txt.1"), "kept one\n");
            write(new File(dir, "out.txt.2"), "kept two\n");
            if ((Boolean) c[3]) {
                Files.delete(new File(dir, "out.txt.2").toPath());
                write(new File(dir, "out.txt.2/held.txt"), "held\n");
            }
            File file = new HeldFile(new File(dir, "out.txt"), (Integer) c[1]);
            StringBuilder written = new StringBuilder();
            try (RollingFileOutputStream out = new RollingFileOutputStream(file, false, 200, keep,
                    StandardCharsets.US_ASCII)) {
                for (int i = 0; i < 50; i++) {
                    String line = String.format("line %04d\n", i);
                    out.write(ascii(line));
                    written.append(line);
                }
            }
            for (int i = 4; i < c.length; i++) {
                int index = keep - (i - 4);
                File kept = new File(dir, "out.txt." + index);
                String expected = (String) c[i];
                if (expected != null) {
                    check(name + " keeps " + kept.getName(), read(kept).equals(expected), read(kept));
                }
            }
            StringBuilder all = new StringBuilder();
            int notes = 0;
            for (int i = keep; i >= 0; i--) {
                File f = new File(dir, i == 0 ? "out.txt" : "out.txt." + i);
                for (String line : (f.isFile() ? read(f) : "").split("(?<=\n)")) {
                    if (line.contains(NOTE)) {
                        notes++;
                    } else if (line.startsWith("line")) {
                        all.append(line);
                    }
                }
            }
            check(name + " every line once, in order", all.toString().equals(written.toString()), all);
            check(name + " says so once", notes == 1, notes + " notes");
            check(name + " leaves nothing half rolled", !new File(dir, "out.txt.rolling").exists(), "left over");
        }
    }

    private interface Writer {
        void write(OutputStream out) throws IOException;
    }

    static void rolledFilesStayWithinTheLimit() throws Exception {
        // name, limit, how the program writes, whether each rolled file ends a line.
        Object[][] cases = {
            {"a line end written apart", 29, (Writer) out -> {
                for (int i = 0; i < 20; i++) {
                    out.write(ascii(String.format("line %04d", i)));
                    out.write(ascii("\n"));
                }
            }, true},
            {"println of a PrintStream subclass", 29, (Writer) out -> {
                PrintStream print = new PrintStream(out, true, "US-ASCII") {};
                for (int i = 0; i < 20; i++) {
                    print.println(String.format("line %04d", i));
                }
            }, true},
            {"a line written byte by byte", 25, (Writer) out -> {
                for (byte b : ascii(repeat("abcdefg\n", 30))) {
                    out.write(b);
                }
            }, true},
            {"carriage returns only", 100, (Writer) out -> {
                for (int i = 0; i < 1000; i++) {
                    out.write(ascii("progress 42%\r"));
                }
            }, false},
            {"a line longer than the limit", 100, (Writer) out -> {
                out.write(ascii("short\n" + repeat("x", 250) + "\nshort\n"));
            }, false},
        };
        for (Object[] c : cases) {
            String name = "limit " + c[0];
            File dir = WinLauncherTest.caseDir(name);
            int limit = (Integer) c[1];
            File file = new File(dir, "out.txt");
            RecordingStream record;
            try (RollingFileOutputStream out = new RollingFileOutputStream(file, false, limit, 1000,
                    StandardCharsets.US_ASCII)) {
                record = new RecordingStream(out);
                ((Writer) c[2]).write(record);
            }
            StringBuilder all = new StringBuilder();
            String largest = "";
            boolean linesWhole = true;
            int files = 0;
            for (int i = 1000; i >= 0; i--) {
                File f = new File(dir, i == 0 ? "out.txt" : "out.txt." + i);
                if (f.isFile()) {
                    String text = read(f);
                    files++;
                    largest = text.length() > largest.length() ? text : largest;
                    linesWhole &= i == 0 || text.endsWith("\n");
                    all.append(text);
                }
            }
            check(name + " no file above the limit", largest.length() <= limit, largest.length() + " bytes");
            check(name + " rolled", files > 1, files + " files");
            check(name + " every byte once, in order", all.toString().equals(record.text()), all.length());
            if ((Boolean) c[3]) {
                check(name + " rolled files end a line", linesWhole, "a file ends inside a line");
            }
        }
    }

    static void keepAboveTheBoundIsHeldToIt() throws Exception {
        File dir = WinLauncherTest.caseDir("keep above the bound");
        write(new File(dir, "out.txt." + RollingFileOutputStream.MAX_KEEP), "oldest kept\n");
        write(new File(dir, "out.txt." + (RollingFileOutputStream.MAX_KEEP + 1)), "beyond\n");
        try (RollingFileOutputStream out = new RollingFileOutputStream(new File(dir, "out.txt"), false, 10,
                RollingFileOutputStream.MAX_KEEP + 5, StandardCharsets.US_ASCII)) {
            out.write(ascii("line 0001\nline 0002\nline 0003\n"));
        }
        check("keep bound drops the oldest kept file",
                !new File(dir, "out.txt." + RollingFileOutputStream.MAX_KEEP).exists(), "still there");
        check("keep bound leaves files beyond it alone",
                read(new File(dir, "out.txt." + (RollingFileOutputStream.MAX_KEEP + 1))).equals("beyond\n"),
                "changed");
        check("keep bound rolls the newest", read(new File(dir, "out.txt.2")).equals("line 0001\n"), "not rolled");
    }

    static void unfinishedRollIsFinishedAtTheStart() throws Exception {
        File dir = WinLauncherTest.caseDir("unfinished roll");
        write(new File(dir, "out.txt.rolling"), "cut short\n");
        write(new File(dir, "out.txt.1"), "older\n");
        try (RollingFileOutputStream out = new RollingFileOutputStream(new File(dir, "out.txt"), true, 100, 3,
                StandardCharsets.US_ASCII)) {
            out.write(ascii("new\n"));
        }
        check("unfinished roll becomes the newest rolled file",
                read(new File(dir, "out.txt.1")).equals("cut short\n")
                        && read(new File(dir, "out.txt.2")).equals("older\n")
                        && read(new File(dir, "out.txt")).equals("new\n")
                        && !new File(dir, "out.txt.rolling").exists(),
                read(new File(dir, "out.txt.1")));
    }

    /** Passes every write on unchanged and remembers its bytes, to compare with what the files hold. */
    private static final class RecordingStream extends OutputStream {
        private final StringBuilder seen = new StringBuilder();
        private final OutputStream target;

        RecordingStream(OutputStream target) {
            this.target = target;
        }

        @Override
        public void write(int b) throws IOException {
            seen.append((char) (b & 0xff));
            target.write(b);
        }

        @Override
        public void write(byte[] b, int off, int len) throws IOException {
            seen.append(new String(b, off, len, StandardCharsets.ISO_8859_1));
            target.write(b, off, len);
        }

        String text() {
            return seen.toString();
        }
    }

    private static void check(String name, boolean ok, Object detail) {
        WinLauncherTest.check(name, ok, detail);
    }

    private static byte[] ascii(String text) {
        return text.getBytes(StandardCharsets.US_ASCII);
    }

    private static String repeat(String s, int times) {
        StringBuilder b = new StringBuilder();
        for (int i = 0; i < times; i++) {
            b.append(s);
        }
        return b.toString();
    }

    private static String read(File f) throws IOException {
        return f.isFile() ? new String(Files.readAllBytes(f.toPath()), StandardCharsets.US_ASCII) : "<no file>";
    }

    private static void write(File file, String text) throws IOException {
        file.getParentFile().mkdirs();
        Files.write(file.toPath(), text.getBytes(StandardCharsets.US_ASCII));
    }
}
