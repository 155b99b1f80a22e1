package com.tessel.runtime.launcher;

/**
 * First-start check of the tessel flavour. The native launcher calls
 * {@link #firstRun()} before the program only while the application's
 * ".tessel\firstrun" marker exists, and starts the program only when it
 * returns true.
 */
public final class FirstRun {

    private FirstRun() {
    }

    /**
     * Always lets the program start. The marker belongs to the installer, which
     * creates and removes it; this runtime has no one-time work of its own to
     * do, and refusing to start would leave a freshly installed service unable
     * to run at all.
     */
    public static boolean firstRun() {
        return true;
    }
}
