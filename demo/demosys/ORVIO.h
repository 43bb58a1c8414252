#pragma once

#include "Status.h"

#include <memory>
#include <string>

class Binary;
class ResourceFile;
class Texture;
class Video;

// The resource I/O layer: every loader reads through it, from loose files under
// resources/ (mode 0) or from the archive "resources.7z" (mode 1). Any other mode
// makes every loader return nothing.
class ORVIO {
public:
    enum { ModeFiles = 0, ModeArchive = 1 };

    // Stores the mode; in archive mode opens archivePath (its failure shows later, as
    // each load failing like a missing entry). Clears the verbose trace flag.
    static void init(int mode, const std::string& archivePath = "resources.7z");
    // Closes the archive in archive mode.
    static void release();

    static int getMode();
    static bool isVerbose();
    static void setVerbose(bool verbose);

    // A new record that the caller owns, returned whether or not loading worked
    // (test isLoaded()); nothing for an unknown mode.
    static ResourceFile* loadTextFile(const std::string& path);
    static ResourceFile* loadTextFile(const std::string& path, int mode);
    static ResourceFile* loadFile(const std::string& path);
    static ResourceFile* loadFile(const std::string& path, int mode);

    // A new Binary holding a copy of the file's bytes; nothing when it cannot be read.
    static Binary* loadBinaryFile(const std::string& path);
    static Binary* loadBinaryFile(const std::string& path, int mode);
    // A new open Video from the file (mode 0) or the archive entry (mode 1); nothing when
    // it cannot be read or played (the video says why).
    static Video* loadVideoFile(const std::string& path);
    static Video* loadVideoFile(const std::string& path, int mode);
    // Decodes a PNG or JPEG image into a new texture of target GL_TEXTURE_1D (length
    // max(width, height)), GL_TEXTURE_2D or GL_TEXTURE_3D (the image is a vertical strip
    // of square slices: width x width x height / width). Fails when the image cannot be
    // read or decoded, or the target or strip does not fit, with one line naming the
    // file and why ("Image 'PATH': damaged"); texture is then empty.
    static Status loadTexture(const std::string& path, unsigned int target, bool mipmapped,
                              std::unique_ptr<Texture>& texture);
    static Status loadTexture(const std::string& path, unsigned int target, bool mipmapped, int mode,
                              std::unique_ptr<Texture>& texture);

private:
    static ResourceFile* load(const std::string& path, int mode);
};
