package karvo.pack;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashSet;
import java.util.List;
import java.util.Map;
import java.util.Optional;
import java.util.Set;
import java.util.TreeMap;

/**
 * Turns a description into a configuration block, refusing what the packer refuses, in the
 * same order and naming the same setting. Each step is a small function named after the
 * packer's own, so that a change to one is easy to carry to the other.
 */
public final class DescriptionReader {
    private static final long MAX_OUTPUT_SIZE = 0x7FFFFFFFL;

    private final Map<Integer, byte[]> texts = new TreeMap<>();
    private final Map<Integer, String> wides = new TreeMap<>();
    private final ConfigBlock block = new ConfigBlock();
    private long totalIncluded;

    private DescriptionReader() {}

    public static ConfigBlock read(Description description) throws PackRefusal {
        return new DescriptionReader().readAll(description);
    }

    // The packer reads the top level in name order, so the tables sit among the settings.
    private ConfigBlock readAll(Description d) throws PackRefusal {
        TreeMap<String, Object> names = new TreeMap<>(d.settings);
        if (!d.includes.isEmpty()) names.put("include", d.includes);
        if (!d.localized.isEmpty()) names.put("localized", d.localized);
        if (!d.messages.isEmpty()) names.put("messages", d.messages);
        for (Map.Entry<String, Object> entry : names.entrySet()) {
            String name = entry.getKey();
            switch (name) {
                case "include" -> readIncludes(d.includes);
                case "localized" -> readLocalized(d.localized);
                case "messages" -> readMessages(d.messages);
                default -> readSetting(name, (Value) entry.getValue());
            }
        }
        if (d.writeDefaults) addDefaults();
        checkMessages();
        checkServiceSettings();
        block.texts.putAll(texts);
        block.wides.putAll(wides);
        return block;
    }

    static int editDistance(String a, String b) {
        int[] row = new int[b.length() + 1];
        for (int j = 0; j <= b.length(); ++j) row[j] = j;
        for (int i = 1; i <= a.length(); ++i) {
            int diagonal = row[0];
            row[0] = i;
            for (int j = 1; j <= b.length(); ++j) {
                int above = row[j];
                row[j] = Math.min(Math.min(row[j] + 1, row[j - 1] + 1),
                        diagonal + (a.charAt(i - 1) != b.charAt(j - 1) ? 1 : 0));
                diagonal = above;
            }
        }
        return row[b.length()];
    }

    /** "; did you mean 'x'?" for a near miss among the candidates, else nothing. */
    static String suggestion(String name, List<String> candidates) {
        for (String candidate : candidates) {
            if (editDistance(name, candidate) <= 2) return "; did you mean '" + candidate + "'?";
        }
        return "";
    }

    public static List<String> topLevelNames() {
        List<String> names = new ArrayList<>();
        for (KeyInfo info : KeyTable.KEYS) {
            if (!info.isMessage()) names.add(info.name());
        }
        return names;
    }

    public static List<String> messageNames() {
        List<String> names = new ArrayList<>();
        for (KeyInfo info : KeyTable.KEYS) {
            if (info.isMessage()) names.add(info.name().substring(KeyInfo.MESSAGE_PREFIX.length()));
        }
        return names;
    }

    private static boolean isDerivedFromIncludes(int key) {
        return key == 2002 || key == 2003;
    }

    private static int key(String name) {
        return KeyInfo.byName(name).orElseThrow().number();
    }

    private void readSetting(String name, Value value) throws PackRefusal {
        Optional<KeyInfo> found = KeyInfo.byName(name);
        if (found.isPresent() && found.get().isMessage()) {
            throw new PackRefusal(name, "messages go in the [messages] table, without the prefix: write '"
                    + name.substring(KeyInfo.MESSAGE_PREFIX.length()) + "' there");
        }
        if (found.isEmpty() && name.contains("password")) {
            throw new PackRefusal(name, "'" + name + "': a password is never stored in the executable; run the "
                    + "service as an account without one (service_account)");
        }
        if (found.isEmpty()) {
            throw new PackRefusal(name, "unknown setting '" + name + "'" + suggestion(name, topLevelNames()));
        }
        KeyInfo info = found.get();
        if (isDerivedFromIncludes(info.number())) {
            throw new PackRefusal(name, name + " is written by the packer from the [[include]] entries; "
                    + "do not set it yourself");
        }
        storeNamed(info, name, value, name);
        checkRange(info);
    }

    private static final class Range {
        private final String name;
        private final long least;
        private final String meaning;

        public Range(String name, long least, String meaning) {
            this.name = name;
            this.least = least;
            this.meaning = meaning;
        }

        public String name() {
            return name;
        }

        public long least() {
            return least;
        }

        public String meaning() {
            return meaning;
        }
    }

    private static final List<Range> RANGES = List.of(
            new Range("failure_restart_delay", 0, "milliseconds, 0 for no restart"),
            new Range("failure_reset_period", 0, "seconds, 0 for the default of one day"),
            new Range("output_max_size", 0, "bytes, 0 for no limit"),
            new Range("output_keep", 1, "the number of rolled files to keep, at least 1"));

    // Settings whose wrong value the launcher could only act on in a surprising way.
    private void checkRange(KeyInfo info) throws PackRefusal {
        byte[] stored = texts.get(info.number());
        if (stored == null) return;
        String text = new String(stored, StandardCharsets.ISO_8859_1);
        if (info.name().equals("service_account")) {
            if (!LauncherRules.parseServiceAccount(text)) {
                throw new PackRefusal(info.name(), "service_account '" + windowsText(stored) + "' cannot be used: "
                        + KeyTable.ACCEPTED_SERVICE_ACCOUNTS);
            }
            return;
        }
        for (Range range : RANGES) {
            if (!range.name().equals(info.name())) continue;
            boolean digitsOnly = !text.isEmpty() && text.length() <= 10
                    && text.chars().allMatch(c -> c >= '0' && c <= '9');
            if (!digitsOnly || Long.parseLong(text) < range.least() || Long.parseLong(text) > Integer.MAX_VALUE) {
                throw new PackRefusal(info.name(), info.name() + " = " + windowsText(stored) + " is not valid: give "
                        + range.meaning());
            }
        }
    }

    private void storeNamed(KeyInfo info, String label, Value value, String setting) throws PackRefusal {
        if (info.kind() == KeyKind.WIDE) {
            wides.put(info.number(), PackValues.wideValue(value, PackValues.rulesFor(info, label), setting));
        } else {
            texts.put(info.number(), PackValues.narrowValue(value, PackValues.rulesFor(info, label), setting));
        }
        if (info.name().equals("min_java_version")) checkJavaFloor(texts.get(info.number()));
    }

    // A minimum below what the runtime classes are compiled for would let the launcher pick
    // a runtime that then cannot load them.
    private void checkJavaFloor(byte[] stored) throws PackRefusal {
        String minimum = new String(stored, StandardCharsets.ISO_8859_1);
        String oldest = KeyTable.OLDEST_RUNTIME_CLASSES_JAVA;
        if (minimum.isEmpty() || LauncherRules.compareVersions(minimum, oldest) >= 0) return;
        throw new PackRefusal("min_java_version", "min_java_version \"" + windowsText(stored) + "\" is below " + oldest
                + ", the oldest Java the runtime classes load on; write \"" + oldest
                + "\" or later (or leave it empty)");
    }

    private void readMessages(Map<String, Value> messages) throws PackRefusal {
        try {
            readMessageTable(messages);
        } catch (PackRefusal refusal) {
            throw new PackRefusal(refusal.setting(), "messages", refusal.getMessage());
        }
    }

    private void readMessageTable(Map<String, Value> messages) throws PackRefusal {
        for (Map.Entry<String, Value> entry : messages.entrySet()) {
            String name = entry.getKey();
            Optional<KeyInfo> info = KeyInfo.byName(KeyInfo.MESSAGE_PREFIX + name);
            String label = "message '" + name + "'";
            if (info.isEmpty()) {
                throw new PackRefusal(label, "unknown message '" + name + "'" + suggestion(name, messageNames()));
            }
            storeNamed(info.get(), label, entry.getValue(), label);
        }
    }

    private void readLocalized(List<Description.Localized> groups) throws PackRefusal {
        try {
            readLocalizedGroups(groups);
        } catch (PackRefusal refusal) {
            throw new PackRefusal(refusal.setting(), "localized", refusal.getMessage());
        }
    }

    private void readLocalizedGroups(List<Description.Localized> groups) throws PackRefusal {
        for (Description.Localized group : groups) {
            byte[] prefix = PackValues.narrowString(group.locale(), "locale", KeyTable.MAX_TEXT_LENGTH, "localized");
            Map<Integer, String> entries = new TreeMap<>();
            for (Map.Entry<String, Value> entry : group.entries().entrySet()) {
                String name = entry.getKey();
                int k = localizedKey(name);
                String label = "'" + name + "' for locale '" + group.locale() + "'";
                if (entries.containsKey(k)) {
                    throw new PackRefusal("key " + k, "key " + k + " is given twice for locale '" + group.locale() + "'");
                }
                PackValues.ValueRules rules =
                        new PackValues.ValueRules(label, KeyKind.WIDE, KeyTable.MAX_WIDE_TEXT_LENGTH, '\0');
                entries.put(k, PackValues.wideValue(entry.getValue(), rules, label));
            }
            block.groups.add(new ConfigBlock.Group(prefix, entries));
        }
    }

    private int localizedKey(String name) throws PackRefusal {
        Optional<Integer> number = keyNumber(name);
        if (number.isPresent()) return number.get();
        Optional<KeyInfo> info = KeyInfo.byName(name);
        if (info.isEmpty()) throw new PackRefusal(name, "unknown setting '" + name + "' in [[localized]]");
        if (info.get().kind() != KeyKind.WIDE) {
            throw new PackRefusal(name, "'" + name + "' is an 8-bit setting; only wide texts such as description "
                    + "can be localized");
        }
        return info.get().number();
    }

    // Key numbers: plain decimal, so that "108" and "0108" cannot both name key 108.
    static Optional<Integer> keyNumber(String text) {
        boolean negative = text.startsWith("-");
        String digits = text.substring(negative ? 1 : 0);
        if (digits.isEmpty() || digits.length() > 10 || (digits.charAt(0) == '0' && digits.length() > 1)
                || (negative && digits.equals("0"))) {
            return Optional.empty();
        }
        long value = 0;
        for (char c : digits.toCharArray()) {
            if (c < '0' || c > '9') return Optional.empty();
            value = value * 10 + (c - '0');
        }
        if (negative) value = -value;
        if (value < Integer.MIN_VALUE || value > Integer.MAX_VALUE) return Optional.empty();
        return Optional.of((int) value);
    }

    private void readIncludes(List<Description.Include> includes) throws PackRefusal {
        try {
            readIncludeEntries(includes);
        } catch (PackRefusal refusal) {
            throw new PackRefusal(refusal.setting(), "include", refusal.getMessage());
        }
    }

    private void readIncludeEntries(List<Description.Include> includes) throws PackRefusal {
        Set<String> seen = new HashSet<>();
        StringBuilder names = new StringBuilder();
        List<byte[]> encoded = new ArrayList<>();
        for (Description.Include include : includes) {
            String shown = include.name();
            byte[] name = PackValues.narrowString(shown, "included file name", KeyTable.MAX_TEXT_LENGTH, "include");
            Optional<String> problem = LauncherRules.includedFileNameProblem(shown);
            if (problem.isPresent()) {
                throw new PackRefusal("include", "included file name '" + shown + "' " + problem.get());
            }
            if (!seen.add(asciiLower(shown))) {
                throw new PackRefusal("include", "included file name '" + shown
                        + "' is used twice (Windows ignores case)");
            }
            block.files.add(new ConfigBlock.IncludedFile(shown, readSource(include.source(), shown)));
            if (names.length() > 0) names.append(';');
            names.append(shown);
            encoded.add(name);
        }
        int length = encoded.stream().mapToInt(n -> n.length).sum() + Math.max(0, encoded.size() - 1);
        if (length > KeyTable.MAX_TEXT_LENGTH) {
            throw new PackRefusal("include", "the included file names are " + length
                    + " characters long together; the launcher accepts at most " + KeyTable.MAX_TEXT_LENGTH);
        }
        if (!block.files.isEmpty()) {
            texts.put(2002, PackValues.ascii(Integer.toString(block.files.size())));
            java.io.ByteArrayOutputStream joined = new java.io.ByteArrayOutputStream();
            for (int i = 0; i < encoded.size(); ++i) {
                if (i > 0) joined.write(';');
                joined.writeBytes(encoded.get(i));
            }
            texts.put(2003, joined.toByteArray());
        }
    }

    private static String asciiLower(String text) {
        StringBuilder out = new StringBuilder();
        for (char c : text.toCharArray()) out.append(c >= 'A' && c <= 'Z' ? (char) (c - 'A' + 'a') : c);
        return out.toString();
    }

    private byte[] readSource(Path source, String name) throws PackRefusal {
        if (!Files.isRegularFile(source)) {
            throw new PackRefusal("include", "included file '" + name + "': source " + source
                    + (Files.exists(source) ? " is not a file" : " does not exist"));
        }
        try {
            totalIncluded += Files.size(source);
            if (totalIncluded > MAX_OUTPUT_SIZE) {
                throw new PackRefusal("include", "the included files are larger than the packer's limit of 2 GiB");
            }
            return Files.readAllBytes(source);
        } catch (IOException e) {
            throw new PackRefusal("include", "included file '" + name + "': cannot read " + source);
        }
    }

    private void addDefaults() {
        for (KeyInfo info : KeyTable.KEYS) {
            if (!info.packerDefault().isEmpty() && !texts.containsKey(info.number())) {
                texts.put(info.number(), PackValues.ascii(info.packerDefault()));
            }
        }
    }

    // The launcher fills "{0}" in only some messages, and only the first one.
    private void checkMessages() {
        for (KeyInfo info : KeyTable.KEYS) {
            byte[] stored = texts.get(info.number());
            if (!info.isMessage() || stored == null) continue;
            String name = "message '" + info.name().substring(KeyInfo.MESSAGE_PREFIX.length()) + "'";
            String text = new String(stored, StandardCharsets.ISO_8859_1);
            boolean takesArgument = info.packerDefault().contains("{0}");
            int first = text.indexOf("{0}");
            if (takesArgument && first < 0) {
                block.warnings.add(name + " has no {0}, so the launcher's detail (" + info.summary()
                        + ") will not be shown");
            } else if (!takesArgument && first >= 0) {
                block.warnings.add(name + " contains {0}, but the launcher gives it no detail; it is shown as written");
            } else if (first >= 0 && text.indexOf("{0}", first + 3) >= 0) {
                block.warnings.add(name + " contains {0} more than once; only the first is replaced");
            }
        }
    }

    private void checkServiceSettings() throws PackRefusal {
        byte[] name = texts.get(key("service_name"));
        if (name == null || name.length == 0) {
            block.warnings.add("no service_name: every command then needs the service name on its command line");
        } else {
            String text = new String(name, StandardCharsets.ISO_8859_1);
            if (name.length > 256 || text.indexOf('/') >= 0 || text.indexOf('\\') >= 0) {
                block.warnings.add("service_name is longer than 256 characters or contains '/' or "
                        + "'\\'; the Service Control Manager will refuse it");
            }
        }
        checkRunSettings();
        byte[] mainClass = texts.get(key("main_class"));
        if (mainClass == null || mainClass.length == 0) {
            block.warnings.add("no main_class: the service cannot start a Java program");
        }
    }

    // The launcher would fall back to its defaults; better to say so before it runs.
    private void checkRunSettings() throws PackRefusal {
        byte[] mode = texts.get(key("restart"));
        if (mode != null && !LauncherRules.parseRestartMode(new String(mode, StandardCharsets.ISO_8859_1))) {
            throw new PackRefusal("restart", "restart = '" + windowsText(mode)
                    + "' is not one of never, on-failure, always");
        }
        for (String setting : List.of("stop_timeout", "restart_delay", "restart_delay_max", "restart_reset_after",
                "restart_limit")) {
            byte[] value = texts.get(key(setting));
            if (value != null && launcherInteger(new String(value, StandardCharsets.ISO_8859_1)) < 0) {
                throw new PackRefusal(setting, setting + " must not be negative");
            }
        }
    }

    /** The launcher's reading of an int key: leading blanks, a sign, digits up to the first non-digit. */
    static long launcherInteger(String text) {
        int at = 0;
        while (at < text.length() && (text.charAt(at) == ' ' || (text.charAt(at) >= '\t' && text.charAt(at) <= '\r'))) {
            ++at;
        }
        boolean negative = false;
        if (at < text.length() && (text.charAt(at) == '-' || text.charAt(at) == '+')) negative = text.charAt(at++) == '-';
        long value = 0;
        for (; at < text.length() && text.charAt(at) >= '0' && text.charAt(at) <= '9'; ++at) {
            value = Math.min(value * 10 + (text.charAt(at) - '0'), Integer.MAX_VALUE);
        }
        return negative ? -value : value;
    }

    // Stored bytes back as the user's text, for messages.
    private static String windowsText(byte[] bytes) {
        StringBuilder out = new StringBuilder();
        for (byte b : bytes) {
            int v = b & 0xFF;
            out.append((char) (v >= 0x80 && v < 0xA0 ? highControl(v) : v));
        }
        return out.toString();
    }

    private static int highControl(int b) {
        for (int c = 0; c < 0x10000; ++c) {
            if (PackValues.windows1252Byte(c) == b && (c < 0x80 || c > 0x9F || c == b)) return c;
        }
        return b;
    }
}
