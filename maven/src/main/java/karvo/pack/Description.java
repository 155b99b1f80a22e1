package karvo.pack;

import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;

/**
 * What a configured executable should hold, by the packer's names: the settings, the
 * messages (without their prefix), the localized texts and the included files. It knows
 * nothing of where the values came from.
 */
public final class Description {
    /** Settings by name; read in name order, as the packer reads its tables. */
    public final Map<String, Value> settings = new TreeMap<>();
    public final Map<String, Value> messages = new TreeMap<>();
    public final List<Localized> localized = new ArrayList<>();
    public final List<Include> includes = new ArrayList<>();
    public boolean writeDefaults = true;
    /** Whether the runtime classes' jar is included when nothing names it. */
    public boolean addRuntimeJar = true;

    /** A group of wide texts for the locales whose code starts with {@code locale}. */
    public static final class Localized {
        private final String locale;
        private final Map<String, Value> entries;

        public Localized(String locale, Map<String, Value> entries) {
            this.locale = locale;
            this.entries = entries;
        }

        public String locale() {
            return locale;
        }

        public Map<String, Value> entries() {
            return entries;
        }
    }

    /** A file the launcher extracts under {@code name}, read from {@code source}. */
    public static final class Include {
        private final String name;
        private final Path source;

        public Include(String name, Path source) {
            this.name = name;
            this.source = source;
        }

        public String name() {
            return name;
        }

        public Path source() {
            return source;
        }
    }
}
