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
        checkServiceSettings(d.writeDefaults);
        block.texts.putAll(texts);
        block.wides.putAll(wides);
        // Without the defaults the block is exactly the description: nothing is added.
        block.runtimeJarName = runtimeJarName();
        block.wantsRuntimeJar = d.writeDefaults && d.addRuntimeJar && !namesRuntimeJar();
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
        if (info.name().equals("class_path")) codeEntries(PathEntries.PathList.CLASS_PATH, info, name, value);
        if (info.name().equals("jre_search_sequence")) {
            codeEntries(PathEntries.PathList.RUNTIME_SEARCH, info, name, value);
        }
        byte[] stored = texts.get(info.number());
        if (stored != null) {
            Optional<String> problem = storedValueProblem(info.number(), stored);
            if (problem.isPresent()) throw new PackRefusal(name, problem.get());
        }
    }

    // ---- the rules a setting's stored text must follow (one function each, as the packer's)

    private static String shown(byte[] text) {
        return TomlText.quoted(windowsText(text));
    }

    private static Optional<String> accountProblem(byte[] text) {
        if (LauncherRules.parseServiceAccount(new String(text, StandardCharsets.ISO_8859_1))) return Optional.empty();
        return Optional.of("service_account '" + windowsText(text) + "' cannot be used: "
                + KeyTable.ACCEPTED_SERVICE_ACCOUNTS);
    }

    private static Optional<String> restartModeProblem(byte[] text) {
        if (LauncherRules.parseRestartMode(new String(text, StandardCharsets.ISO_8859_1))) return Optional.empty();
        return Optional.of("restart = " + shown(text) + " is not one of never, on-failure, always");
    }

    // A minimum below what the runtime classes are compiled for would let the launcher pick
    // a runtime that then cannot load them.
    private static Optional<String> javaFloorProblem(byte[] text) {
        String minimum = new String(text, StandardCharsets.ISO_8859_1);
        String oldest = KeyTable.OLDEST_RUNTIME_CLASSES_JAVA;
        if (minimum.isEmpty() || LauncherRules.compareVersions(minimum, oldest) >= 0) return Optional.empty();
        return Optional.of("min_java_version \"" + windowsText(text) + "\" is below " + oldest
                + ", the oldest Java the runtime classes load on; write \"" + oldest + "\" or later (or leave it empty)");
    }

    // Each line NAME=value, with a name before the '=' (a name starting with '=' is one of the
    // system's hidden per-drive variables); empty lines are skipped.
    private static Optional<String> environmentProblem(byte[] text) {
        for (String line : new String(text, StandardCharsets.ISO_8859_1).split("\n", -1)) {
            if (line.isEmpty()) continue;
            if (line.indexOf('=') <= 0) {
                return Optional.of("environment entry '" + windowsText(line.getBytes(StandardCharsets.ISO_8859_1))
                        + "' needs the form NAME=value with a name before the '='");
            }
        }
        return Optional.empty();
    }

    static Optional<String> storedValueProblem(int key, byte[] text) {
        if (key == key("class_path") || key == key("jre_search_sequence")) {
            PathEntries.PathList list = key == key("class_path") ? PathEntries.PathList.CLASS_PATH
                                                                 : PathEntries.PathList.RUNTIME_SEARCH;
            Optional<String> problem =
                    PathEntries.storedListProblem(list, new String(text, StandardCharsets.ISO_8859_1));
            String name = KeyInfo.byNumber(key).orElseThrow().name();
            return problem.map(p -> name + " entry " + p);
        }
        if (key == key("service_account")) return accountProblem(text);
        if (key == key("restart")) return restartModeProblem(text);
        if (key == key("min_java_version")) return javaFloorProblem(text);
        if (key == key("environment")) return environmentProblem(text);
        Optional<String> problem =
                IntegerBounds.integerBoundsProblem(key, new String(text, StandardCharsets.ISO_8859_1));
        if (problem.isEmpty()) return problem;
        String name = KeyInfo.byNumber(key).map(KeyInfo::name).orElse(Integer.toString(key));
        return Optional.of(name + " = " + windowsText(text) + " is out of range: " + problem.get());
    }

    private String textOf(String name) {
        byte[] text = texts.get(key(name));
        return text == null ? "" : new String(text, StandardCharsets.ISO_8859_1);
    }

    // Restart settings that each look fine but together cannot mean what they say.
    private void checkCombinations() throws PackRefusal {
        Optional<Integer> limit = IntegerBounds.decimalInteger(textOf("restart_limit"));
        Optional<Integer> resetAfter = IntegerBounds.decimalInteger(textOf("restart_reset_after"));
        if (limit.isPresent() && limit.get() > 0 && resetAfter.isPresent() && resetAfter.get() == 0) {
            throw new PackRefusal("restart_reset_after", "restart_reset_after = 0 makes every run count as a long one, "
                    + "so restart_limit = " + limit.get() + " is never reached; give the milliseconds a run must last "
                    + "to count as a success (the default is 60000), or leave restart_limit out");
        }
    }

    // Each entry as written becomes its stored code; a refusal names the entry.
    private void codeEntries(PathEntries.PathList list, KeyInfo info, String name, Value value) throws PackRefusal {
        String text = new String(texts.get(info.number()), StandardCharsets.ISO_8859_1);
        StringBuilder coded = new StringBuilder();
        String[] entries = text.split(";", -1);
        for (int index = 0; index < entries.length; ++index) {
            PathEntries.CodedEntry result = PathEntries.codedEntry(list, entries[index]);
            if (!result.problem.isEmpty()) {
                throw new PackRefusal(name, name + " entry " + (index + 1) + " " + result.problem);
            }
            if (index > 0) coded.append(';');
            coded.append(result.text);
        }
        if (coded.length() > KeyTable.MAX_TEXT_LENGTH) {
            throw new PackRefusal(name, name + " is " + coded.length() + " characters long with its kind letters; "
                    + "the launcher accepts at most " + KeyTable.MAX_TEXT_LENGTH);
        }
        texts.put(info.number(), coded.toString().getBytes(StandardCharsets.ISO_8859_1));
    }

    private void storeNamed(KeyInfo info, String label, Value value, String setting) throws PackRefusal {
        if (info.kind() == KeyKind.WIDE) {
            wides.put(info.number(), PackValues.wideValue(value, PackValues.rulesFor(info, label), setting));
        } else {
            texts.put(info.number(), PackValues.narrowValue(value, PackValues.rulesFor(info, label), setting));
        }
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

    private void checkServiceSettings(boolean complete) throws PackRefusal {
        checkCombinations();
        // A description that asks for the block exactly as given (write_defaults = false) may
        // leave them out: such a block takes the name from the command line.
        Optional<String[]> missing = missingSettingProblem();
        if (missing.isPresent()) {
            if (complete) throw new PackRefusal(missing.get()[0], missing.get()[1]);
            block.warnings.add(missing.get()[1]);
        }
        discardedOutputWarning().ifPresent(block.warnings::add);
        byte[] name = texts.get(key("service_name"));
        if (name != null) {
            String text = new String(name, StandardCharsets.ISO_8859_1);
            if (name.length > 256 || text.indexOf('/') >= 0 || text.indexOf('\\') >= 0) {
                block.warnings.add("service_name is longer than 256 characters or contains '/' or "
                        + "'\\'; the Service Control Manager will refuse it");
            }
        }
    }

    // The setting an executable cannot start without, and the refusal; nothing when both are there.
    private Optional<String[]> missingSettingProblem() {
        if (textOf("service_name").isEmpty()) {
            return Optional.of(new String[] {"service_name", "service_name is missing: give the name the service is "
                    + "installed under, such as service_name = \"MyService\""});
        }
        if (textOf("main_class").isEmpty()) {
            return Optional.of(new String[] {"main_class", "main_class is missing: give the class with the program's "
                    + "main method, such as main_class = \"com.example.Main\" (the Main-Class line of the jar's "
                    + "manifest)"});
        }
        return Optional.empty();
    }

    private boolean isOn(String name) {
        Optional<Integer> value = IntegerBounds.decimalInteger(textOf(name));
        return value.isPresent() && value.get() != 0;
    }

    // A stream is kept only with both its file and its redirect flag.
    private Optional<String> discardedOutputWarning() {
        boolean keepsOut = !textOf("stdout_file").isEmpty() && isOn("redirect_stdout");
        boolean keepsErr = !textOf("stderr_file").isEmpty() && isOn("redirect_stderr");
        if (keepsOut || keepsErr) return Optional.empty();
        return Optional.of("the program's standard output and standard error are both discarded; to keep "
                + "them, set stdout_file with redirect_stdout = true and stderr_file with redirect_stderr = true");
    }

    private static final List<String> RUNTIME_JAR_NAMES = List.of("karvo-runtime.jar", "tslruntime.jar");

    private String runtimeJarName() {
        String flavour = textOf("flavour");
        return RUNTIME_JAR_NAMES.get(!flavour.isEmpty() && flavour.charAt(0) == 't' ? 1 : 0);
    }

    private static boolean isRuntimeJar(String path) {
        int slash = Math.max(path.lastIndexOf('\\'), path.lastIndexOf('/'));
        return RUNTIME_JAR_NAMES.contains(asciiLower(slash < 0 ? path : path.substring(slash + 1)));
    }

    // Whether the class path or an included file already names a runtime classes' jar.
    private boolean namesRuntimeJar() {
        for (ConfigBlock.IncludedFile file : block.files) {
            if (isRuntimeJar(file.name())) return true;
        }
        // The class path is stored coded: an archive is "A", its digit, then its path.
        for (String entry : textOf("class_path").split(";", -1)) {
            if (entry.length() > 2 && entry.charAt(0) == 'A' && isRuntimeJar(entry.substring(2))) return true;
        }
        return false;
    }

    /** Includes the runtime classes' jar the block asks for, as the last included file. */
    public static void includeRuntimeJar(ConfigBlock block, byte[] data) throws PackRefusal {
        byte[] names = block.texts.get(2003);
        String joined = (names == null ? "" : new String(names, StandardCharsets.ISO_8859_1));
        joined += (joined.isEmpty() ? "" : ";") + block.runtimeJarName;
        if (joined.length() > KeyTable.MAX_TEXT_LENGTH) {
            throw new PackRefusal("include", "the included file names and " + block.runtimeJarName
                    + " are longer together than the launcher accepts (" + KeyTable.MAX_TEXT_LENGTH + " characters)");
        }
        block.files.add(new ConfigBlock.IncludedFile(block.runtimeJarName, data));
        block.texts.put(2003, joined.getBytes(StandardCharsets.ISO_8859_1));
        block.texts.put(2002, PackValues.ascii(Integer.toString(block.files.size())));
        block.wantsRuntimeJar = false;
    }

    // Stored bytes back as the user's text, for messages.
    private static String windowsText(byte[] bytes) {
        StringBuilder out = new StringBuilder();
        for (byte b : bytes) out.appendCodePoint(PackValues.windows1252Char(b & 0xFF));
        return out.toString();
    }
}
