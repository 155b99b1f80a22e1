package karvo.pack;

import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;

/** The fields of a configuration block as the writer stores them, and the included files. */
public final class ConfigBlock {
    /** 8-bit texts (Windows-1252 bytes) by key number. */
    public final Map<Integer, byte[]> texts = new TreeMap<>();
    /** UTF-16 texts by key number. */
    public final Map<Integer, String> wides = new TreeMap<>();
    public final List<Group> groups = new ArrayList<>();
    public final List<IncludedFile> files = new ArrayList<>();
    /** Whether the runtime classes' jar is to be included (nothing names it), and its name. */
    public boolean wantsRuntimeJar;
    public String runtimeJarName = "karvo-runtime.jar";
    /** Accepted, but probably not what the user meant. */
    public final List<String> warnings = new ArrayList<>();

    public static final class Group {
        private final byte[] localePrefix;
        private final Map<Integer, String> entries;

        public Group(byte[] localePrefix, Map<Integer, String> entries) {
            this.localePrefix = localePrefix;
            this.entries = entries;
        }

        public byte[] localePrefix() {
            return localePrefix;
        }

        public Map<Integer, String> entries() {
            return entries;
        }
    }

    public static final class IncludedFile {
        private final String name;
        private final byte[] data;

        public IncludedFile(String name, byte[] data) {
            this.name = name;
            this.data = data;
        }

        public String name() {
            return name;
        }

        public byte[] data() {
            return data;
        }
    }
}
