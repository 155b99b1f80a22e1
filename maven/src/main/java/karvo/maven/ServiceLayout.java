package karvo.maven;

import java.io.IOException;
import java.io.OutputStream;
import java.nio.file.FileVisitResult;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.SimpleFileVisitor;
import java.nio.file.StandardCopyOption;
import java.nio.file.attribute.BasicFileAttributes;
import java.nio.file.attribute.FileTime;
import java.util.ArrayList;
import java.util.HashSet;
import java.util.List;
import java.util.Locale;
import java.util.Set;
import java.util.stream.Stream;
import java.util.zip.ZipEntry;
import java.util.zip.ZipOutputStream;

/**
 * Lays out a service directory: the configured executable, lib/ with the jars, the files
 * shipped beside it, and a runtime in jre/; and zips it. It knows nothing of Maven.
 */
public final class ServiceLayout {
    private ServiceLayout() {}

    /** A jar to put in lib/: the file, and the group it came from (to tell equal names apart). */
    public static final class Jar {
        private final Path file;
        private final String group;

        public Jar(Path file, String group) {
            this.file = file;
            this.group = group;
        }

        public Path file() {
            return file;
        }

        public String group() {
            return group;
        }
    }

    /**
     * The names the jars get in lib/, in order: their own file names, or group-prefixed
     * ones where two would otherwise be the same file on Windows (which ignores case).
     */
    public static List<String> jarNames(List<Jar> jars) {
        Set<String> seen = new HashSet<>();
        Set<String> repeated = new HashSet<>();
        for (Jar jar : jars) {
            String folded = jar.file().getFileName().toString().toLowerCase(Locale.ROOT);
            if (!seen.add(folded)) repeated.add(folded);
        }
        List<String> names = new ArrayList<>();
        for (Jar jar : jars) {
            String name = jar.file().getFileName().toString();
            names.add(repeated.contains(name.toLowerCase(Locale.ROOT)) ? jar.group() + "." + name : name);
        }
        return names;
    }

    /**
     * Writes the directory afresh: what an earlier build left there (a dependency since
     * removed) must not ship.
     */
    public static void write(Path directory, String exeName, byte[] exe, List<Jar> jars, List<Path> files,
            Path runtime) throws IOException {
        deleteTree(directory);
        Files.createDirectories(directory);
        Files.write(directory.resolve(exeName), exe);
        Path lib = directory.resolve(ServiceParameters.LIB_DIRECTORY);
        Files.createDirectories(lib);
        List<String> names = jarNames(jars);
        for (int i = 0; i < jars.size(); ++i) {
            Files.copy(jars.get(i).file(), lib.resolve(names.get(i)), StandardCopyOption.REPLACE_EXISTING);
        }
        for (Path file : files) copyTree(file, directory.resolve(file.getFileName().toString()));
        if (runtime != null) copyTree(runtime, directory.resolve(ServiceParameters.RUNTIME_DIRECTORY));
    }

    static void copyTree(Path source, Path target) throws IOException {
        if (!Files.isDirectory(source)) {
            Files.createDirectories(target.getParent());
            Files.copy(source, target, StandardCopyOption.REPLACE_EXISTING);
            return;
        }
        try (Stream<Path> all = Files.walk(source)) {
            for (Path path : (Iterable<Path>) all::iterator) {
                Path to = target.resolve(source.relativize(path).toString());
                if (Files.isDirectory(path)) Files.createDirectories(to);
                else Files.copy(path, to, StandardCopyOption.REPLACE_EXISTING);
            }
        }
    }

    static void deleteTree(Path directory) throws IOException {
        if (!Files.exists(directory)) return;
        Files.walkFileTree(directory, new SimpleFileVisitor<>() {
            @Override
            public FileVisitResult visitFile(Path file, BasicFileAttributes attributes) throws IOException {
                Files.delete(file);
                return FileVisitResult.CONTINUE;
            }

            @Override
            public FileVisitResult postVisitDirectory(Path dir, IOException failure) throws IOException {
                Files.delete(dir);
                return FileVisitResult.CONTINUE;
            }
        });
    }

    // One fixed time for every entry, so that the same build gives the same zip.
    private static final FileTime ZIP_TIME = FileTime.fromMillis(315532800000L + 86400000L);

    /** Zips the directory with its own name as the top folder, entries in name order. */
    public static void zip(Path directory, Path zipFile) throws IOException {
        Files.createDirectories(zipFile.toAbsolutePath().getParent());
        String top = directory.getFileName().toString();
        List<Path> paths;
        try (Stream<Path> all = Files.walk(directory)) {
            paths = all.sorted().toList();
        }
        try (OutputStream file = Files.newOutputStream(zipFile); ZipOutputStream zip = new ZipOutputStream(file)) {
            for (Path path : paths) {
                String relative = directory.relativize(path).toString().replace('\\', '/');
                String name = relative.isEmpty() ? top + "/" : top + "/" + relative;
                boolean folder = Files.isDirectory(path);
                ZipEntry entry = new ZipEntry(folder && !name.endsWith("/") ? name + "/" : name);
                entry.setLastModifiedTime(ZIP_TIME);
                zip.putNextEntry(entry);
                if (!folder) Files.copy(path, zip);
                zip.closeEntry();
            }
        }
    }
}
