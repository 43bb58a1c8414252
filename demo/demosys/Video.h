#pragma once

#include "VideoStream.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class Texture;

// A VP8 video in an IVF file, held whole in memory and shown through one GL texture
// (GL_RGB, width x height) that is refreshed when the requested frame changes. The
// texture holds each pixel's Y, U and V in its red, green and blue channels; the shader
// that samples it converts to RGB. Needs a current GL context from construction to
// destruction. Messages go to standard output; a video that cannot be played is not open.
class Video {
public:
    // Reads the file at path.
    explicit Video(const std::string& path);
    // Copies size bytes from bytes (an archive entry).
    Video(const unsigned char* bytes, size_t size);
    ~Video();
    Video(const Video&) = delete;
    Video& operator=(const Video&) = delete;

    bool isOpen() const { return open; }
    int getWidth() const;
    int getHeight() const;
    int getFrameCount() const;
    // Null when the video is not open.
    Texture* getTexture() const { return texture.get(); }

    // Makes frame n the texture's picture (n clamped to the frames there are, a negative
    // n is frame 0) and uploads it if it changed; returns the texture.
    Texture* showFrame(int n);
    // The same for a time in seconds, through the file's time base.
    Texture* showTime(float seconds);

    // The frame on the texture; -1 before the first.
    int getCurrentFrame() const;
    bool isTimestampMode() const;
    uint32_t getRate() const;
    uint32_t getScale() const;
    // Texture uploads so far.
    int getUploadCount() const { return uploads; }
    // Frames handed to the decoder so far.
    int getDecodeCount() const;

private:
    void initialise(std::vector<uint8_t> bytes, const std::string& label);

    std::unique_ptr<VideoStream> stream;
    std::unique_ptr<Texture> texture;
    bool open = false;
    int uploads = 0;
};
