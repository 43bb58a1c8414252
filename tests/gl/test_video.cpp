// Videos on the texture: what reaches GL, from files, memory and the archive.
#include "LogCapture.h"
#include "ORVIO.h"
#include "TempDir.h"
#include "TestVideo.h"
#include "Texture.h"
#include "Video.h"
#include "VideoStream.h"
#include "StatusCheck.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <memory>


namespace {

// Frames 0..29, key frames every 8, 64x64, time base 1/30.
struct VideoFile {
    TempDir dir;
    std::string path;
    std::string error;
    std::vector<uint8_t> bytes;
};

const VideoFile& video()
{
    static VideoFile* v = [] {
        VideoFile* made = new VideoFile;
        TestVideoOptions o;
        o.timebase = "1/30";
        made->path = made->dir.path() + "/clip.ivf";
        if (encodeTestVideo(o, made->path, made->error))
            made->bytes = readBytes(made->path);
        return made;
    }();
    return *v;
}

#define REQUIRE_VIDEO() ASSERT_EQ(video().error, "")

std::vector<uint8_t> textureBytes(const Texture* texture)
{
    std::vector<uint8_t> data(size_t(texture->getWidth()) * texture->getHeight() * 3, 0);
    texture->bind();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, data.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    texture->unbind();
    return data;
}

int shownFrame(const Texture* texture) { return frameCode(textureBytes(texture).data(), 64, 64); }

// Every picture decoded in order, without GL.
const std::vector<std::vector<uint8_t>>& sequentialPictures()
{
    static std::vector<std::vector<uint8_t>> pictures = [] {
        IvfFile file(video().bytes);
        EXPECT_TRUE(succeeds(file.parse("clip")));
        VideoStream s(std::move(file));
        EXPECT_TRUE(succeeds(s.init()));
        std::vector<std::vector<uint8_t>> all;
        for (int k = 0; k < s.getFrameCount(); ++k) {
            EXPECT_TRUE(succeeds(s.seek(k)));
            all.push_back(s.pixels());
        }
        return all;
    }();
    return pictures;
}

} // namespace

TEST(Video, OpensWithItsHeaderAndAnRgbTexture)
{
    REQUIRE_VIDEO();
    captureLog();
    Video v(video().path);
    std::string out = capturedLog();
    ASSERT_TRUE(v.isOpen()) << out;
    EXPECT_EQ(v.getWidth(), 64);
    EXPECT_EQ(v.getHeight(), 64);
    EXPECT_EQ(v.getFrameCount(), 30);
    EXPECT_EQ(v.getRate(), 30u);
    EXPECT_EQ(v.getScale(), 1u);
    EXPECT_FALSE(v.isTimestampMode());
    EXPECT_EQ(v.getCurrentFrame(), -1);
    // One line per header byte; non-printable bytes show as '.'.
    const std::string start = "0 : 68 D\n1 : 75 K\n2 : 73 I\n3 : 70 F\n4 : 0 .\n5 : 0 .\n6 : 32  \n7 : 0 .\n";
    EXPECT_EQ(out.substr(0, start.size()), start);
    EXPECT_NE(out.find("\n12 : 64 @\n13 : 0 .\n"), std::string::npos);
    EXPECT_NE(out.find("\n31 : 0 .\n"), std::string::npos);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 32);

    Texture* t = v.getTexture();
    ASSERT_NE(t, nullptr);
    t->bind();
    GLint w = 0, h = 0, format = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    t->unbind();
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 64);
    EXPECT_EQ(format, GL_RGB);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(Video, ShowFrameUploadsTheRequestedPicture)
{
    REQUIRE_VIDEO();
    captureLog();
    Video v(video().path);
    capturedLog();
    ASSERT_TRUE(v.isOpen());
    const auto& reference = sequentialPictures();
    ASSERT_EQ(reference.size(), 30u);
    int uploads = 0;
    // Steps, jumps forward and back, past the end, a negative index.
    for (int n : {0, 1, 2, 19, 6, 7, 25, 24, 40, 3, -4}) {
        int expected = n < 0 ? 0 : std::min(n, 29);
        Texture* t = v.showFrame(n);
        ASSERT_EQ(t, v.getTexture());
        EXPECT_EQ(v.getCurrentFrame(), expected);
        EXPECT_EQ(shownFrame(t), expected) << "showFrame(" << n << ")";
        EXPECT_EQ(textureBytes(t), reference[expected]) << "showFrame(" << n << ")";
        EXPECT_EQ(v.getUploadCount(), ++uploads);
        // The same frame again uploads nothing.
        v.showFrame(n);
        EXPECT_EQ(v.getUploadCount(), uploads);
    }
}

TEST(Video, ShowTimeUsesTheTimeBase)
{
    REQUIRE_VIDEO();
    // 1001/30000 in timestamp mode, and 1/30 in frame-rate mode.
    std::vector<uint64_t> counting;
    for (int i = 0; i < 30; ++i)
        counting.push_back(i);
    std::vector<uint8_t> ntsc = retimeIvf(video().bytes, 30000, 1001, 0, counting);
    captureLog();
    Video stamped(ntsc.data(), ntsc.size());
    Video rated(video().path);
    capturedLog();
    ASSERT_TRUE(stamped.isOpen() && rated.isOpen());
    EXPECT_TRUE(stamped.isTimestampMode());
    for (int k : {0, 5, 17, 29}) {
        EXPECT_EQ(shownFrame(stamped.showTime(k * 1001.0f / 30000.0f)), k);
        EXPECT_EQ(shownFrame(rated.showTime(k / 30.0f)), k);
    }
    EXPECT_EQ(shownFrame(stamped.showTime(10.0f * 1001.0f / 30000.0f - 0.001f)), 9);
    EXPECT_EQ(shownFrame(stamped.showTime(100.0f)), 29);
    EXPECT_EQ(shownFrame(rated.showTime(-1.0f)), 0);
}

TEST(Video, MemoryPathAndArchiveGiveTheSameVideo)
{
    REQUIRE_VIDEO();
    TempDir dir(true);
    dir.write("tree/resources/video/clip.ivf", std::string(video().bytes.begin(), video().bytes.end()));
    dir.write("tree/resources/video/empty.ivf", std::string());
    ASSERT_EQ(runCommand("cd tree && 7z a -ms=off ../resources.7z resources > /dev/null"), 0);

    captureLog();
    std::unique_ptr<Video> fromPath(new Video(video().path));
    std::string pathLog = capturedLog();
    captureLog();
    std::unique_ptr<Video> fromMemory(new Video(video().bytes.data(), video().bytes.size()));
    std::string memoryLog = capturedLog();
    EXPECT_EQ(pathLog, memoryLog);

    ORVIO::init(ORVIO::ModeArchive, "resources.7z");
    ORVIO::setVerbose(true);
    captureLog();
    std::unique_ptr<Video> fromArchive(ORVIO::loadVideoFile("resources/video/clip.ivf"));
    Video* missing = ORVIO::loadVideoFile("resources/video/missing.ivf");
    Video* empty = ORVIO::loadVideoFile("resources/video/empty.ivf");
    std::string archiveLog = capturedLog();
    ORVIO::release();
    ORVIO::init(ORVIO::ModeFiles);
    EXPECT_EQ(missing, nullptr);
    EXPECT_EQ(empty, nullptr);
    EXPECT_EQ(archiveLog, "Loading video file : resources/video/clip.ivf\n" + memoryLog +
                              "Loading video file : resources/video/missing.ivf\n"
                              "Loading video file : resources/video/empty.ivf\n"
                              "Video: movie is not in IVF format\n");

    captureLog();
    std::unique_ptr<Video> fromFiles(ORVIO::loadVideoFile("tree/resources/video/clip.ivf"));
    Video* absent = ORVIO::loadVideoFile("resources/video/missing.ivf");
    std::string filesLog = capturedLog();
    EXPECT_EQ(absent, nullptr);
    EXPECT_NE(filesLog.find("Video: failed to open 'resources/video/missing.ivf'\n"), std::string::npos);

    ASSERT_TRUE(fromPath->isOpen() && fromMemory->isOpen() && fromArchive && fromFiles);
    for (int n : {4, 21, 0, 29}) {
        std::vector<uint8_t> expected = textureBytes(fromPath->showFrame(n));
        EXPECT_EQ(textureBytes(fromMemory->showFrame(n)), expected);
        EXPECT_EQ(textureBytes(fromArchive->showFrame(n)), expected);
        EXPECT_EQ(textureBytes(fromFiles->showFrame(n)), expected);
    }
}

TEST(Video, BadAndShortFilesSayWhy)
{
    REQUIRE_VIDEO();
    TempDir dir;
    std::string empty = dir.write("empty.ivf", std::string());
    std::string riff = dir.write("riff.ivf", std::string("RIFF....WAVE"));
    captureLog();
    EXPECT_FALSE(Video(dir.path() + "/none.ivf").isOpen());
    EXPECT_FALSE(Video(empty).isOpen());
    EXPECT_FALSE(Video(riff).isOpen());
    EXPECT_FALSE(Video(nullptr, 10).isOpen());
    EXPECT_EQ(capturedLog(), "Video: failed to open '" + dir.path() + "/none.ivf'\n" +
                                       "Video: failed to read '" + empty + "'\n" + "Video: '" + riff +
                                       "' is not in IVF format\n" + "Video: pointer to movie is NULL\n");

    // Cut short at many lengths: open with the frames that are whole, a message when a
    // frame is cut, and every frame asked for shows one of them.
    std::vector<size_t> offsets = ivfFrameOffsets(video().bytes);
    for (size_t length = 33; length < video().bytes.size(); length += 97) {
        std::string path = dir.write("cut.ivf", std::string(video().bytes.begin(), video().bytes.begin() + length));
        captureLog();
        Video v(path);
        for (int n : {0, 5, 30, 12})
            v.showFrame(n);
        std::string out = capturedLog();
        ASSERT_TRUE(v.isOpen()) << length;
        int whole = 0;
        while (whole < 30 && offsets[whole] + 12 <= length &&
               (whole + 1 < 30 ? offsets[whole + 1] : video().bytes.size()) <= length)
            ++whole;
        EXPECT_EQ(v.getFrameCount(), whole) << length;
        bool cut = length != offsets[whole];
        EXPECT_EQ(out.find("Video: '" + path + "' is cut short: frame " + std::to_string(whole)) != std::string::npos,
                  cut)
            << out;
        if (whole > 0) {
            EXPECT_EQ(v.getCurrentFrame(), std::min(12, whole - 1));
            EXPECT_EQ(shownFrame(v.getTexture()), std::min(12, whole - 1));
        }
    }
}
