package com.karvo.runtime;

import java.io.File;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.io.RandomAccessFile;
import java.nio.charset.Charset;
import java.util.Arrays;

/**
 * A redirection file that rolls over by size: the current file moves to
 * {@code name.1} (the newest), the older ones move up to {@code name.N} (the
 * oldest, dropped at the next roll), and output goes on in a fresh file.
 *
 * <p>It serves a program that may run for months, so three rules come before the
 * limit. No file is rolled larger than the limit: a line that would cross it
 * moves to the fresh file together with whatever of it was written already (a
 * program may write a line and its line end separately), and a line longer than
 * the limit, such as progress output that only ever returns the carriage, is cut
 * at the limit. A failed roll loses nothing: the current file is moved out of
 * the way before any kept file is touched, and when it or a kept file cannot
 * move (a reader holds it open on Windows) every file stays as it was, the
 * output goes on in the current file, a note there says so once, and rolling is
 * tried again one limit later. And a full or failing disk never stops the
 * program: a write that fails is dropped, not retried or waited on, and the next
 * line that can be written says how many bytes were lost.
 *
 * <p>A roll costs one listing of the directory and one rename per rolled file
 * that exists, whatever the number of files kept.
 */
final class RollingFileOutputStream extends OutputStream {

    /** The most rolled files kept: every roll renames each of them once. */
    static final int MAX_KEEP = 10000;

    private final File file;
    /** Where the current file waits while the kept files make room for it as name.1. */
    private final File moving;
    private final long maxSize;
    private final int keep;
    private final Charset charset;

    private OutputStream out;
    private long size;
    private long rollAt;
    private boolean atLineStart = true;
    /** Offset in the current file of the line being written. */
    private long lineStart;
    /** The line follows other lines in this file, so a roll can take it along whole. */
    private boolean lineMayMove;
    private long droppedBytes;
    private boolean rollFailed;
    private boolean rollNoteDue;

    /**
     * Opens the file; a file that already exists is appended to when {@code append}
     * is set, else replaced. Fails like {@link FileOutputStream} when the file
     * cannot be opened at all. {@code keep} is held between 1 and {@link #MAX_KEEP}.
     */
    RollingFileOutputStream(File file, boolean append, long maxSize, int keep, Charset charset)
            throws IOException {
        this.file = file;
        this.moving = new File(file.getPath() + ".rolling");
        this.maxSize = maxSize;
        this.keep = Math.min(MAX_KEEP, Math.max(1, keep));
        this.charset = charset;
        if (moving.exists()) {
            // The process ended in the middle of a roll: finish it before the file is reopened.
            settle();
        }
        this.out = new FileOutputStream(file, append);
        this.size = append ? file.length() : 0;
        this.rollAt = maxSize;
    }

    @Override
    public synchronized void write(int b) {
        write(new byte[] {(byte) b}, 0, 1);
    }

    @Override
    public synchronized void write(byte[] b, int off, int len) {
        int end = off + len;
        while (off < end) {
            int lineEnd = off;
            while (lineEnd < end && b[lineEnd] != '\n') {
                lineEnd++;
            }
            int piece = (lineEnd < end ? lineEnd + 1 : end) - off;
            if (atLineStart) {
                startLine();
            }
            writeLinePiece(b, off, piece);
            atLineStart = b[off + piece - 1] == '\n';
            off += piece;
        }
    }

    @Override
    public synchronized void flush() {
        try {
            out.flush();
        } catch (IOException e) {
            // Nothing is buffered here; a failing flush has nothing to lose.
        }
    }

    @Override
    public synchronized void close() throws IOException {
        out.close();
    }

    private void startLine() {
        if (out instanceof DroppingStream) {
            reopen();
        }
        if (droppedBytes > 0) {
            reportDropped();
        }
        if (rollNoteDue) {
            rollNoteDue = false;
            writeNote("[karvo: " + file.getName() + " could not be rolled over (it or an older file"
                    + " is held open); output goes on in it]");
        }
        lineStart = size;
        lineMayMove = size > 0;
    }

    /** Writes part of the current line, rolling wherever the limit requires. */
    private void writeLinePiece(byte[] b, int off, int len) {
        while (len > 0) {
            if (out instanceof DroppingStream) {
                droppedBytes += len;
                return;
            }
            if (size + len <= rollAt) {
                writeOrDrop(b, off, len);
                return;
            }
            if (lineMayMove) {
                roll(lineStart);
                continue;
            }
            // The line fills the file alone: cut it at the limit.
            int room = (int) Math.min(len, Math.max(0, rollAt - size));
            writeOrDrop(b, off, room);
            off += room;
            len -= room;
            roll(-1);
        }
    }

    private void writeOrDrop(byte[] b, int off, int len) {
        try {
            out.write(b, off, len);
            size += len;
        } catch (IOException e) {
            droppedBytes += len;
        }
    }

    private void reportDropped() {
        long before = droppedBytes;
        droppedBytes = 0;
        writeNote("[karvo: " + before + " bytes of output could not be written]");
        if (droppedBytes > 0) {
            // Still failing: keep counting the program's bytes, not the note's.
            droppedBytes = before;
        }
    }

    /** A line of its own, under the same limit as the program's lines. */
    private void writeNote(String text) {
        byte[] note = (text + System.getProperty("line.separator", "\n")).getBytes(charset);
        lineStart = size;
        lineMayMove = size > 0;
        writeLinePiece(note, 0, note.length);
    }

    /**
     * Moves the current file to name.1 and starts a fresh one. With {@code carryFrom}
     * at or above 0, the bytes of the rolled file from there on (the start of the line
     * being written) move to the fresh file.
     */
    private void roll(long carryFrom) {
        try {
            out.close();
        } catch (IOException e) {
            // The handle is gone either way; the rename below decides what happens.
        }
        lineMayMove = false;
        if (!(moveAway() && settle())) {
            try {
                out = new FileOutputStream(file, true);
            } catch (IOException e) {
                out = new DroppingStream();
            }
            size = file.length();
            rollAt = size + maxSize;
            if (!rollFailed) {
                rollFailed = true;
                rollNoteDue = true;
            }
            return;
        }
        rollFailed = false;
        try {
            out = new FileOutputStream(file, false);
        } catch (IOException e) {
            out = new DroppingStream();
        }
        size = 0;
        rollAt = maxSize;
        lineStart = 0;
        if (carryFrom >= 0) {
            carry(numbered(1), carryFrom);
        }
    }

    /**
     * Copies the end of the rolled file, from {@code from} on, to the fresh file, then
     * cuts it off the rolled one. Cutting comes last, so a disk that fails just then can
     * leave the start of that one line in both files but never in neither.
     */
    private void carry(File rolled, long from) {
        try (RandomAccessFile in = new RandomAccessFile(rolled, "rw")) {
            long end = in.length();
            if (from >= end) {
                return;
            }
            in.seek(from);
            byte[] buffer = new byte[(int) Math.min(8192, end - from)];
            for (long left = end - from; left > 0;) {
                int n = in.read(buffer, 0, (int) Math.min(buffer.length, left));
                if (n < 0) {
                    return;
                }
                out.write(buffer, 0, n);
                size += n;
                left -= n;
            }
            in.setLength(from);
        } catch (IOException e) {
            // The line's start stays where it was written.
        }
    }

    /** Moves the current file out of the way; a file left there by an unfinished roll settles first. */
    private boolean moveAway() {
        if (moving.exists() && !settle()) {
            return false;
        }
        return file.renameTo(moving);
    }

    /**
     * Makes room at name.1 and moves the waiting file there. When the kept files cannot
     * make room, the waiting file goes back to its name if that is free.
     */
    private boolean settle() {
        if (shiftKeptFiles() && moving.renameTo(numbered(1))) {
            return true;
        }
        if (!file.exists()) {
            moving.renameTo(file);
        }
        return false;
    }

    /** Moves name.N-1 to name.N, ..., name.1 to name.2, dropping the oldest: only the files there are. */
    private boolean shiftKeptFiles() {
        int[] held = keptIndexes();
        if (held == null) {
            return false;
        }
        for (int i = held.length - 1; i >= 0; i--) {
            File from = numbered(held[i]);
            boolean moved = held[i] == keep ? from.delete() : from.renameTo(numbered(held[i] + 1));
            if (!moved) {
                return false;
            }
        }
        return true;
    }

    /** The numbers of the rolled files in the directory, 1 to keep, ascending; null when it cannot be read. */
    private int[] keptIndexes() {
        File dir = file.getAbsoluteFile().getParentFile();
        String[] names = dir == null ? null : dir.list();
        if (names == null) {
            return null;
        }
        String prefix = file.getName() + ".";
        boolean ignoreCase = File.separatorChar == '\\';
        int[] found = new int[names.length];
        int count = 0;
        for (String name : names) {
            if (name.length() <= prefix.length() || name.length() > prefix.length() + 5
                    || !name.regionMatches(ignoreCase, 0, prefix, 0, prefix.length())) {
                continue;
            }
            int index = 0;
            for (int i = prefix.length(); i < name.length() && index >= 0; i++) {
                char c = name.charAt(i);
                index = c >= '0' && c <= '9' && !(index == 0 && c == '0') ? index * 10 + (c - '0') : -1;
            }
            if (index >= 1 && index <= keep) {
                found[count++] = index;
            }
        }
        int[] held = Arrays.copyOf(found, count);
        Arrays.sort(held);
        return held;
    }

    /** After the file could not be opened again: try once more at each line. */
    private void reopen() {
        try {
            out = new FileOutputStream(file, true);
            size = file.length();
            rollAt = Math.max(maxSize, size + maxSize);
        } catch (IOException e) {
            // still not there: this line is dropped and counted
        }
    }

    private File numbered(int index) {
        return new File(file.getPath() + "." + index);
    }

    /** Where output goes when not even the old file can be opened again: nowhere, counted. */
    private static final class DroppingStream extends OutputStream {
        @Override
        public void write(int b) throws IOException {
            throw new IOException("no output file");
        }

        @Override
        public void write(byte[] b, int off, int len) throws IOException {
            throw new IOException("no output file");
        }
    }
}
