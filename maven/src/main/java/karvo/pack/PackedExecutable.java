package karvo.pack;

import java.io.ByteArrayOutputStream;
import java.nio.charset.StandardCharsets;
import java.util.Map;

/** Appends a configuration block to a launcher template, byte for byte as the packer does. */
public final class PackedExecutable {
    private static final int BLOCK_MAGIC = 0xE8E413D5;
    private static final int INCLUDED_DATA_MASK = 0xA7;

    private PackedExecutable() {}

    /** The template is not one the block can be appended to; the text says why. */
    public static final class TemplateError extends Exception {
        private static final long serialVersionUID = 1L;

        TemplateError(String message) {
            super(message);
        }
    }

    private static int u32At(byte[] bytes, int at) {
        return (bytes[at] & 0xFF) | (bytes[at + 1] & 0xFF) << 8 | (bytes[at + 2] & 0xFF) << 16
                | (bytes[at + 3] & 0xFF) << 24;
    }

    private static int u16At(byte[] bytes, int at) {
        return (short) ((bytes[at] & 0xFF) | (bytes[at + 1] & 0xFF) << 8);
    }

    /** Where the sections of a PE file end, after checking its signatures. */
    public static long locatePeOverlay(byte[] bytes) throws TemplateError {
        if (bytes.length < 64 || bytes[0] != 'M' || bytes[1] != 'Z') {
            throw new TemplateError("is not a Windows executable (no MZ header)");
        }
        long peOffset = u32At(bytes, 60) & 0xFFFFFFFFL;
        if (peOffset + 24 > bytes.length || bytes[(int) peOffset] != 'P' || bytes[(int) peOffset + 1] != 'E'
                || bytes[(int) peOffset + 2] != 0 || bytes[(int) peOffset + 3] != 0) {
            throw new TemplateError("is not a Windows executable (no PE signature)");
        }
        int sections = u16At(bytes, (int) peOffset + 6);
        int optionalHeader = u16At(bytes, (int) peOffset + 20);
        long lastSection = peOffset + 24 + optionalHeader + (long) (sections - 1) * 40;
        if (sections <= 0 || lastSection < 0 || lastSection + 24 > bytes.length) {
            throw new TemplateError("is not a complete Windows executable (its section table points past its end)");
        }
        long overlay = (long) u32At(bytes, (int) lastSection + 16) + u32At(bytes, (int) lastSection + 20);
        if (overlay <= 0 || overlay > bytes.length) {
            throw new TemplateError("is not a complete Windows executable (its section table points past its end)");
        }
        return overlay;
    }

    /** The template with the block appended. */
    public static byte[] appendBlock(byte[] template, ConfigBlock block) throws TemplateError {
        long overlay;
        try {
            overlay = locatePeOverlay(template);
        } catch (TemplateError e) {
            throw new TemplateError("the template " + e.getMessage());
        }
        if (overlay != template.length) {
            throw new TemplateError("the template already carries data after its last section (a configured "
                    + "executable, or an unstripped build?)");
        }
        byte[] tail = writeConfigBlock(block, overlay);
        byte[] out = new byte[template.length + tail.length];
        System.arraycopy(template, 0, out, 0, template.length);
        System.arraycopy(tail, 0, out, template.length, tail.length);
        return out;
    }

    private static void putU32(ByteArrayOutputStream out, long value) {
        for (int i = 0; i < 4; ++i) out.write((int) (value >>> (8 * i)) & 0xFF);
    }

    private static void putU64(ByteArrayOutputStream out, long value) {
        for (int i = 0; i < 8; ++i) out.write((int) (value >>> (8 * i)) & 0xFF);
    }

    private static void putText(ByteArrayOutputStream out, byte[] text) {
        putU32(out, text.length);
        out.writeBytes(text);
    }

    private static void putWide(ByteArrayOutputStream out, String text) {
        putU32(out, text.length() * 2L);
        out.writeBytes(text.getBytes(StandardCharsets.UTF_16LE));
    }

    /**
     * Serialises the block for an executable whose sections end at overlayOffset; the
     * result, appended there, pads the file to a multiple of 512.
     */
    public static byte[] writeConfigBlock(ConfigBlock block, long overlayOffset) {
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        putU32(out, BLOCK_MAGIC);
        putU32(out, 0);
        putU32(out, 0);
        int lengthField = out.size();
        putU64(out, 0);
        putU32(out, block.texts.size());
        for (Map.Entry<Integer, byte[]> e : block.texts.entrySet()) {
            putU32(out, e.getKey());
            putText(out, e.getValue());
        }
        putU32(out, block.wides.size());
        for (Map.Entry<Integer, String> e : block.wides.entrySet()) {
            putU32(out, e.getKey());
            putWide(out, e.getValue());
        }
        putU32(out, block.groups.size());
        for (ConfigBlock.Group group : block.groups) {
            putText(out, group.localePrefix());
            putU32(out, group.entries().size());
            for (Map.Entry<Integer, String> e : group.entries().entrySet()) {
                putU32(out, e.getKey());
                putWide(out, e.getValue());
            }
        }
        for (ConfigBlock.IncludedFile file : block.files) {
            putU64(out, file.data().length);
            for (byte b : file.data()) out.write((b ^ INCLUDED_DATA_MASK) & 0xFF);
        }
        byte[] bytes = out.toByteArray();
        long blockLength = bytes.length - lengthField;
        for (int i = 0; i < 8; ++i) bytes[lengthField + i] = (byte) (blockLength >>> (8 * i));
        long end = overlayOffset + bytes.length + 4;
        int padding = (int) ((512 - end % 512) % 512);
        byte[] result = new byte[bytes.length + 4 + padding];
        System.arraycopy(bytes, 0, result, 0, bytes.length);
        result[bytes.length] = (byte) 0xE8;
        result[bytes.length + 1] = (byte) 0xE4;
        result[bytes.length + 2] = (byte) 0x13;
        result[bytes.length + 3] = (byte) 0xD5;
        return result;
    }
}
