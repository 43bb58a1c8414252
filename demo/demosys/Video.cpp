#include "Video.h"

#include "Log.h"
#include "Texture.h"

#include <GL/glew.h>

#include <cstdio>

using ORVDemosys::Log;

Video::Video(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        Log::error() << "Video: failed to open '" << path << "'" << std::endl;
        return;
    }
    // Read to the end rather than trusting a seek: a directory or a pipe has no size.
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    bool readError = std::ferror(file) != 0;
    std::fclose(file);
    if (bytes.empty() || readError) {
        Log::error() << "Video: failed to read '" << path << "'" << std::endl;
        return;
    }
    initialise(std::move(bytes), "'" + path + "'");
}

Video::Video(const unsigned char* bytes, size_t size)
{
    if (!bytes) {
        Log::error() << "Video: pointer to movie is NULL" << std::endl;
        return;
    }
    initialise(std::vector<uint8_t>(bytes, bytes + size), "movie");
}

Video::~Video()
{
    if (stream) {
        Status closed = stream->close();
        if (!closed)
            Log::error() << "Video: " << closed.reason() << std::endl;
    }
}

void Video::initialise(std::vector<uint8_t> bytes, const std::string& label)
{
    IvfFile ivf(std::move(bytes));
    Status parsed = ivf.parse(label);
    if (!parsed) {
        Log::error() << "Video: " << parsed.reason() << std::endl;
        return;
    }
    stream.reset(new VideoStream(std::move(ivf)));
    Status started = stream->init();
    if (!started) {
        Log::error() << "Video: " << started.reason() << std::endl;
        stream.reset();
        return;
    }
    texture.reset(new Texture(getWidth(), getHeight(), GL_RGB, GL_RGB, GL_UNSIGNED_BYTE));

    // The header, byte by byte. Bytes that are no printable character show as '.', so
    // a newline or an escape in a field cannot break the log.
    const std::vector<uint8_t>& data = stream->file().bytes();
    for (int i = 0; i < IvfFile::HeaderSize; ++i) {
        uint8_t b = data[i];
        char shown = (b >= 0x20 && b < 0x7f) ? static_cast<char>(b) : '.';
        Log::info() << i << " : " << static_cast<int>(b) << " " << shown << "\n";
    }
    for (const std::string& warning : stream->file().getWarnings())
        Log::info() << "Video: " << warning << "\n";
    Log::getSink().flush();
    open = true;
}

int Video::getWidth() const { return stream ? stream->getWidth() : 0; }
int Video::getHeight() const { return stream ? stream->getHeight() : 0; }
int Video::getFrameCount() const { return stream ? stream->getFrameCount() : 0; }
int Video::getCurrentFrame() const { return stream ? stream->getCurrentFrame() : -1; }
bool Video::isTimestampMode() const { return stream && stream->isTimestampMode(); }
uint32_t Video::getRate() const { return stream ? stream->file().getRate() : 0; }
uint32_t Video::getScale() const { return stream ? stream->file().getScale() : 0; }
int Video::getDecodeCount() const { return stream ? stream->getDecodeCount() : 0; }

Texture* Video::showFrame(int n)
{
    if (!open)
        return texture.get();
    const int shown = stream->getCurrentFrame();
    const int decodes = stream->getDecodeCount();
    Status seeked = stream->seek(n);
    // A failure that decoded nothing is a frame already reported.
    if (!seeked && stream->getDecodeCount() != decodes)
        Log::error() << "Video: " << seeked.reason() << std::endl;
    if (seeked && stream->getCurrentFrame() != shown) {
        texture->upload(stream->pixels().data());
        ++uploads;
    }
    return texture.get();
}

Texture* Video::showTime(float seconds)
{
    if (!open)
        return texture.get();
    int frame = stream->frameAtTime(seconds);
    return frame < 0 ? texture.get() : showFrame(frame);
}
