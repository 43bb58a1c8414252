#include "SoundDecoder.h"

#include <mpg123.h>

#include <cmath>
#include <cstring>
#include <limits>

int16_t SoundDecoder::clamp16(double v)
{
    if (v >= 32767.0)
        return 32767;
    if (v <= -32768.0)
        return -32768;
    return static_cast<int16_t>(std::lround(v));
}

namespace {

uint32_t readLe32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
uint16_t readLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// One sample of a WAV frame as a 16-bit value.
int16_t wavSample(const uint8_t* p, int bits, bool isFloat)
{
    if (isFloat) {
        float f;
        std::memcpy(&f, p, 4);
        if (!std::isfinite(f))
            return 0;
        return SoundDecoder::clamp16(static_cast<double>(f) * 32768.0);
    }
    switch (bits) {
    case 8:
        return static_cast<int16_t>((p[0] - 128) * 256);
    case 16:
        return static_cast<int16_t>(readLe16(p));
    case 24:
        return static_cast<int16_t>(readLe16(p + 1)); // the top 16 bits
    default: // 32
        return static_cast<int16_t>(readLe16(p + 2));
    }
}

// A RIFF WAVE file. Every size in the file is checked against the bytes that are there.
Status decodeWav(const uint8_t* data, size_t size, SoundDecoder::Decoded& out)
{
    auto fail = [&out](const std::string& why) {
        out.samples.clear();
        return Status::failure(why);
    };
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0)
        return fail("not a RIFF WAVE file");
    size_t at = 12;
    bool haveFormat = false;
    int channels = 0, bits = 0, blockAlign = 0;
    bool isFloat = false;
    while (size - at >= 8) {
        const uint8_t* chunk = data + at;
        std::string id(reinterpret_cast<const char*>(chunk), 4);
        uint64_t length = readLe32(chunk + 4);
        at += 8;
        if (length > size - at)
            return fail("chunk '" + id + "' declares " + std::to_string(length) + " bytes but only " +
                        std::to_string(size - at) + " follow (truncated file?)");
        const uint8_t* body = data + at;
        if (id == "fmt ") {
            if (length < 16)
                return fail("format chunk is " + std::to_string(length) + " bytes, at least 16 needed");
            int tag = readLe16(body);
            channels = readLe16(body + 2);
            uint32_t rate = readLe32(body + 4);
            blockAlign = readLe16(body + 12);
            bits = readLe16(body + 14);
            if (tag == 0xFFFE) {
                if (length < 26)
                    return fail("extensible format chunk is too short");
                tag = readLe16(body + 24);
            }
            isFloat = tag == 3;
            if (tag != 1 && tag != 3)
                return fail("sample format " + std::to_string(tag) + " is not PCM or float");
            if (channels < 1 || channels > 2)
                return fail(std::to_string(channels) + " channels; mono or stereo only");
            if (rate < 1000 || rate > 384000)
                return fail("sample rate " + std::to_string(rate) + " is out of range");
            if (isFloat ? bits != 32 : (bits != 8 && bits != 16 && bits != 24 && bits != 32))
                return fail(std::to_string(bits) + "-bit samples are not supported");
            if (blockAlign != channels * bits / 8)
                return fail("block size " + std::to_string(blockAlign) + " does not match " + std::to_string(channels) +
                            " channels of " + std::to_string(bits) + " bits");
            out.rate = static_cast<int>(rate);
            haveFormat = true;
        } else if (id == "data") {
            if (!haveFormat)
                return fail("data chunk before the format chunk");
            if (length % blockAlign != 0)
                return fail("data chunk is not a whole number of frames");
            size_t frames = length / blockAlign;
            if (frames == 0)
                return fail("no samples");
            int bytesPerSample = bits / 8;
            out.samples.resize(frames * 2);
            for (size_t f = 0; f < frames; ++f) {
                const uint8_t* p = body + f * blockAlign;
                int16_t left = wavSample(p, bits, isFloat);
                int16_t right = channels == 2 ? wavSample(p + bytesPerSample, bits, isFloat) : left;
                out.samples[2 * f] = left;
                out.samples[2 * f + 1] = right;
            }
            return Status::success();
        }
        at += length;
        if ((length & 1) && at < size)
            ++at; // chunks are padded to even sizes
    }
    return fail(haveFormat ? "no data chunk" : "no format chunk");
}

// mpg123 reads the memory block through these.
struct MemoryReader {
    const uint8_t* data;
    size_t size;
    size_t position;
};

mpg123_ssize_t readMemory(void* handle, void* buffer, size_t count)
{
    auto* r = static_cast<MemoryReader*>(handle);
    size_t n = std::min(count, r->size - r->position);
    std::memcpy(buffer, r->data + r->position, n);
    r->position += n;
    return static_cast<mpg123_ssize_t>(n);
}

off_t seekMemory(void* handle, off_t offset, int whence)
{
    auto* r = static_cast<MemoryReader*>(handle);
    long long base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<long long>(r->position)
                                                                 : static_cast<long long>(r->size);
    long long target = base + static_cast<long long>(offset);
    if (target < 0 || target > static_cast<long long>(r->size))
        return -1;
    r->position = static_cast<size_t>(target);
    return static_cast<off_t>(target);
}

bool mpg123Ready()
{
    // mpg123_init is needed once with library versions before 1.27 and harmless after.
    static const bool ready = mpg123_init() == MPG123_OK;
    return ready;
}

// MPEG audio through libmpg123, always as 16-bit stereo. Encoder delay and padding
// recorded by the encoder are removed (gapless decoding), so sample 0 is the first
// sample that went into the encoder.
Status decodeMp3(const uint8_t* data, size_t size, SoundDecoder::Decoded& out)
{
    if (!mpg123Ready())
        return Status::failure("the MP3 decoder did not initialise");
    int err = MPG123_OK;
    mpg123_handle* mh = mpg123_new(nullptr, &err);
    if (!mh)
        return Status::failure(std::string("the MP3 decoder did not start: ") + mpg123_plain_strerror(err));
    auto fail = [&](const std::string& why) {
        out.samples.clear();
        mpg123_delete(mh);
        return Status::failure(why);
    };
    MemoryReader reader{data, size, 0};
    if (mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_FORCE_STEREO | MPG123_QUIET | MPG123_GAPLESS, 0) != MPG123_OK ||
        mpg123_format_none(mh) != MPG123_OK)
        return fail(std::string("decoder set-up failed: ") + mpg123_strerror(mh));
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i)
        if (mpg123_format(mh, rates[i], MPG123_STEREO, MPG123_ENC_SIGNED_16) != MPG123_OK)
            return fail(std::string("decoder set-up failed: ") + mpg123_strerror(mh));
    if (mpg123_replace_reader_handle(mh, readMemory, seekMemory, nullptr) != MPG123_OK ||
        mpg123_open_handle(mh, &reader) != MPG123_OK)
        return fail(std::string("cannot open the stream: ") + mpg123_strerror(mh));

    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK) {
        std::string why = mpg123_strerror(mh);
        mpg123_close(mh);
        return fail("no MPEG audio frames found (" + why + ")");
    }
    if (channels != 2 || encoding != MPG123_ENC_SIGNED_16 || rate <= 0) {
        mpg123_close(mh);
        return fail("the decoder gave an unexpected output format");
    }
    out.rate = static_cast<int>(rate);
    std::vector<unsigned char> buffer(65536);
    for (int idle = 0; idle < 64;) {
        size_t got = 0;
        int result = mpg123_read(mh, buffer.data(), buffer.size(), &got);
        size_t count = got / sizeof(int16_t);
        if (count > 0) { // an empty vector's data() may be null, even for no bytes
            size_t old = out.samples.size();
            out.samples.resize(old + count);
            std::memcpy(out.samples.data() + old, buffer.data(), count * sizeof(int16_t));
        }
        if (result == MPG123_DONE)
            break;
        if (result == MPG123_NEW_FORMAT) {
            long r2 = 0;
            int c2 = 0, e2 = 0;
            mpg123_getformat(mh, &r2, &c2, &e2);
            if (r2 != rate) {
                mpg123_close(mh);
                return fail("the sample rate changes inside the stream");
            }
            continue;
        }
        if (result != MPG123_OK) {
            std::string why = mpg123_strerror(mh);
            mpg123_close(mh);
            // What decoded before damage further on is kept; damage before any sound fails.
            if (out.samples.empty())
                return fail("decoding failed: " + why);
            break;
        }
        idle = got == 0 ? idle + 1 : 0; // a decoder that stops giving samples ends the stream
    }
    mpg123_close(mh);
    mpg123_delete(mh);
    if (out.samples.size() % 2)
        out.samples.pop_back();
    if (out.samples.empty())
        return Status::failure("no audio in the stream");
    return Status::success();
}

bool looksLikeWav(const uint8_t* data, size_t size) { return size >= 4 && std::memcmp(data, "RIFF", 4) == 0; }

} // namespace

Status SoundDecoder::decode(const uint8_t* data, size_t size, Decoded& out)
{
    out = Decoded();
    if (size == 0)
        return Status::failure("the file is empty");
    return looksLikeWav(data, size) ? decodeWav(data, size, out) : decodeMp3(data, size, out);
}
