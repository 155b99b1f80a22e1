package karvo.maven;

import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertTrue;
import static org.junit.Assert.fail;

import java.nio.charset.StandardCharsets;
import java.nio.file.Paths;
import java.util.List;
import java.util.function.Consumer;

import org.junit.Test;

import karvo.pack.ConfigBlock;
import karvo.pack.DescriptionReader;
import karvo.pack.KeyInfo;
import karvo.pack.PackRefusal;

public class ServiceParametersTest {
    private static final class Row {
        final String name;
        final Consumer<ServiceParameters> setup;
        final String setting;
        final String expected;

        Row(String name, Consumer<ServiceParameters> setup, String setting, String expected) {
            this.name = name;
            this.setup = setup;
            this.setting = setting;
            this.expected = expected;
        }
    }

    private static ServiceParameters minimal() {
        ServiceParameters p = new ServiceParameters();
        p.serviceName = "Svc";
        p.mainClass = "com.example.Main";
        return p;
    }

    private static ConfigBlock pack(ServiceParameters p, List<String> jars, boolean runtime) throws Exception {
        return DescriptionReader.read(p.toDescription(jars, runtime).description());
    }

    private static String stored(ConfigBlock block, String setting) {
        KeyInfo info = KeyInfo.byName(setting).orElseThrow();
        byte[] text = block.texts.get(info.number());
        return text != null ? new String(text, StandardCharsets.ISO_8859_1) : block.wides.get(info.number());
    }

    @Test
    public void parametersBecomeThePackersSettings() throws Exception {
        Row[] rows = {
            new Row("service name", p -> {}, "service_name", "Svc"),
            new Row("main class", p -> {}, "main_class", "com.example.Main"),
            new Row("description is wide", p -> p.description = "Dienst \u4e2d", "description", "Dienst \u4e2d"),
            new Row("VM options joined, a blank quoted", p -> p.vmOptions = List.of("-Xmx64m", "-Dx=a b"),
                    "vm_arguments", "-Xmx64m \"-Dx=a b\""),
            new Row("an empty argument kept", p -> p.arguments = List.of("--name", ""), "arguments", "--name \"\""),
            new Row("runtime search as given", p -> p.runtimeSearch = List.of("Y", "EJAVA_HOME"),
                    "jre_search_sequence", "Y;EJAVA_HOME"),
            new Row("an output file turns its redirection on", p -> p.stdoutFile = "logs\\out.txt",
                    "redirect_stdout", "1"),
            new Row("append output is a flag", p -> p.appendOutput = false, "append_output", "0"),
            new Row("account", p -> p.account = "NT AUTHORITY\\LocalService", "service_account",
                    "NT AUTHORITY\\LocalService"),
            new Row("delayed start", p -> p.startType = "delayed", "delayed_auto_start", "1"),
            new Row("a flag in the map written as true", p -> p.settings.put("require_jdk", "true"), "require_jdk", "1"),
            new Row("a number in the map kept as written", p -> p.settings.put("restart_delay", "+500"),
                    "restart_delay", "+500"),
            new Row("a duration with its unit", p -> p.stopTimeout = "2m", "stop_timeout", "120"),
            new Row("a plain runtime search entry coded", p -> p.runtimeSearch = List.of("registry"),
                    "jre_search_sequence", "Y"),
            new Row("extra class path entries after the jars", p -> p.classPathEntries = List.of("D0conf"),
                    "class_path", "A1lib\\app.jar;A1lib\\dep.jar;D0conf"),
        };
        for (Row row : rows) {
            ServiceParameters p = minimal();
            row.setup.accept(p);
            assertEquals(row.name, row.expected, stored(pack(p, List.of("app.jar", "dep.jar"), false), row.setting));
        }
    }

    @Test
    public void aBundledRuntimeIsSearchedFirst() throws Exception {
        ServiceParameters p = minimal();
        p.runtimeSearch = List.of("Y");
        assertEquals("B.\\jre;Y", stored(pack(p, List.of(), true), "jre_search_sequence"));
    }

    private static final class Refusal {
        final String name;
        final Consumer<ServiceParameters> setup;
        final String element;
        final String says;

        Refusal(String name, Consumer<ServiceParameters> setup, String element, String says) {
            this.name = name;
            this.setup = setup;
            this.element = element;
            this.says = says;
        }
    }

    @Test
    public void aRefusalNamesThePomElementToChange() {
        Refusal[] rows = {
            new Refusal("negative stop time-out", p -> p.stopTimeout = "-1", "<stopTimeout>", "give seconds"),
            new Refusal("a word as a number", p -> p.restartDelay = "soon", "<restartDelay>", "is not a number"),
            new Refusal("restart word", p -> p.restart = "sometimes", "<restart>", "never, on-failure, always"),
            new Refusal("user account without its domain", p -> p.account = "alice", "<account>", "DOMAIN\\user"),
            new Refusal("Java below the runtime classes", p -> p.minJavaVersion = "1.6", "<minJavaVersion>",
                    "write \"1.7\" or later"),
            new Refusal("misspelt setting in the map", p -> p.settings.put("stop_timout", "5"),
                    "<settings><stop_timout>", "did you mean 'stop_timeout'?"),
            new Refusal("misspelt message", p -> p.messages.put("titel", "x"), "<messages><titel>",
                    "did you mean 'title'?"),
            new Refusal("a setting given twice", p -> p.settings.put("service_name", "Other"), "<serviceName>",
                    "keep one of them"),
            new Refusal("class path in the map", p -> p.settings.put("class_path", "A1x.jar"),
                    "<settings><class_path>", "<classPathEntries>"),
            new Refusal("a packer switch that is no truth value", p -> p.settings.put("write_defaults", "no"),
                    "<settings><write_defaults>", "must be true or false"),
            new Refusal("a missing main class", p -> p.mainClass = null, "<mainClass>", "main_class is missing"),
            new Refusal("a duration in a unit the setting cannot hold", p -> p.stopTimeout = "1500ms", "<stopTimeout>",
                    "a whole number of seconds"),
            new Refusal("a class path entry with an unknown kind", p -> p.classPathEntries = List.of("X1lib"),
                    "<classPathEntries>", "not a kind letter"),
            new Refusal("unknown start type", p -> p.startType = "manual", "<startType>", "write automatic"),
            new Refusal("quote and blank in one option", p -> p.vmOptions = List.of("-Dx=\"a b\""), "<vmOptions>",
                    "split it"),
            new Refusal("an 8-bit setting localized",
                    p -> p.localizedTexts.add(new ServiceParameters.LocalizedText("de", "main_class", "x")),
                    "<localizedTexts>", "only wide texts"),
            new Refusal("an included file name with a slash",
                    p -> p.includes.add(new ServiceParameters.IncludedFile("a/b", Paths.get("pom.xml"))),
                    "<includes>", "use '\\'"),
            new Refusal("an included file without a source",
                    p -> p.includes.add(new ServiceParameters.IncludedFile("a", null)), "<includes>", "<source>"),
        };
        for (Refusal row : rows) {
            ServiceParameters p = minimal();
            row.setup.accept(p);
            try {
                ServiceParameters.Mapped mapped = p.toDescription(List.of("app.jar"), false);
                try {
                    DescriptionReader.read(mapped.description());
                    fail(row.name + ": accepted");
                } catch (PackRefusal refusal) {
                    assertEquals(row.name, row.element, mapped.elementOf(refusal));
                    assertTrue(row.name + ": " + refusal.getMessage(), refusal.getMessage().contains(row.says));
                }
            } catch (PomError error) {
                assertEquals(row.name, row.element, error.element());
                assertTrue(row.name + ": " + error.getMessage(), error.getMessage().contains(row.says));
            }
        }
    }
}
