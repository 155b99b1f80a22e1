package com.karvo.runtime;

import java.io.PrintStream;
import java.lang.reflect.Array;
import java.lang.reflect.Method;
import java.util.Date;
import java.util.Map;

/**
 * What the native host asks of the VM while the program runs: a thread dump,
 * and the deadlock check of the watchdog. The host calls these from a native
 * thread of its own, so they work while the program's own threads are blocked.
 *
 * The management classes are reached by reflection: a runtime trimmed to the
 * modules the program needs may lack them, and the dump then says so and shows
 * what the core classes alone can tell (each thread with its stack).
 */
public final class ThreadDump {

    /** The deadlock check's answer when the runtime has no management classes. */
    static final int NO_MANAGEMENT = -1;

    private ThreadDump() {
    }

    /** The dump as text: a heading, the deadlocked threads named, every thread with its stack. */
    public static String text() {
        StringBuilder out = new StringBuilder();
        out.append("Thread dump of ").append(System.getProperty("java.vm.name", "the VM")).append(' ')
                .append(System.getProperty("java.version", "")).append(", ").append(new Date())
                .append('\n');
        // One look at every thread: each look stops them all, on a VM that may be in trouble.
        Map<Thread, StackTraceElement[]> stacks = Thread.getAllStackTraces();
        Object bean = threadBean();
        if (bean == null) {
            out.append("(this runtime has no management classes (java.management): locks and deadlocks"
                    + " cannot be shown, only the stacks)\n");
        } else {
            long[] deadlocked = deadlockedIds(bean);
            if (deadlocked != null && deadlocked.length > 0) {
                out.append("Deadlocked threads:");
                for (long id : deadlocked) {
                    Thread thread = threadWithId(stacks, id);
                    out.append(" \"").append(thread == null ? "#" + id : thread.getName()).append('"');
                }
                out.append('\n');
            }
        }
        for (Map.Entry<Thread, StackTraceElement[]> entry : stacks.entrySet()) {
            Thread thread = entry.getKey();
            out.append('\n').append('"').append(thread.getName()).append('"')
                    .append(thread.isDaemon() ? " daemon" : "").append(" prio=").append(thread.getPriority())
                    .append(" id=").append(thread.getId()).append(' ').append(thread.getState()).append('\n');
            for (StackTraceElement frame : entry.getValue()) {
                out.append("\tat ").append(frame).append('\n');
            }
        }
        return out.toString();
    }

    /** Writes the dump to the program's error output. */
    public static void printToError() {
        PrintStream err = System.err;
        err.print(text());
        err.flush();
    }

    /**
     * The watchdog's sign of life: answering at all needs a working VM. Returns
     * the number of deadlocked threads, or {@link #NO_MANAGEMENT} when the
     * runtime cannot tell.
     */
    public static int deadlockedThreadCount() {
        Object bean = threadBean();
        if (bean == null) {
            return NO_MANAGEMENT;
        }
        long[] ids = deadlockedIds(bean);
        return ids == null ? 0 : ids.length;
    }

    private static Object threadBean() {
        try {
            Class<?> factory = Class.forName("java.lang.management.ManagementFactory");
            return factory.getMethod("getThreadMXBean").invoke(null);
        } catch (Exception | LinkageError e) {
            return null;
        }
    }

    /** Threads waiting on each other for monitors or ownable locks; null when none or unknown. */
    private static long[] deadlockedIds(Object bean) {
        try {
            // Through the public interface: the implementing class is not open to callers.
            Method find = Class.forName("java.lang.management.ThreadMXBean").getMethod("findDeadlockedThreads");
            Object ids = find.invoke(bean);
            if (ids == null) {
                return null;
            }
            long[] out = new long[Array.getLength(ids)];
            for (int i = 0; i < out.length; i++) {
                out[i] = Array.getLong(ids, i);
            }
            return out;
        } catch (Exception | LinkageError e) {
            return null;
        }
    }

    private static Thread threadWithId(Map<Thread, StackTraceElement[]> stacks, long id) {
        for (Thread thread : stacks.keySet()) {
            if (thread.getId() == id) {
                return thread;
            }
        }
        return null;
    }
}
