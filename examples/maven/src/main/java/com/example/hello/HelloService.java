package com.example.hello;

import org.apache.commons.lang3.StringUtils;

/** Greets every few seconds until the service is stopped. */
public final class HelloService {
    public static void main(String[] args) throws InterruptedException {
        // A service's program gets the service name first, then the configured arguments.
        int interval = 5;
        for (int i = 0; i + 1 < args.length; ++i) {
            if (args[i].equals("--interval")) interval = Integer.parseInt(args[i + 1]);
        }
        String greeting = System.getProperty("hello.greeting", "hello");
        for (;;) {
            System.out.println(StringUtils.capitalize(greeting));
            Thread.sleep(interval * 1000L);
        }
    }
}
