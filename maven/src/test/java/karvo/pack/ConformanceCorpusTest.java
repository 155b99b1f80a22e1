package karvo.pack;

import static org.junit.Assert.assertArrayEquals;
import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertTrue;
import static org.junit.Assert.fail;
import static org.junit.Assume.assumeFalse;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Collection;
import java.util.List;
import java.util.concurrent.TimeUnit;
import java.util.stream.Stream;

import org.junit.Test;
import org.junit.runner.RunWith;
import org.junit.runners.Parameterized;

/**
 * Every description of the conformance corpus, written once, is fed to the packer and to
 * the plugin's writer: both must write the same executable byte for byte, or both refuse it
 * naming the same setting, and both must warn alike. The corpus, the packer and the
 * templates are named by system properties (make test sets them); without them the test
 * is skipped.
 */
@RunWith(Parameterized.class)
public class ConformanceCorpusTest {
    private static final String CORPUS = System.getProperty("karvo.corpus", "");
    private static final String PACKER = System.getProperty("karvo.packer", "");
    private static final String TEMPLATES = System.getProperty("karvo.templates", "");
    private static final String RUNTIME_JAR = System.getProperty("karvo.runtimeJar", "");

    @Parameterized.Parameter
    public String name;

    @Parameterized.Parameters(name = "{0}")
    public static Collection<Object[]> cases() throws IOException {
        List<Object[]> cases = new ArrayList<>();
        if (CORPUS.isEmpty()) {
            cases.add(new Object[] {"(no corpus given)"});
            return cases;
        }
        try (Stream<Path> files = Files.list(Paths.get(CORPUS))) {
            files.filter(f -> f.toString().endsWith(".toml")).sorted()
                    .forEach(f -> cases.add(new Object[] {f.getFileName().toString()}));
        }
        return cases;
    }

    private static final class PackerRun {
        int exit;
        byte[] exe;
        String errors;
    }

    private static PackerRun runPacker(Path description, Path template) throws Exception {
        Path out = Files.createTempFile("karvo-corpus", ".exe");
        Path err = Files.createTempFile("karvo-corpus", ".err");
        try {
            Process process = new ProcessBuilder(PACKER, "build", description.toString(), "--template",
                    template.toString(), "--out", out.toString(), "--runtime-jar", RUNTIME_JAR)
                    .redirectOutput(ProcessBuilder.Redirect.DISCARD).redirectError(err.toFile()).start();
            if (!process.waitFor(60, TimeUnit.SECONDS)) {
                process.destroyForcibly();
                fail("the packer did not end within 60 s");
            }
            PackerRun run = new PackerRun();
            run.exit = process.exitValue();
            run.exe = run.exit == 0 ? Files.readAllBytes(out) : null;
            run.errors = new String(Files.readAllBytes(err), StandardCharsets.UTF_8);
            return run;
        } finally {
            Files.deleteIfExists(out);
            Files.deleteIfExists(err);
        }
    }

    private static List<String> packerWarnings(String errors) {
        List<String> warnings = new ArrayList<>();
        for (String line : errors.split("\n")) {
            if (line.startsWith("karvo-pack: warning: ")) warnings.add(line.substring(21));
        }
        return warnings;
    }

    @Test
    public void packerAndPluginAgree() throws Exception {
        assumeFalse("no corpus given (make test gives karvo.corpus, karvo.packer, karvo.templates)",
                CORPUS.isEmpty());
        Path description = Paths.get(CORPUS, name);
        // The width does not change the block; alternate, so both templates are used.
        String width = name.hashCode() % 2 == 0 ? "win64" : "win32";
        Path template = Paths.get(TEMPLATES, width, "karvo-service.exe");
        PackerRun packer = runPacker(description, template);

        ConfigBlock block = null;
        PackRefusal refusal = null;
        Description read = CorpusToml.read(description);
        try {
            block = DescriptionReader.read(read);
        } catch (PackRefusal r) {
            refusal = r;
        }
        if (refusal != null) {
            assertEquals("the plugin refuses (" + refusal.getMessage() + ") but the packer wrote the executable",
                    1, packer.exit);
            // The setting the plugin blames (to name the POM element) is the one the packer names,
            // or a top-level setting as the description wrote it (message_title, say).
            assertTrue("the packer's refusal does not name " + refusal.setting() + ": " + packer.errors
                    + "\nthe plugin's: " + refusal.getMessage(),
                    packer.errors.contains(refusal.setting()) || read.settings.containsKey(refusal.setting()));
            assertTrue("the packer's refusal says something else: " + packer.errors + "\nthe plugin's: "
                    + refusal.getMessage(), packer.errors.contains(refusal.getMessage()));
            return;
        }
        assertEquals("the plugin accepts but the packer refuses: " + packer.errors, 0, packer.exit);
        if (block.wantsRuntimeJar) DescriptionReader.includeRuntimeJar(block, Files.readAllBytes(Paths.get(RUNTIME_JAR)));
        byte[] plugin = PackedExecutable.appendBlock(Files.readAllBytes(template), block);
        assertEquals(packerWarnings(packer.errors), block.warnings);
        assertArrayEquals("the executables differ", packer.exe, plugin);
    }
}
