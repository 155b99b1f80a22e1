package com.karvo.runtime;

import java.io.File;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.charset.Charset;

/**
 * A redirection file that rolls over by size: a line that would take the file
 * past the limit starts a fresh file, and the old ones move to {@code name.1}
 * (the newest) up to {@code name.N} (the oldest, dropped at the next roll).
 *
 * <p>It serves a program that may run for months, so two rules come before the
 * limit. A line is never split or lost by rolling: files roll only between
 * lines, and when a rename fails (a reader holds the file open on Windows) the
 * output simply goes on in the current file and rolling is tried again one limit
 * later. And a full or failing disk never stops the program: a write that fails
 * is dropped, not retried or waited on, and the next line that can be written
 * says how many bytes were lost.
 */
final class RollingFileOutputStream extends OutputStream {

    private final File file;
    private final long maxSize;
    private final int keep;
    private final Charset charset;

    private OutputStream out;
    private long size;
    private long rollAt;
    private boolean atLineStart = true;
    private long droppedBytes;

    /**
     * Opens the file; a file that already exists is appended to when {@code append}
     * is set, else replaced. Fails like {@link FileOutputStream} when the file
     * cannot be opened at all.
     */
    RollingFileOutputStream(File file, boolean append, long maxSize, int keep, Charset charset)
            throws IOException {
        this.file = file;
        this.maxSize = maxSize;
        this.keep = Math.max(1, keep);
        this.charset = charset;
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
            // Roll before a line that would cross the limit, never inside one: a
            // single line longer than the limit stays whole in one file.
            if (atLineStart && size > 0 && size + piece > rollAt) {
                roll();
            }
            if (atLineStart && out instanceof DroppingStream) {
                reopen();
            }
            if (atLineStart && droppedBytes > 0) {
                reportDropped();
            }
            writeOrDrop(b, off, piece);
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

    private void writeOrDrop(byte[] b, int off, int len) {
        try {
            out.write(b, off, len);
            size += len;
        } catch (IOException e) {
            droppedBytes += len;
        }
    }

    private void reportDropped() {
        byte[] note = ("[karvo: " + droppedBytes + " bytes of output could not be written]"
                + System.getProperty("line.separator", "\n")).getBytes(charset);
        long before = droppedBytes;
        droppedBytes = 0;
        writeOrDrop(note, 0, note.length);
        if (droppedBytes > 0) {
            // Still failing: keep counting the program's bytes, not the note's.
            droppedBytes = before;
        }
    }

    private void roll() {
        try {
            out.close();
        } catch (IOException e) {
            // The handle is gone either way; the rename below decides what happens.
        }
        boolean rolled = shiftOldFiles() && file.renameTo(numbered(1));
        try {
            // A fresh file after a roll; the same file, appended to, when it could not move.
            out = new FileOutputStream(file, !rolled);
        } catch (IOException e) {
            out = new DroppingStream();
        }
        if (rolled) {
            size = 0;
            rollAt = maxSize;
        } else {
            size = file.length();
            rollAt = size + maxSize;
        }
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

    /** Moves name.N-1 to name.N, ..., name.1 to name.2, dropping the oldest. */
    private boolean shiftOldFiles() {
        File oldest = numbered(keep);
        if (oldest.exists() && !oldest.delete()) {
            return false;
        }
        for (int i = keep - 1; i >= 1; i--) {
            File from = numbered(i);
            if (from.exists() && !from.renameTo(numbered(i + 1))) {
                return false;
            }
        }
        return true;
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
