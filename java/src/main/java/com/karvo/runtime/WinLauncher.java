package com.karvo.runtime;

/**
 * Entry point the native launcher calls in the karvo flavour. The parameters
 * are described in {@link LauncherRuntime}.
 */
public final class WinLauncher {

    private WinLauncher() {
    }

    public static void main(String[] args) {
        LauncherRuntime.run(args);
    }
}
