package karvo.maven;

import static org.junit.Assert.assertEquals;
import static org.junit.Assert.assertFalse;

import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.List;
import java.util.zip.ZipEntry;
import java.util.zip.ZipInputStream;

import org.junit.Rule;
import org.junit.Test;
import org.junit.rules.TemporaryFolder;

public class ServiceLayoutTest {
    @Rule
    public TemporaryFolder temp = new TemporaryFolder();

    @Test
    public void jarsWhoseNamesMeetOnWindowsKeepTheirGroup() {
        Object[][] rows = {
            {"distinct names stay", List.of("a.jar", "b.jar"), List.of("g", "h"), List.of("a.jar", "b.jar")},
            {"equal names get their group", List.of("util.jar", "util.jar"), List.of("org.a", "org.b"),
                List.of("org.a.util.jar", "org.b.util.jar")},
            {"names differing in case meet too", List.of("Util.jar", "util.jar"), List.of("x", "y"),
                List.of("x.Util.jar", "y.util.jar")},
        };
        for (Object[] row : rows) {
            @SuppressWarnings("unchecked")
            List<String> files = (List<String>) row[1];
            @SuppressWarnings("unchecked")
            List<String> groups = (List<String>) row[2];
            List<ServiceLayout.Jar> jars = new ArrayList<>();
            for (int i = 0; i < files.size(); ++i) {
                jars.add(new ServiceLayout.Jar(Paths.get("/repo/" + i).resolve(files.get(i)), groups.get(i)));
            }
            assertEquals((String) row[0], row[3], ServiceLayout.jarNames(jars));
        }
    }

    @Test
    public void aRebuiltDirectoryHoldsOnlyTheNewFilesAndZipsUnderItsName() throws Exception {
        Path jar = temp.newFile("app.jar").toPath();
        Path runtime = temp.newFolder("runtime").toPath();
        Files.createDirectories(runtime.resolve("bin"));
        Files.write(runtime.resolve("bin/java.exe"), new byte[] {1});
        Path directory = temp.getRoot().toPath().resolve("karvo/Svc");
        Files.createDirectories(directory.resolve("lib"));
        Files.write(directory.resolve("lib/removed-dependency.jar"), new byte[] {2});

        ServiceLayout.write(directory, "Svc.exe", new byte[] {'M', 'Z'},
                List.of(new ServiceLayout.Jar(jar, "g")), List.of(), runtime);
        assertFalse(Files.exists(directory.resolve("lib/removed-dependency.jar")));

        Path zip = temp.getRoot().toPath().resolve("svc.zip");
        ServiceLayout.zip(directory, zip);
        List<String> names = new ArrayList<>();
        try (ZipInputStream in = new ZipInputStream(Files.newInputStream(zip))) {
            for (ZipEntry entry; (entry = in.getNextEntry()) != null;) names.add(entry.getName());
        }
        assertEquals(List.of("Svc/", "Svc/Svc.exe", "Svc/jre/", "Svc/jre/bin/", "Svc/jre/bin/java.exe", "Svc/lib/",
                "Svc/lib/app.jar"), names);
    }
}
