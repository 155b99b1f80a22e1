package com.tessel.runtime.launcher;

import com.karvo.runtime.LauncherRuntime;

/**
 * Entry point the native launcher calls in the tessel flavour. It behaves
 * exactly like the karvo one; the parameters are described in
 * {@link LauncherRuntime}.
 */
public final class WinLauncher {

    private WinLauncher() {
    }

    public static void main(String[] args) {
        LauncherRuntime.run(args);
    }
}
