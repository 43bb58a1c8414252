#include "LogCapture.h"
#include "ORVIO.h"
#include "PngWriter.h"
#include "TempDir.h"
#include "Texture.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>


namespace {

GLint levelParameter(GLenum target, GLint level, GLenum parameter)
{
    GLint value = -1;
    glGetTexLevelParameteriv(target, level, parameter, &value);
    return value;
}

GLint parameter(const Texture& texture, GLenum name)
{
    texture.bind();
    GLint value = -1;
    glGetTexParameteriv(texture.getTarget(), name, &value);
    texture.unbind();
    return value;
}

// Level 0 of a texture as tightly packed bytes.
std::vector<uint8_t> contents(const Texture& texture, GLenum format, size_t bytes)
{
    std::vector<uint8_t> data(bytes, 0);
    texture.bind();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(texture.getTarget(), 0, format, GL_UNSIGNED_BYTE, data.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    texture.unbind();
    return data;
}

// Pixels top row first, each channel a function of its position, so row order and
// channel order both show in a read-back.
std::vector<uint8_t> pattern(int width, int height, int channels)
{
    std::vector<uint8_t> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c)
                pixels.push_back(static_cast<uint8_t>((x * 7 + y * 13 + c * 50) & 0xff));
    return pixels;
}

// The same pixels bottom row first, as GL stores them.
std::vector<uint8_t> flipped(const std::vector<uint8_t>& pixels, int width, int height, int channels)
{
    std::vector<uint8_t> out;
    size_t row = size_t(width) * channels;
    for (int y = height - 1; y >= 0; --y)
        out.insert(out.end(), pixels.begin() + y * row, pixels.begin() + (y + 1) * row);
    return out;
}

// The texture ORVIO makes of path, or null with the reason in why (when given).
std::unique_ptr<Texture> loadTexture(const std::string& path, GLenum target, bool mipmapped,
                                     std::string* why = nullptr, int mode = ORVIO::getMode())
{
    std::unique_ptr<Texture> texture;
    Status loaded = ORVIO::loadTexture(path, target, mipmapped, mode, texture);
    if (why)
        *why = loaded.reason();
    return texture;
}

} // namespace

TEST(Texture, ConstructorsUploadWithDefaults)
{
    // Odd-width RGB rows: read as tightly packed, not padded to 4 bytes.
    std::vector<uint8_t> rgb = pattern(3, 2, 3);
    Texture filled(3, 2, GL_RGB8, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    filled.bind();
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH), 3);
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT), 2);
    EXPECT_EQ(contents(filled, GL_RGB, rgb.size()), rgb);
    EXPECT_EQ(parameter(filled, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(parameter(filled, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(parameter(filled, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(parameter(filled, GL_TEXTURE_WRAP_R), GL_CLAMP_TO_EDGE);

    Texture empty(64, 16, GL_RGBA16F, GL_RGBA, GL_FLOAT);
    empty.bind();
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH), 64);
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA16F);
    EXPECT_EQ(empty.byteSize(), 64 * 16 * 4);

    Texture volume(GL_TEXTURE_3D, 0, GL_RGBA8, 4, 4, 3, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    volume.bind();
    EXPECT_EQ(levelParameter(GL_TEXTURE_3D, 0, GL_TEXTURE_DEPTH), 3);
    volume.unbind();

    // upload() replaces the whole level at the stored size.
    std::vector<uint8_t> other = pattern(3, 2, 3);
    for (uint8_t& b : other)
        b = static_cast<uint8_t>(255 - b);
    filled.upload(other.data());
    EXPECT_EQ(contents(filled, GL_RGB, other.size()), other);
    EXPECT_FALSE(filled.isUploading());
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(Texture, SettersReachGL)
{
    Texture texture(8, 8, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE);
    texture.setFilter(GL_NEAREST);
    EXPECT_EQ(parameter(texture, GL_TEXTURE_MIN_FILTER), GL_NEAREST);
    EXPECT_EQ(parameter(texture, GL_TEXTURE_MAG_FILTER), GL_NEAREST);
    texture.setFilter(GL_NEAREST_MIPMAP_LINEAR, GL_LINEAR);
    EXPECT_EQ(parameter(texture, GL_TEXTURE_MIN_FILTER), GL_NEAREST_MIPMAP_LINEAR);
    EXPECT_EQ(texture.getMagFilter(), GL_LINEAR);

    texture.setWrap(GL_REPEAT);
    texture.setWrap(GL_MIRRORED_REPEAT, GL_CLAMP_TO_EDGE);
    EXPECT_EQ(parameter(texture, GL_TEXTURE_WRAP_S), GL_MIRRORED_REPEAT);
    EXPECT_EQ(parameter(texture, GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(parameter(texture, GL_TEXTURE_WRAP_R), GL_REPEAT) << "the two-value form keeps r";
    texture.setWrap(GL_CLAMP_TO_EDGE, GL_REPEAT, GL_MIRRORED_REPEAT);
    EXPECT_EQ(parameter(texture, GL_TEXTURE_WRAP_R), GL_MIRRORED_REPEAT);
    EXPECT_EQ(texture.getWrapT(), GL_REPEAT);

    // Stored only: a core context has no texture environment to send it to.
    texture.setEnvMode(GL_MODULATE);
    EXPECT_EQ(texture.getEnvMode(), GL_MODULATE);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(Texture, MipmapChainOnlyWhenAsked)
{
    Texture plain(4, 4, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE);
    plain.setMipmapped(false);
    plain.bind();
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH), 0);
    EXPECT_EQ(plain.memorySize(), 64);

    Texture chain(4, 4, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE);
    chain.setMipmapped(true);
    chain.bind();
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH), 2);
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 2, GL_TEXTURE_WIDTH), 1);
    chain.unbind();
    EXPECT_TRUE(chain.isMipmapped());
    EXPECT_EQ(chain.memorySize(), 64 + 16 + 4);
    EXPECT_EQ(chain.byteSize(), 64);
}

TEST(Texture, LoadsImagesForEachTarget)
{
    TempDir dir;
    ORVIO::init(ORVIO::ModeFiles);

    // A strip of 16 square slices becomes a 256x256x16 volume.
    std::vector<uint8_t> strip = pattern(256, 4096, 4);
    std::string stripPng = encodePng(256, 4096, 4, strip);
    std::unique_ptr<Texture> volume(loadTexture(dir.write("strip.png", stripPng), GL_TEXTURE_3D, false));
    ASSERT_TRUE(volume);
    EXPECT_EQ(volume->getTarget(), GLenum(GL_TEXTURE_3D));
    volume->bind();
    EXPECT_EQ(levelParameter(GL_TEXTURE_3D, 0, GL_TEXTURE_WIDTH), 256);
    EXPECT_EQ(levelParameter(GL_TEXTURE_3D, 0, GL_TEXTURE_HEIGHT), 256);
    EXPECT_EQ(levelParameter(GL_TEXTURE_3D, 0, GL_TEXTURE_DEPTH), 16);
    EXPECT_EQ(volume->getDepth(), 16);
    EXPECT_EQ(volume->getHeight(), 256) << "the record keeps the GL object's size";
    EXPECT_EQ(contents(*volume, GL_RGBA, strip.size()), flipped(strip, 256, 4096, 4));
    EXPECT_EQ(volume->fileSize(), int64_t(stripPng.size()));

    // A row and a column both give a 64-texel line.
    for (auto size : {std::pair<int, int>(64, 1), std::pair<int, int>(1, 64)}) {
        std::vector<uint8_t> line = pattern(size.first, size.second, 3);
        std::string path = dir.write("line.png", encodePng(size.first, size.second, 3, line));
        std::unique_ptr<Texture> texture(loadTexture(path, GL_TEXTURE_1D, false));
        ASSERT_TRUE(texture);
        texture->bind();
        EXPECT_EQ(levelParameter(GL_TEXTURE_1D, 0, GL_TEXTURE_WIDTH), 64);
        EXPECT_EQ(contents(*texture, GL_RGB, line.size()), flipped(line, size.first, size.second, 3));
    }

    // RGB (odd width) and RGBA images arrive bottom row first, channels in order.
    std::vector<uint8_t> rgb = pattern(5, 3, 3);
    std::unique_ptr<Texture> rgbTexture(
        loadTexture(dir.write("rgb.png", encodePng(5, 3, 3, rgb)), GL_TEXTURE_2D, false));
    ASSERT_TRUE(rgbTexture);
    EXPECT_EQ(rgbTexture->getBitsPerPixel(), 24);
    EXPECT_EQ(rgbTexture->getInternalFormat(), GL_RGB);
    EXPECT_EQ(contents(*rgbTexture, GL_RGB, rgb.size()), flipped(rgb, 5, 3, 3));
    EXPECT_EQ(parameter(*rgbTexture, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(parameter(*rgbTexture, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    rgbTexture->bind();
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH), 0) << "no mipmap levels";
    // The loader keeps GL's default wraps, and the record says so.
    EXPECT_EQ(parameter(*rgbTexture, GL_TEXTURE_WRAP_S), rgbTexture->getWrapS());

    std::vector<uint8_t> rgba = pattern(8, 4, 4);
    std::unique_ptr<Texture> mipmapped(
        loadTexture(dir.write("rgba.png", encodePng(8, 4, 4, rgba)), GL_TEXTURE_2D, true));
    ASSERT_TRUE(mipmapped);
    EXPECT_EQ(contents(*mipmapped, GL_RGBA, rgba.size()), flipped(rgba, 8, 4, 4));
    EXPECT_EQ(parameter(*mipmapped, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    mipmapped->bind();
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH), 4);
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 3, GL_TEXTURE_WIDTH), 1);
    mipmapped->unbind();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(Texture, LoadFailuresGiveNull)
{
    TempDir dir;
    ORVIO::init(ORVIO::ModeFiles);
    std::string png = encodePng(4, 4, 4, pattern(4, 4, 4));
    // Each refusal says which file and why in one line.
    std::string why;
    EXPECT_EQ(loadTexture(dir.path() + "/missing.png", GL_TEXTURE_2D, false, &why), nullptr);
    EXPECT_EQ(why, "Image '" + dir.path() + "/missing.png': not found");
    const std::string garbage = dir.write("garbage.png", std::string(300, 'x'));
    EXPECT_EQ(loadTexture(garbage, GL_TEXTURE_2D, false, &why), nullptr);
    EXPECT_EQ(why, "Image '" + garbage + "': unsupported image type");
    const std::string cut = dir.write("cut.png", png.substr(0, png.size() / 2));
    EXPECT_EQ(loadTexture(cut, GL_TEXTURE_2D, false, &why), nullptr);
    EXPECT_EQ(why, "Image '" + cut + "': damaged");
    std::string good = dir.write("good.png", png);
    EXPECT_EQ(loadTexture(good, GL_TEXTURE_2D, false, nullptr, 7), nullptr) << "unknown resource mode";
    captureLog();
    EXPECT_EQ(loadTexture(good, GL_TEXTURE_CUBE_MAP, false), nullptr);
    // Wider than tall: no whole slice for a volume.
    EXPECT_EQ(loadTexture(dir.write("wide.png", encodePng(8, 4, 3, pattern(8, 4, 3))), GL_TEXTURE_3D, false),
              nullptr);
    capturedLog();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(Texture, LoadsFromTheArchive)
{
    TempDir dir;
    std::vector<uint8_t> rgba = pattern(4, 2, 4);
    std::string png = encodePng(4, 2, 4, rgba);
    dir.write("tree/resources/graphics/a.png", png);
    ASSERT_EQ(runCommand("cd '" + dir.path() + "/tree' && 7z a -ms=off '" + dir.path() +
                         "/res.7z' resources > /dev/null"),
              0);
    ORVIO::init(ORVIO::ModeArchive, dir.path() + "/res.7z");
    ORVIO::setVerbose(true);
    captureLog();
    std::unique_ptr<Texture> texture(loadTexture("resources/graphics/a.png", GL_TEXTURE_2D, false));
    EXPECT_EQ(loadTexture("resources/graphics/none.png", GL_TEXTURE_2D, false), nullptr);
    EXPECT_EQ(capturedLog(), "Loading texture : resources/graphics/a.png\n"
                                   "Loading texture : resources/graphics/none.png\n");
    ORVIO::release();
    ORVIO::init(ORVIO::ModeFiles);
    ASSERT_TRUE(texture);
    EXPECT_EQ(contents(*texture, GL_RGBA, rgba.size()), flipped(rgba, 4, 2, 4));
    EXPECT_EQ(texture->fileSize(), int64_t(png.size()));
}

TEST(Texture, Description)
{
    TempDir dir;
    ORVIO::init(ORVIO::ModeFiles);
    std::string path = dir.write("d.png", encodePng(4, 2, 4, pattern(4, 2, 4)));
    std::unique_ptr<Texture> plain(loadTexture(path, GL_TEXTURE_2D, false));
    ASSERT_TRUE(plain);
    std::string id = std::to_string(plain->getGlName());
    EXPECT_EQ(plain->describe(),
              "Texture {file='" + path + "',id=" + id + "',size='4,2,0',bpp='32'dimtype=GL_TEXTURE_2D }\n");
    plain->setMipmapped(true);
    EXPECT_EQ(plain->describe(),
              "Texture {file='" + path + "',id=" + id + "',size='4,2,0',bpp='32' mipmapped dimtype=GL_TEXTURE_2D }\n");
    Texture cube(GL_TEXTURE_CUBE_MAP, 0, GL_RGBA8, 1, 1, 0, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    EXPECT_EQ(cube.describe().substr(cube.describe().size() - 10), "dimtype=}\n");
}
