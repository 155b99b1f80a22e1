package karvo.maven;

import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.jar.JarFile;
import java.util.jar.Manifest;

import org.apache.maven.artifact.Artifact;
import org.apache.maven.plugin.AbstractMojo;
import org.apache.maven.plugin.MojoExecutionException;
import org.apache.maven.plugin.MojoFailureException;
import org.apache.maven.plugins.annotations.Component;
import org.apache.maven.plugins.annotations.LifecyclePhase;
import org.apache.maven.plugins.annotations.Mojo;
import org.apache.maven.plugins.annotations.Parameter;
import org.apache.maven.plugins.annotations.ResolutionScope;
import org.apache.maven.project.MavenProject;
import org.apache.maven.project.MavenProjectHelper;

import karvo.pack.ConfigBlock;
import karvo.pack.DescriptionReader;
import karvo.pack.PackRefusal;
import karvo.pack.PackedExecutable;

/**
 * Makes target/karvo/&lt;service&gt;/ (the configured executable, lib/, the shipped files
 * and runtime) and its zip. Only wiring: the mapping and the layout are plain classes.
 */
@Mojo(name = "pack", defaultPhase = LifecyclePhase.PACKAGE, requiresDependencyResolution = ResolutionScope.RUNTIME,
        threadSafe = true)
public final class PackMojo extends AbstractMojo {
    @Parameter(defaultValue = "${project}", readonly = true, required = true)
    private MavenProject project;

    @Component
    private MavenProjectHelper projectHelper;

    @Parameter(defaultValue = "${project.artifactId}")
    private String serviceName;
    @Parameter(defaultValue = "${project.description}")
    private String description;
    @Parameter
    private String mainClass;
    @Parameter
    private List<String> vmOptions = new ArrayList<>();
    @Parameter
    private List<String> arguments = new ArrayList<>();
    @Parameter
    private String minJavaVersion;
    @Parameter
    private String maxJavaVersion;
    @Parameter
    private List<String> runtimeSearch = new ArrayList<>();
    @Parameter(property = "karvo.runtimeDirectory")
    private File runtimeDirectory;
    @Parameter
    private String stopTimeout;
    @Parameter
    private String restart;
    @Parameter
    private String restartDelay;
    @Parameter
    private String restartDelayMax;
    @Parameter
    private String restartResetAfter;
    @Parameter
    private String restartLimit;
    @Parameter
    private String stdoutFile;
    @Parameter
    private String stderrFile;
    @Parameter
    private Boolean appendOutput;
    @Parameter
    private String outputMaxSize;
    @Parameter
    private String outputKeep;
    @Parameter
    private String account;
    @Parameter
    private String startType;
    @Parameter
    private LinkedHashMap<String, String> environment;
    @Parameter
    private Map<String, String> settings;
    @Parameter
    private Map<String, String> messages;
    @Parameter
    private List<Include> includes = new ArrayList<>();
    @Parameter
    private List<LocalizedText> localizedTexts = new ArrayList<>();
    @Parameter
    private List<String> classPathEntries = new ArrayList<>();
    @Parameter
    private List<File> serviceFiles = new ArrayList<>();
    @Parameter(defaultValue = "64", property = "karvo.bits")
    private int bits;
    @Parameter(defaultValue = "true")
    private boolean zip;
    @Parameter(defaultValue = "windows-service")
    private String classifier;
    @Parameter(defaultValue = "${project.build.directory}/karvo")
    private File outputDirectory;
    @Parameter(defaultValue = "${project.build.directory}", readonly = true)
    private File buildDirectory;
    @Parameter(defaultValue = "${project.build.finalName}", readonly = true)
    private String finalName;
    @Parameter(defaultValue = "false", property = "karvo.skip")
    private boolean skip;

    /** An included file as the POM writes it. */
    public static final class Include {
        private String name;
        private File source;
    }

    /** A localized text as the POM writes it. */
    public static final class LocalizedText {
        private String locale;
        private String setting;
        private String text;
    }

    @Override
    public void execute() throws MojoExecutionException, MojoFailureException {
        if (skip) {
            getLog().info("karvo: skipped (karvo.skip)");
            return;
        }
        Artifact artifact = project.getArtifact();
        if (artifact == null || artifact.getFile() == null || !artifact.getFile().isFile()) {
            throw new MojoFailureException("karvo: the project's jar has not been made yet; run the pack goal in "
                    + "the package phase (its default), after the jar plugin, on a project with <packaging>jar");
        }
        List<ServiceLayout.Jar> jars = new ArrayList<>();
        jars.add(new ServiceLayout.Jar(artifact.getFile().toPath(), artifact.getGroupId()));
        for (Artifact dependency : project.getArtifacts()) {
            if (dependency.getFile() != null && dependency.getArtifactHandler().isAddedToClasspath()) {
                jars.add(new ServiceLayout.Jar(dependency.getFile().toPath(), dependency.getGroupId()));
            }
        }
        Path runtimeJar = runtimeJar();
        jars.add(new ServiceLayout.Jar(runtimeJar, "karvo"));

        ServiceParameters parameters = parameters(artifact.getFile());
        String template = "/karvo/templates/win" + bits + "/karvo-service.exe";
        if (bits != 32 && bits != 64) {
            throw failure("<bits>", "<bits>" + bits + "</bits> is not a launcher width; write 64 (the default) or 32");
        }
        try {
            ServiceParameters.Mapped mapped = parameters.toDescription(ServiceLayout.jarNames(jars),
                    runtimeDirectory != null);
            ConfigBlock block;
            try {
                block = DescriptionReader.read(mapped.description());
            } catch (PackRefusal refusal) {
                throw failure(mapped.elementOf(refusal), refusal.getMessage());
            }
            if (block.wantsRuntimeJar) {
                // Nothing on the class path names the runtime classes (another flavour's, say):
                // carried in the executable, as the packer does.
                try {
                    DescriptionReader.includeRuntimeJar(block, resource("/karvo/runtime/" + block.runtimeJarName));
                } catch (PackRefusal refusal) {
                    throw failure(mapped.elementOf(refusal), refusal.getMessage());
                }
            }
            for (String warning : block.warnings) getLog().warn("karvo: " + warning);
            byte[] exe = PackedExecutable.appendBlock(resource(template), block);
            if (runtimeDirectory != null && !runtimeDirectory.isDirectory()) {
                throw failure("<runtimeDirectory>", "<runtimeDirectory> " + runtimeDirectory
                        + " is not a directory; name the folder that holds bin\\ of a Windows Java runtime");
            }
            List<Path> files = new ArrayList<>();
            for (File file : serviceFiles) {
                if (!file.exists()) {
                    throw failure("<serviceFiles>", "<serviceFile> " + file + " does not exist; correct its path");
                }
                files.add(file.toPath());
            }
            Path directory = outputDirectory.toPath().resolve(serviceName);
            ServiceLayout.write(directory, serviceName + ".exe", exe, jars, files,
                    runtimeDirectory == null ? null : runtimeDirectory.toPath());
            getLog().info("karvo: wrote " + directory + " (" + bits + "-bit launcher, " + jars.size() + " jars)");
            if (zip) {
                Path zipFile = buildDirectory.toPath().resolve(finalName + "-" + classifier + ".zip");
                ServiceLayout.zip(directory, zipFile);
                projectHelper.attachArtifact(project, "zip", classifier, zipFile.toFile());
                getLog().info("karvo: wrote " + zipFile + ", attached as " + classifier);
            }
        } catch (PomError error) {
            throw failure(error.element(), error.getMessage());
        } catch (PackedExecutable.TemplateError error) {
            throw new MojoExecutionException("karvo: " + error.getMessage() + " (" + template + ")");
        } catch (IOException error) {
            throw new MojoExecutionException("karvo: cannot write the service: " + error, error);
        }
    }

    private static MojoFailureException failure(String element, String message) {
        return new MojoFailureException("karvo: " + element + " in the POM: " + message + " (change " + element
                + " in the karvo-maven-plugin's <configuration>)");
    }

    private ServiceParameters parameters(File jar) throws MojoFailureException {
        ServiceParameters p = new ServiceParameters();
        p.serviceName = serviceName;
        p.description = description;
        p.mainClass = mainClass != null ? mainClass : manifestMainClass(jar);
        if (p.mainClass == null) {
            throw failure("<mainClass>", "no <mainClass> is given and the jar's manifest names no Main-Class; "
                    + "write <mainClass>com.example.Main</mainClass>");
        }
        p.vmOptions = vmOptions;
        p.arguments = arguments;
        p.minJavaVersion = minJavaVersion;
        p.maxJavaVersion = maxJavaVersion;
        p.runtimeSearch = runtimeSearch;
        p.stopTimeout = stopTimeout;
        p.restart = restart;
        p.restartDelay = restartDelay;
        p.restartDelayMax = restartDelayMax;
        p.restartResetAfter = restartResetAfter;
        p.restartLimit = restartLimit;
        p.stdoutFile = stdoutFile;
        p.stderrFile = stderrFile;
        p.appendOutput = appendOutput;
        p.outputMaxSize = outputMaxSize;
        p.outputKeep = outputKeep;
        p.account = account;
        p.startType = startType;
        if (environment != null) p.environment.putAll(environment);
        if (settings != null) p.settings.putAll(settings);
        if (messages != null) p.messages.putAll(messages);
        for (Include include : includes) {
            p.includes.add(new ServiceParameters.IncludedFile(include.name,
                    include.source == null ? null : include.source.toPath()));
        }
        for (LocalizedText text : localizedTexts) {
            p.localizedTexts.add(new ServiceParameters.LocalizedText(text.locale, text.setting, text.text));
        }
        p.classPathEntries = classPathEntries;
        return p;
    }

    private static String manifestMainClass(File jar) {
        try (JarFile file = new JarFile(jar)) {
            Manifest manifest = file.getManifest();
            return manifest == null ? null : manifest.getMainAttributes().getValue("Main-Class");
        } catch (IOException e) {
            return null;
        }
    }

    private static byte[] resource(String name) throws IOException {
        try (InputStream in = PackMojo.class.getResourceAsStream(name)) {
            if (in == null) throw new IOException("the plugin jar lacks " + name + "; it was built without it");
            return in.readAllBytes();
        }
    }

    // The launcher's runtime classes, carried in the plugin jar, go to lib/ like any jar.
    private Path runtimeJar() throws MojoExecutionException {
        try {
            Path file = buildDirectory.toPath().resolve("karvo-plugin/karvo-runtime.jar");
            Files.createDirectories(file.getParent());
            Files.write(file, resource("/karvo/runtime/karvo-runtime.jar"));
            return file;
        } catch (IOException e) {
            throw new MojoExecutionException("karvo: " + e.getMessage(), e);
        }
    }
}
