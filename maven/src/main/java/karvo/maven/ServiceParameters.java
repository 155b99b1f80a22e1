package karvo.maven;

import java.nio.file.Path;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Optional;
import java.util.TreeMap;

import karvo.pack.Description;
import karvo.pack.KeyInfo;
import karvo.pack.KeyKind;
import karvo.pack.PackRefusal;
import karvo.pack.Value;

/**
 * The plugin's parameters as the POM gives them, and their mapping to a description by the
 * packer's setting names. It remembers which POM element each setting came from, so that a
 * refusal can say what to change in the POM. It knows nothing of Maven.
 */
public final class ServiceParameters {
    public String serviceName;
    public String description;
    public String mainClass;
    public List<String> vmOptions = new ArrayList<>();
    public List<String> arguments = new ArrayList<>();
    public String minJavaVersion;
    public String maxJavaVersion;
    public List<String> runtimeSearch = new ArrayList<>();
    public String stopTimeout;
    public String restart;
    public String restartDelay;
    public String restartDelayMax;
    public String restartResetAfter;
    public String restartLimit;
    public String stdoutFile;
    public String stderrFile;
    public Boolean appendOutput;
    public String outputMaxSize;
    public String outputKeep;
    public String account;
    public String startType;
    public Map<String, String> environment = new LinkedHashMap<>();
    public Map<String, String> settings = new LinkedHashMap<>();
    public Map<String, String> messages = new LinkedHashMap<>();
    public List<IncludedFile> includes = new ArrayList<>();
    public List<LocalizedText> localizedTexts = new ArrayList<>();
    public List<String> classPathEntries = new ArrayList<>();

    /** A file carried in the executable: its name there and where to read it. */
    public static final class IncludedFile {
        public String name;
        public Path source;

        public IncludedFile() {}

        public IncludedFile(String name, Path source) {
            this.name = name;
            this.source = source;
        }
    }

    /** A wide text (such as the description) for the locales starting with {@code locale}. */
    public static final class LocalizedText {
        public String locale;
        public String setting;
        public String text;

        public LocalizedText() {}

        public LocalizedText(String locale, String setting, String text) {
            this.locale = locale;
            this.setting = setting;
            this.text = text;
        }
    }

    /** The description and, for each setting name, the POM element it came from. */
    public static final class Mapped {
        private final Description description;
        private final Map<String, String> origins;

        Mapped(Description description, Map<String, String> origins) {
            this.description = description;
            this.origins = origins;
        }

        public Description description() {
            return description;
        }

        /** The POM element to change for a refused setting. */
        public String elementOf(PackRefusal refusal) {
            // An entry of a list names its list: its setting name may also be a top-level one.
            boolean listEntry = refusal.table() != null && !refusal.table().equals("messages");
            if (!listEntry && origins.containsKey(refusal.setting())) return origins.get(refusal.setting());
            if (refusal.table() != null && origins.containsKey(refusal.table())) return origins.get(refusal.table());
            return "<settings>";
        }
    }

    /** Where the service directory puts the jars and the runtime. */
    public static final String LIB_DIRECTORY = "lib";
    public static final String RUNTIME_DIRECTORY = "jre";

    /**
     * Maps the parameters; {@code jars} are the file names in lib/, in class path order, and
     * {@code bundledRuntime} says whether a runtime directory is copied to jre/.
     */
    public Mapped toDescription(List<String> jars, boolean bundledRuntime) throws PomError {
        Description d = new Description();
        Map<String, String> origins = new TreeMap<>();
        for (Map.Entry<String, String> entry : settings.entrySet()) {
            String name = entry.getKey();
            if (name.equals("write_defaults") || name.equals("add_runtime_jar")) {
                // Switches of the packer, not settings of the block.
                String value = entry.getValue() == null ? "" : entry.getValue().trim();
                if (!value.equals("true") && !value.equals("false")) {
                    throw new PomError("<settings><" + name + ">", name + " must be true or false, not '" + value + "'");
                }
                if (name.equals("write_defaults")) d.writeDefaults = value.equals("true");
                else d.addRuntimeJar = value.equals("true");
            } else {
                d.settings.put(name, genericValue(name, entry.getValue()));
            }
            origins.put(name, "<settings><" + name + ">");
        }
        named(d, origins, "service_name", "serviceName", serviceName);
        named(d, origins, "description", "description", description);
        named(d, origins, "main_class", "mainClass", mainClass);
        if (!vmOptions.isEmpty()) {
            named(d, origins, "vm_arguments", "vmOptions", commandLine(vmOptions, "vmOptions"));
        }
        if (!arguments.isEmpty()) {
            named(d, origins, "arguments", "arguments", commandLine(arguments, "arguments"));
        }
        named(d, origins, "min_java_version", "minJavaVersion", minJavaVersion);
        named(d, origins, "max_java_version", "maxJavaVersion", maxJavaVersion);
        List<String> search = new ArrayList<>();
        // A runtime shipped with the service is the one it was tested with: it comes first.
        if (bundledRuntime) search.add("B.\\" + RUNTIME_DIRECTORY);
        search.addAll(runtimeSearch);
        if (!search.isEmpty()) {
            claim(d, origins, "jre_search_sequence", bundledRuntime ? "<runtimeDirectory>" : "<runtimeSearch>");
            if (!runtimeSearch.isEmpty()) origins.put("jre_search_sequence", "<runtimeSearch>");
            d.settings.put("jre_search_sequence", new Value.TextList(search));
        }
        named(d, origins, "stop_timeout", "stopTimeout", stopTimeout);
        named(d, origins, "restart", "restart", restart);
        named(d, origins, "restart_delay", "restartDelay", restartDelay);
        named(d, origins, "restart_delay_max", "restartDelayMax", restartDelayMax);
        named(d, origins, "restart_reset_after", "restartResetAfter", restartResetAfter);
        named(d, origins, "restart_limit", "restartLimit", restartLimit);
        named(d, origins, "stdout_file", "stdoutFile", stdoutFile);
        named(d, origins, "stderr_file", "stderrFile", stderrFile);
        // Naming a file is asking for the output to go there.
        if (stdoutFile != null) flag(d, origins, "redirect_stdout", "stdoutFile", true);
        if (stderrFile != null) flag(d, origins, "redirect_stderr", "stderrFile", true);
        if (appendOutput != null) flag(d, origins, "append_output", "appendOutput", appendOutput);
        named(d, origins, "output_max_size", "outputMaxSize", outputMaxSize);
        named(d, origins, "output_keep", "outputKeep", outputKeep);
        named(d, origins, "service_account", "account", account);
        startType(d, origins);
        environment(d, origins);
        classPath(d, origins, jars);
        for (Map.Entry<String, String> message : messages.entrySet()) {
            d.messages.put(message.getKey(), Value.of(message.getValue()));
            origins.put("message '" + message.getKey() + "'", "<messages><" + message.getKey() + ">");
        }
        for (IncludedFile include : includes) {
            if (include.name == null || include.source == null) {
                throw new PomError("<includes>", "every <include> needs a <name> (the name in the executable) "
                        + "and a <source> (the file to read)");
            }
            d.includes.add(new Description.Include(include.name, include.source));
        }
        origins.put("include", "<includes>");
        localized(d, origins);
        // A required setting that is missing is given by its named parameter.
        origins.putIfAbsent("service_name", "<serviceName>");
        origins.putIfAbsent("main_class", "<mainClass>");
        return new Mapped(d, origins);
    }

    // The generic map gives texts; a flag written as true or false means the truth value.
    private static Value genericValue(String name, String text) {
        Optional<KeyInfo> info = KeyInfo.byName(name);
        String value = text == null ? "" : text;
        if (info.isPresent() && info.get().kind() == KeyKind.FLAG && (value.equals("true") || value.equals("false"))) {
            return new Value.Bool(value.equals("true"));
        }
        return Value.of(value);
    }

    // A named parameter and the same setting in <settings> would be one setting given twice.
    private static void claim(Description d, Map<String, String> origins, String setting, String element)
            throws PomError {
        if (d.settings.containsKey(setting)) {
            throw new PomError(element, setting + " is given twice: by " + element + " and by "
                    + origins.get(setting) + "; keep one of them");
        }
        origins.put(setting, element);
    }

    private static void named(Description d, Map<String, String> origins, String setting, String parameter,
            String value) throws PomError {
        if (value == null) return;
        claim(d, origins, setting, "<" + parameter + ">");
        d.settings.put(setting, Value.of(value));
    }

    private static void flag(Description d, Map<String, String> origins, String setting, String parameter,
            boolean value) throws PomError {
        claim(d, origins, setting, "<" + parameter + ">");
        d.settings.put(setting, new Value.Bool(value));
    }

    /**
     * One option a list element: joined into the command line the launcher splits, each
     * element that holds a blank in double quotes.
     */
    static String commandLine(List<String> options, String parameter) throws PomError {
        StringBuilder line = new StringBuilder();
        for (String option : options) {
            String text = option == null ? "" : option;
            boolean blank = text.isEmpty() || text.chars().anyMatch(c -> c == ' ' || c == '\t');
            if (blank && text.indexOf('"') >= 0) {
                throw new PomError("<" + parameter + ">", "the element '" + text + "' holds both a blank and a "
                        + "double quote, which one command line cannot pass on; split it or drop the quote");
            }
            if (line.length() > 0) line.append(' ');
            line.append(blank ? "\"" + text + "\"" : text);
        }
        return line.toString();
    }

    private void startType(Description d, Map<String, String> origins) throws PomError {
        if (startType == null || startType.equals("automatic")) return;
        if (startType.equals("delayed")) {
            flag(d, origins, "delayed_auto_start", "startType", true);
            return;
        }
        throw new PomError("<startType>", "<startType>" + startType + "</startType> is not a start type; write "
                + "automatic (the default) or delayed (automatic, shortly after the other automatic services)");
    }

    // The list form of the environment setting, NAME=value a entry, in the POM's order
    // (the order the launcher sets them in).
    private void environment(Description d, Map<String, String> origins) throws PomError {
        if (environment.isEmpty()) return;
        if (KeyInfo.byName("environment").isEmpty()) {
            throw new PomError("<environment>", "this karvo launcher has no environment setting; remove "
                    + "<environment> or set the values in <vmOptions> as -Dname=value");
        }
        List<String> entries = new ArrayList<>();
        for (Map.Entry<String, String> variable : environment.entrySet()) {
            if (variable.getKey().isEmpty() || variable.getKey().indexOf('=') >= 0) {
                throw new PomError("<environment>", "<" + variable.getKey() + "> in <environment>: a variable's name "
                        + "holds no '=' and is not empty");
            }
            entries.add(variable.getKey() + "=" + (variable.getValue() == null ? "" : variable.getValue()));
        }
        claim(d, origins, "environment", "<environment>");
        d.settings.put("environment", new Value.TextList(entries));
    }

    // Each jar by name, in the order Maven resolved them: the class path a developer ran
    // the tests with, and no surprise from a stray jar dropped into lib/ later.
    private void classPath(Description d, Map<String, String> origins, List<String> jars) throws PomError {
        if (jars.isEmpty() && classPathEntries.isEmpty()) return;
        List<String> entries = new ArrayList<>();
        for (String jar : jars) entries.add("A1" + LIB_DIRECTORY + "\\" + jar);
        entries.addAll(classPathEntries);
        if (d.settings.containsKey("class_path")) {
            throw new PomError("<settings><class_path>", "class_path is written by the plugin from the jars in "
                    + LIB_DIRECTORY + "/; remove <class_path> from <settings> and give further entries in "
                    + "<classPathEntries>");
        }
        origins.put("class_path", "<classPathEntries>");
        d.settings.put("class_path", new Value.TextList(entries));
    }

    private void localized(Description d, Map<String, String> origins) throws PomError {
        Map<String, Map<String, Value>> byLocale = new LinkedHashMap<>();
        for (LocalizedText text : localizedTexts) {
            if (text.locale == null || text.setting == null || text.text == null) {
                throw new PomError("<localizedTexts>", "every <localizedText> needs a <locale> (such as de), "
                        + "a <setting> (such as description) and a <text>");
            }
            Map<String, Value> entries = byLocale.computeIfAbsent(text.locale, k -> new TreeMap<>());
            if (entries.put(text.setting, Value.of(text.text)) != null) {
                throw new PomError("<localizedTexts>", text.setting + " is given twice for locale " + text.locale
                        + "; keep one <localizedText> for it");
            }
        }
        origins.put("localized", "<localizedTexts>");
        origins.put("messages", "<messages>");
        for (Map.Entry<String, Map<String, Value>> group : byLocale.entrySet()) {
            d.localized.add(new Description.Localized(group.getKey(), group.getValue()));
        }
    }
}
