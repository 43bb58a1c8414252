// The IVF reader and the VP8 stream on files vpxenc makes at test time.
#include "DataVideoPool.h"
#include "IvfFile.h"
#include "LogCapture.h"
#include "TempDir.h"
#include "TestVideo.h"
#include "VideoStream.h"
#include "StatusCheck.h"

#include <gtest/gtest.h>
#include <vpx/vp8dx.h>
#include <vpx/vpx_decoder.h>

#include <cmath>
#include <memory>

namespace {

struct Videos {
    TempDir dir;
    std::string error;
    std::vector<uint8_t> millis; // vpxenc's default time base, 1/1000: timestamps 0, 33, 66, 100...
    std::vector<uint8_t> thirty; // time base 1/30: timestamps 0, 1, 2...
    std::vector<uint8_t> ntsc;   // time base 1001/30000: timestamps 0, 1, 2...
    std::string oddPath;         // 67x45, for the conversion
};

const Videos& videos()
{
    static Videos* v = [] {
        Videos* made = new Videos;
        TestVideoOptions o;
        auto make = [&](const std::string& name, std::vector<uint8_t>* bytes) {
            std::string path = made->dir.path() + "/" + name;
            if (made->error.empty() && encodeTestVideo(o, path, made->error) && bytes)
                *bytes = readBytes(path);
            return path;
        };
        make("millis.ivf", &made->millis);
        o.timebase = "1/30";
        make("thirty.ivf", &made->thirty);
        o.fps = "30000/1001";
        o.timebase = "1001/30000";
        make("ntsc.ivf", &made->ntsc);
        o = TestVideoOptions();
        o.width = 67;
        o.height = 45;
        o.frames = 12;
        made->oddPath = make("odd.ivf", nullptr);
        return made;
    }();
    return *v;
}

#define REQUIRE_VIDEOS() ASSERT_EQ(videos().error, "")

// The file parsed; why it was refused (empty when it was not) in why, when given.
IvfFile parsed(std::vector<uint8_t> bytes, const std::string& label = "'test.ivf'", std::string* why = nullptr)
{
    IvfFile file(std::move(bytes));
    Status parse = file.parse(label);
    if (why)
        *why = parse.reason();
    return file;
}

std::string refusal(std::vector<uint8_t> bytes, const std::string& label = "'test.ivf'")
{
    std::string why;
    parsed(std::move(bytes), label, &why);
    return why;
}

std::unique_ptr<VideoStream> stream(std::vector<uint8_t> bytes)
{
    IvfFile file(std::move(bytes));
    EXPECT_TRUE(succeeds(file.parse("'test.ivf'")));
    std::unique_ptr<VideoStream> s(new VideoStream(std::move(file)));
    EXPECT_TRUE(succeeds(s->init()));
    return s;
}

std::vector<uint64_t> counting(int n, uint64_t step = 1)
{
    std::vector<uint64_t> t;
    for (int i = 0; i < n; ++i)
        t.push_back(i * step);
    return t;
}

} // namespace

TEST(IvfFile, HeaderAndIndexOfAnEncodedFile)
{
    REQUIRE_VIDEOS();
    std::string why;
    IvfFile file = parsed(videos().thirty, "'test.ivf'", &why);
    ASSERT_EQ(why, "");
    EXPECT_EQ(file.getVersion(), 0);
    EXPECT_EQ(file.getHeaderSize(), 32);
    EXPECT_EQ(file.getFourcc(), "VP80");
    EXPECT_EQ(file.getWidth(), 64);
    EXPECT_EQ(file.getHeight(), 64);
    EXPECT_EQ(file.getRate(), 30u);
    EXPECT_EQ(file.getScale(), 1u);
    EXPECT_EQ(file.getHeaderFrameCount(), 30u);
    EXPECT_TRUE(file.isComplete());
    EXPECT_TRUE(file.getWarnings().empty());
    EXPECT_TRUE(file.timestampsIncrease());

    std::vector<size_t> offsets = ivfFrameOffsets(videos().thirty);
    ASSERT_EQ(file.frameCount(), 30);
    ASSERT_EQ(offsets.size(), 30u);
    for (int i = 0; i < 30; ++i) {
        const IvfFrame& f = file.frames()[i];
        EXPECT_EQ(f.offset, offsets[i]);
        EXPECT_EQ(f.timestamp, uint64_t(i));
        // The decoder's own view of each frame is the reference for the key flags (it
        // reports only key frames as a stream it can start).
        vpx_codec_stream_info_t info{};
        info.sz = sizeof info;
        bool key = vpx_codec_peek_stream_info(vpx_codec_vp8_dx(), file.frameData(i), f.size, &info) == VPX_CODEC_OK &&
                   info.is_kf;
        EXPECT_EQ(f.key, key) << "frame " << i;
    }
    EXPECT_EQ(file.keyFrameCount(), 4); // 0, 8, 16, 24
    EXPECT_EQ(file.keyFrameAtOrBefore(0), 0);
    EXPECT_EQ(file.keyFrameAtOrBefore(7), 0);
    EXPECT_EQ(file.keyFrameAtOrBefore(8), 8);
    EXPECT_EQ(file.keyFrameAtOrBefore(29), 24);
}

TEST(IvfFile, BadHeaderFieldsAreRefusedWithTheReason)
{
    REQUIRE_VIDEOS();
    const std::vector<uint8_t>& good = videos().thirty;
    auto edited = [&](size_t offset, uint32_t value, int bytes) {
        std::vector<uint8_t> v = good;
        if (bytes == 2)
            setIvf16(v, offset, static_cast<uint16_t>(value));
        else
            setIvf32(v, offset, value);
        return refusal(v);
    };
    EXPECT_EQ(refusal({'D', 'K', 'I'}), "'test.ivf' is not in IVF format");
    EXPECT_EQ(refusal(std::vector<uint8_t>(good.begin(), good.begin() + 20), "movie"),
              "movie is too short for an IVF header (20 bytes)");
    EXPECT_EQ(edited(4, 1, 2), "'test.ivf' has IVF version 1, expected 0");
    EXPECT_EQ(edited(6, 40, 2), "'test.ivf' has an IVF header of 40 bytes, expected 32");
    EXPECT_EQ(edited(8, 0x30395056, 4), "'test.ivf' holds 'VP90' frames, not VP8 ('VP80')");
    EXPECT_EQ(edited(12, 0, 2), "'test.ivf' has an invalid frame size 0x64 (1 to 16383 each)");
    EXPECT_EQ(edited(14, 20000, 2), "'test.ivf' has an invalid frame size 64x20000 (1 to 16383 each)");
    EXPECT_EQ(edited(16, 0, 4), "'test.ivf' has an invalid time base: rate 0, scale 1");
    EXPECT_EQ(edited(20, 0, 4), "'test.ivf' has an invalid time base: rate 30, scale 0");
    EXPECT_EQ(edited(12, 80, 2), "'test.ivf' says 80x64 but its first key frame is 64x64");
    EXPECT_EQ(parsed(good).frameCount(), 30);
}

TEST(IvfFile, IndexEndsAtTheEndOfTheFile)
{
    REQUIRE_VIDEOS();
    const std::vector<uint8_t>& good = videos().thirty;
    std::vector<size_t> offsets = ivfFrameOffsets(good);
    offsets.push_back(good.size());

    // Just the header: open, no frames; one byte more is an incomplete frame header.
    std::string why;
    IvfFile header = parsed(std::vector<uint8_t>(good.begin(), good.begin() + 32), "'test.ivf'", &why);
    EXPECT_TRUE(why.empty() && header.isComplete() && header.frameCount() == 0);
    IvfFile oneMore = parsed(std::vector<uint8_t>(good.begin(), good.begin() + 33));
    EXPECT_EQ(oneMore.frameCount(), 0);
    ASSERT_EQ(oneMore.getWarnings().size(), 1u);
    EXPECT_EQ(oneMore.getWarnings()[0],
              "'test.ivf' is cut short: frame 0 has an incomplete header at offset 32 (1 of 12 bytes); using 0 frames");

    // A cut inside frame 3's data.
    size_t cut = offsets[3] + 12 + 5;
    IvfFile inside = parsed(std::vector<uint8_t>(good.begin(), good.begin() + cut));
    ASSERT_EQ(inside.frameCount(), 3);
    ASSERT_EQ(inside.getWarnings().size(), 1u);
    EXPECT_EQ(inside.getWarnings()[0], "'test.ivf' is cut short: frame 3 needs " +
                                           std::to_string(offsets[4] - offsets[3] - 12) + " bytes at offset " +
                                           std::to_string(offsets[3] + 12) + ", only 5 are left; using 3 frames");

    // Every length: the frames that fit whole, never one that runs past the end.
    for (size_t length = 32; length <= good.size(); ++length) {
        IvfFile file = parsed(std::vector<uint8_t>(good.begin(), good.begin() + length), "'test.ivf'", &why);
        ASSERT_EQ(why, "") << length;
        size_t whole = 0;
        while (offsets[whole + 1] <= length && whole + 1 < offsets.size())
            ++whole;
        ASSERT_EQ(file.frameCount(), static_cast<int>(whole)) << length;
        bool onBoundary = offsets[whole] == length;
        EXPECT_EQ(file.isComplete(), onBoundary) << length;
        EXPECT_EQ(file.getWarnings().empty(), onBoundary) << length;
    }

    // A size field that claims far more than the file holds.
    std::vector<uint8_t> huge = good;
    setIvf32(huge, offsets[5], 0xffffffffu);
    IvfFile big = parsed(huge);
    EXPECT_EQ(big.frameCount(), 5);
    EXPECT_FALSE(big.isComplete());
}

TEST(VideoStream, StepsAndJumpsGiveTheSequentialPictures)
{
    REQUIRE_VIDEOS();
    auto sequential = stream(videos().thirty);
    std::vector<std::vector<uint8_t>> reference;
    for (int k = 0; k < 30; ++k) {
        ASSERT_TRUE(succeeds(sequential->seek(k)));
        ASSERT_EQ(sequential->getCurrentFrame(), k);
        ASSERT_EQ(frameCode(sequential->pixels().data(), 64, 64), k);
        reference.push_back(sequential->pixels());
    }
    EXPECT_EQ(sequential->getDecodeCount(), 30); // one decode per step

    auto jumping = stream(videos().thirty);
    int decodes = 0;
    for (int target : {13, 5, 29, 0, 22, 21, 9, 17, 16, 30, 2}) {
        int n = std::min(target, 29);
        ASSERT_TRUE(succeeds(jumping->seek(target))) << target;
        EXPECT_EQ(jumping->getCurrentFrame(), n);
        EXPECT_EQ(jumping->pixels(), reference[n]) << "jump to " << target;
        // From the key frame at or before the target, never further back.
        int from = jumping->file().keyFrameAtOrBefore(n);
        int previous = decodes;
        decodes = jumping->getDecodeCount();
        EXPECT_LE(decodes - previous, n - from + 1) << target;
    }
    // Negative indices show frame 0; past the end the last; the same frame costs nothing.
    EXPECT_TRUE(succeeds(jumping->seek(-7)));
    EXPECT_EQ(jumping->getCurrentFrame(), 0);
    EXPECT_EQ(jumping->pixels(), reference[0]);
    decodes = jumping->getDecodeCount();
    EXPECT_TRUE(succeeds(jumping->seek(0)));
    EXPECT_EQ(jumping->getDecodeCount(), decodes);
    EXPECT_TRUE(succeeds(jumping->seek(500)));
    EXPECT_EQ(jumping->getCurrentFrame(), 29);
    EXPECT_EQ(jumping->pixels(), reference[29]);
}

TEST(VideoStream, PicturesMatchTheReferenceDecoderAtAnOddSize)
{
    REQUIRE_VIDEOS();
    const std::string& path = videos().oddPath;
    ASSERT_EQ(runCommand("vpxdec --i420 -o '" + path + ".yuv' '" + path + "' > /dev/null 2>&1"), 0);
    std::vector<uint8_t> planes = readBytes(path + ".yuv");
    const int w = 67, h = 45, cw = 34, ch = 23, frameBytes = w * h + 2 * cw * ch;
    ASSERT_EQ(planes.size(), size_t(frameBytes) * 12);
    auto s = stream(readBytes(path));
    for (int k = 0; k < 12; ++k) {
        ASSERT_TRUE(succeeds(s->seek(k)));
        const uint8_t* y = planes.data() + size_t(k) * frameBytes;
        const uint8_t* u = y + w * h;
        const uint8_t* v = u + cw * ch;
        std::vector<uint8_t> expected;
        for (int row = h - 1; row >= 0; --row)
            for (int x = 0; x < w; ++x)
                expected.insert(expected.end(), {y[row * w + x], u[row / 2 * cw + x / 2], v[row / 2 * cw + x / 2]});
        ASSERT_EQ(s->pixels(), expected) << "frame " << k;
    }
}

TEST(VideoStream, TimesChooseFramesThroughTheTimeBase)
{
    REQUIRE_VIDEOS();
    // (file, ticks per frame): 1/30 and 1001/30000 count frames; 1/1000 counts ms.
    struct Case {
        const std::vector<uint8_t>* bytes;
        double secondsPerFrame;
    };
    for (const Case& c : {Case{&videos().thirty, 1.0 / 30}, Case{&videos().ntsc, 1001.0 / 30000},
                          Case{&videos().millis, 1.0 / 30}}) {
        for (uint32_t headerCount : {30u, 0u}) { // frame-rate mode, then timestamp mode
            std::vector<uint8_t> bytes = *c.bytes;
            setIvf32(bytes, 24, headerCount);
            auto s = stream(bytes);
            ASSERT_EQ(s->isTimestampMode(), headerCount == 0);
            const std::vector<IvfFrame>& frames = s->file().frames();
            double tick = double(s->file().getScale()) / s->file().getRate();
            for (int k = 0; k < 30; ++k) {
                float start = static_cast<float>(frames[k].timestamp * tick);
                EXPECT_EQ(s->frameAtTime(start), k) << headerCount << " at " << start;
                if (k > 0) {
                    EXPECT_EQ(s->frameAtTime(start - 0.002f), k - 1) << headerCount << " before " << start;
                }
                EXPECT_EQ(s->frameAtTime(static_cast<float>(k * c.secondsPerFrame + 0.01)), k);
            }
            // The last frame once its time is reached, and for any time after it.
            EXPECT_EQ(s->frameAtTime(static_cast<float>(frames[29].timestamp * tick)), 29);
            EXPECT_EQ(s->frameAtTime(1e9), 29);
            EXPECT_EQ(s->frameAtTime(-3.0), 0);
            EXPECT_EQ(s->frameAtTime(std::nan("")), 0);
        }
    }

    // Uneven timestamps in timestamp mode: the last frame at or before the time.
    std::vector<uint64_t> uneven = counting(30, 10);
    uneven[1] = 1;
    uneven[2] = 2;
    auto s = stream(retimeIvf(videos().thirty, 100, 1, 1, uneven));
    EXPECT_EQ(s->frameAtTime(0.005), 0);
    EXPECT_EQ(s->frameAtTime(0.015), 1);
    EXPECT_EQ(s->frameAtTime(0.1), 2);
    EXPECT_EQ(s->frameAtTime(0.3), 3);
    EXPECT_EQ(s->frameAtTime(2.9), 29);

    // Timestamps that do not increase: frame-rate mode counts one tick per frame.
    auto flat = stream(retimeIvf(videos().thirty, 30, 1, 30, std::vector<uint64_t>(30, 0)));
    EXPECT_EQ(flat->frameAtTime(0.5), 15);
    EXPECT_EQ(flat->frameAtTime(5.0), 29);

    // A single frame is shown in timestamp mode too.
    std::vector<uint8_t> one = videos().thirty;
    one.resize(ivfFrameOffsets(one)[1]);
    setIvf32(one, 24, 1);
    EXPECT_EQ(stream(one)->frameAtTime(3.0), 0);
    EXPECT_EQ(stream(std::vector<uint8_t>(one.begin(), one.begin() + 32))->frameAtTime(1.0), -1);
}

TEST(VideoStream, DamagedFramesFailWithoutHarm)
{
    REQUIRE_VIDEOS();
    const std::vector<uint8_t>& good = videos().thirty;
    std::vector<size_t> offsets = ivfFrameOffsets(good);

    // Frame 10's data overwritten: it fails once with the decoder's reason, then quietly,
    // and the frames it needs to stand on stay reachable.
    std::vector<uint8_t> bad = good;
    for (size_t i = offsets[10] + 12; i < offsets[11]; ++i)
        bad[i] = 0xff;
    auto s = stream(bad);
    ASSERT_TRUE(succeeds(s->seek(9)));
    std::vector<uint8_t> nine = s->pixels();
    Status twelve = s->seek(12);
    ASSERT_FALSE(twelve);
    EXPECT_EQ(twelve.reason().rfind("failed to decode frame 10\n", 0), 0u) << twelve.reason();
    EXPECT_EQ(s->getCurrentFrame(), 9);
    EXPECT_EQ(s->pixels(), nine);
    int decodes = s->getDecodeCount();
    EXPECT_EQ(s->seek(11).reason(), twelve.reason());
    EXPECT_EQ(s->getDecodeCount(), decodes);
    EXPECT_TRUE(succeeds(s->seek(16))); // the next key frame
    EXPECT_EQ(frameCode(s->pixels().data(), 64, 64), 16);

    // Cut at many lengths and with bytes flipped: every frame asked for, nothing read
    // out of bounds (the sanitizer build checks), the picture always whole.
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u; };
    for (int variant = 0; variant < 160; ++variant) {
        std::vector<uint8_t> damaged = good;
        if (variant < 60) {
            damaged.resize(32 + (good.size() - 32) * variant / 60);
        } else {
            for (int flips = 1 + variant % 4; flips > 0; --flips)
                damaged[next() % damaged.size()] ^= static_cast<uint8_t>(1 + next() % 255);
        }
        IvfFile file(damaged);
        if (!file.parse("'damaged.ivf'"))
            continue;
        VideoStream v(std::move(file));
        ASSERT_TRUE(v.init());
        // A frame may fail; the picture stays whole either way.
        for (int k : {0, 3, 1, 2, 20, 29, 8, 7, 40})
            static_cast<void>(v.seek(k));
        EXPECT_LT(v.getCurrentFrame(), std::max(v.getFrameCount(), 1));
        EXPECT_EQ(v.pixels().size(), size_t(v.getWidth()) * v.getHeight() * 3);
    }
}

TEST(DataVideoPool, CountsEntriesAndSaysWhenDisposed)
{
    captureLog();
    {
        DataVideoPool pool;
        // Videos that do not open need no GL context.
        Video* first = new Video(nullptr, 0);
        Video* second = new Video(reinterpret_cast<const unsigned char*>("RIFF"), 4);
        pool.add("intro", first);
        pool.add("intro", second);
        delete first; // a replaced video is the caller's
        pool.add("outro", new Video("/nonexistent/outro.ivf"));
        EXPECT_EQ(pool.size(), 2);
        EXPECT_TRUE(pool.exists("intro"));
        EXPECT_EQ(pool.get("intro"), second);
        EXPECT_EQ(pool.get("missing"), nullptr);
        EXPECT_EQ(pool.toString(), "");
    }
    EXPECT_EQ(capturedLog(), "Video: pointer to movie is NULL\n"
                                                      "Video: movie is not in IVF format\n"
                                                      "Video: failed to open '/nonexistent/outro.ivf'\n"
                                                      "[Dispose videoPool]\n");
}
