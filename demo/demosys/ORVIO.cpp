#include "ORVIO.h"

#include "Binary.h"
#include "Log.h"
#include "ResourceArchive.h"
#include "ResourceFile.h"
#include "ImageFile.h"
#include "Texture.h"
#include "Video.h"
#include "Window.h"

#include <GL/glew.h>

#include <filesystem>

#include <memory>

using ORVDemosys::Log;

namespace {
int resourceMode = ORVIO::ModeFiles;
bool verbose = false;
} // namespace

void ORVIO::init(int mode, const std::string& archivePath)
{
    resourceMode = mode;
    // Loading goes on either way (every file will then be missing), but the reason is
    // said once here rather than left to the first file that cannot be found.
    if (mode == ModeArchive && !ResourceArchive::open(archivePath.c_str()).ok())
        Log::error() << "Cannot open the resource archive '" << archivePath << "'" << std::endl;
    verbose = false;
}

void ORVIO::release()
{
    if (resourceMode == ModeArchive)
        ResourceArchive::close();
}

int ORVIO::getMode() { return resourceMode; }
bool ORVIO::isVerbose() { return verbose; }
void ORVIO::setVerbose(bool v) { verbose = v; }

ResourceFile* ORVIO::load(const std::string& path, int mode)
{
    if (mode == ModeFiles)
        return new ResourceFile(path, ResourceFile::Read);
    if (mode == ModeArchive) {
        ResourceFile* file = new ResourceFile(path);
        Status read = file->readFromArchive();
        // A missing entry is reported by the loader that wanted it; anything else (a
        // refused link, an entry the archive library cannot decode) is said here, with
        // the archive's reason, since no loader can tell it.
        if (!read && ResourceArchive::contains(path.c_str()))
            Log::error() << read.reason() << std::endl;
        return file;
    }
    return nullptr;
}

ResourceFile* ORVIO::loadTextFile(const std::string& path) { return loadTextFile(path, resourceMode); }

ResourceFile* ORVIO::loadTextFile(const std::string& path, int mode)
{
    if (verbose)
        Log::info() << "Loading text file : " << path << std::endl;
    return load(path, mode);
}

ResourceFile* ORVIO::loadFile(const std::string& path) { return loadFile(path, resourceMode); }

ResourceFile* ORVIO::loadFile(const std::string& path, int mode)
{
    if (verbose)
        Log::info() << "Loading file : " << path << std::endl;
    return load(path, mode);
}

Status ORVIO::loadTexture(const std::string& path, unsigned int target, bool mipmapped,
                          std::unique_ptr<Texture>& texture)
{
    return loadTexture(path, target, mipmapped, resourceMode, texture);
}

Status ORVIO::loadTexture(const std::string& path, unsigned int target, bool mipmapped, int mode,
                          std::unique_ptr<Texture>& result)
{
    result.reset();
    auto refuse = [&](const std::string& why) { return Status::failure("Image '" + path + "': " + why); };
    if (verbose)
        Log::info() << "Loading texture : " << path << std::endl;
    if (mode != ModeFiles && mode != ModeArchive)
        return refuse("unknown resource mode " + std::to_string(mode));
    if (target != GL_TEXTURE_1D && target != GL_TEXTURE_2D && target != GL_TEXTURE_3D) {
        Log::error() << "Unsupported texture target " << target << " for " << path << std::endl;
        return refuse("unsupported texture target " + std::to_string(target));
    }

    int64_t fileSize = 0;
    std::unique_ptr<ImageFile> image;
    Status loaded;
    if (mode == ModeFiles) {
        image.reset(new ImageFile());
        loaded = image->loadFromFile(path);
        std::error_code error;
        auto bytes = std::filesystem::file_size(path, error);
        fileSize = error ? 0 : static_cast<int64_t>(bytes);
    } else {
        image.reset(new ImageFile());
        image->setName(path);
        loaded = image->loadFromArchive();
        fileSize = std::max(ResourceArchive::entrySize(path.c_str()), 0);
    }
    if (!loaded)
        return refuse(loaded.reason());

    int width = image->getWidth();
    int height = image->getHeight();
    int depth = 0;
    if (target == GL_TEXTURE_1D) {
        width = std::max(width, height);
        height = 1;
    } else if (target == GL_TEXTURE_3D) {
        depth = height / width;
        if (depth < 1) {
            const std::string size = std::to_string(image->getWidth()) + "x" + std::to_string(image->getHeight());
            Log::warning() << "Texture " << path << " is no strip of square slices (" << size << ")" << std::endl;
            return refuse("no strip of square slices (" + size + ")");
        }
        height = width;
    }
    GLenum format = image->getBytesPerPixel() == 4 ? GL_RGBA : GL_RGB;

    GLuint name = 0;
    glGenTextures(1, &name);
    // The texture keeps the GL object's own size, so a later upload() replaces it whole.
    Texture* texture = new Texture(path, name);
    texture->setTarget(target);
    texture->setSize(width, height);
    texture->setDepth(depth);
    texture->setBitsPerPixel(image->getBitsPerPixel());
    texture->setBytesPerPixel(image->getBytesPerPixel());
    texture->setInternalFormat(static_cast<GLint>(format));
    texture->setFormat(format);
    texture->setType(GL_UNSIGNED_BYTE);
    texture->setFileSize(fileSize);
    // Wrap modes stay at GL's default; the record says so.
    texture->recordWrap(GL_REPEAT, GL_REPEAT, GL_REPEAT);
    if (mipmapped)
        texture->setFilter(GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR);
    else
        texture->setFilter(GL_LINEAR, GL_LINEAR);
    texture->upload(image->getPixels());
    texture->setMipmapped(mipmapped);

    checkGLError("ORVIO::loadTexture " + path);
    result.reset(texture);
    return Status::success();
}

Binary* ORVIO::loadBinaryFile(const std::string& path) { return loadBinaryFile(path, resourceMode); }

Binary* ORVIO::loadBinaryFile(const std::string& path, int mode)
{
    if (verbose)
        Log::info() << "Loading binary file : " << path << std::endl;
    std::unique_ptr<ResourceFile> file(load(path, mode));
    if (!file || !file->isLoaded())
        return nullptr;
    return new Binary(file->copyBytes());
}

Video* ORVIO::loadVideoFile(const std::string& path) { return loadVideoFile(path, resourceMode); }

Video* ORVIO::loadVideoFile(const std::string& path, int mode)
{
    if (verbose)
        Log::info() << "Loading video file : " << path << std::endl;
    std::unique_ptr<Video> video;
    if (mode == ModeFiles) {
        video.reset(new Video(path));
    } else if (mode == ModeArchive) {
        std::unique_ptr<ResourceFile> file(load(path, mode));
        if (!file->isLoaded())
            return nullptr;
        std::vector<uint8_t> bytes = file->copyBytes();
        // An empty entry is a bad movie, not a missing pointer.
        bytes.reserve(1);
        video.reset(new Video(bytes.data(), bytes.size()));
    }
    // Only a video that can be played is handed out, in either mode.
    return video && video->isOpen() ? video.release() : nullptr;
}
