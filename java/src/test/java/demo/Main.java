package demo;

/**
 * Stand-in application for the runtime tests. args[0] is the service name,
 * args[1] picks a behaviour, args[2] is a time in milliseconds where one is used.
 */
public final class Main {

    public static void main(String[] args) throws Exception {
        switch (args[1]) {
            case "echo":
                for (String arg : args) {
                    System.out.println(escape(arg));
                }
                break;
            case "interleave":
                System.out.println("A");
                System.err.println("B");
                System.out.println("C");
                break;
            case "throw":
                throw new IllegalStateException("boom");
            case "throwChecked":
                throw new java.io.IOException("checked boom");
            case "halt":
                System.out.print("no-newline");
                Runtime.getRuntime().halt(0);
                break;
            case "umlaut":
                System.out.println("\u00e4");
                break;
            case "sleep":
                System.out.println("stdin:" + System.in.read());
                System.out.println("ready");
                Thread.sleep(Long.parseLong(args[2]));
                System.out.println("woke");
                break;
            case "worker":
                long millis = Long.parseLong(args[2]);
                Runtime.getRuntime().addShutdownHook(new Thread(() -> System.out.println("hook ran")));
                Thread worker = new Thread(() -> {
                    try {
                        Thread.sleep(millis);
                        System.out.println("worker done");
                    } catch (InterruptedException ignored) {
                        // ends the worker
                    }
                });
                worker.start();
                System.out.println("main returning");
                break;
            case "deadlock":
                // Two threads that each hold the lock the other waits for, then the dump.
                deadlock();
                System.out.println("count " + com.karvo.runtime.ThreadDump.deadlockedThreadCount());
                System.out.print(com.karvo.runtime.ThreadDump.text());
                System.out.flush();
                Runtime.getRuntime().halt(0);
                break;
            case "lines":
                // count, width, threads: numbered lines of the given width from each thread
                printLines(Integer.parseInt(args[2]), Integer.parseInt(args[3]), Integer.parseInt(args[4]));
                break;
            default:
                throw new IllegalArgumentException(args[1]);
        }
    }

    /** Lines "T.NNNNN xxx..." of exactly width characters, from several threads at once. */
    static void printLines(final int count, final int width, int threads) throws InterruptedException {
        Thread[] all = new Thread[threads];
        for (int t = 0; t < threads; t++) {
            final int thread = t;
            all[t] = new Thread(() -> {
                for (int i = 0; i < count; i++) {
                    StringBuilder line = new StringBuilder(String.format("%d.%05d ", thread, i));
                    while (line.length() < width) {
                        line.append('x');
                    }
                    System.out.println(line);
                }
            });
            all[t].start();
        }
        for (Thread thread : all) {
            thread.join();
        }
    }

    /** Brackets and \\u-escapes, so the comparison does not depend on output encodings. */
    public static String escape(String s) {
        StringBuilder b = new StringBuilder("[");
        for (char c : s.toCharArray()) {
            b.append(c >= 32 && c < 127 ? String.valueOf(c) : String.format("\\u%04x", (int) c));
        }
        return b.append(']').toString();
    }

    public static final class NoMain {
    }

    public static final class InstanceMain {
        public void main(String[] args) {
        }
    }

    private static void deadlock() throws InterruptedException {
        final Object first = new Object();
        final Object second = new Object();
        final java.util.concurrent.CountDownLatch holding = new java.util.concurrent.CountDownLatch(2);
        Thread left = lockBoth("left", first, second, holding);
        Thread right = lockBoth("right", second, first, holding);
        left.start();
        right.start();
        while (left.getState() != Thread.State.BLOCKED || right.getState() != Thread.State.BLOCKED) {
            Thread.sleep(10);
        }
    }

    private static Thread lockBoth(String name, final Object outer, final Object inner,
            final java.util.concurrent.CountDownLatch holding) {
        Thread thread = new Thread(() -> {
            synchronized (outer) {
                holding.countDown();
                try {
                    holding.await();
                } catch (InterruptedException e) {
                    return;
                }
                synchronized (inner) {
                    System.out.println("never");
                }
            }
        }, name);
        thread.setDaemon(true);
        return thread;
    }
}
