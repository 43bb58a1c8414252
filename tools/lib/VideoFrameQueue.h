#pragma once

#include "Status.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Rendered frames handed to a writer that runs on a thread of its own, so that the
// renderer draws the next frame while the last one is converted and piped to the encoder
// (on two cores the render and the encoder otherwise take turns, and the cores idle while
// a frame is written). Two slots: one being written, one waiting; a third frame waits
// for the first slot. Frames are written in the order pushed, each exactly once. The
// writer's first failure stops the queue: later pushes return it without writing.
// Nothing is allocated per frame once the slots have the frame's size.
class VideoFrameQueue {
public:
    // Writes one frame of `bytes.size()` bytes, as pushed; runs on the queue's thread.
    using Writer = std::function<Status(const std::vector<uint8_t>& bytes)>;

    explicit VideoFrameQueue(Writer writer);
    // Waits for the frame being written, drops those still waiting, ends the thread.
    ~VideoFrameQueue();
    VideoFrameQueue(const VideoFrameQueue&) = delete;
    VideoFrameQueue& operator=(const VideoFrameQueue&) = delete;

    // Copies the frame into a free slot (waiting for one) and returns at once; the
    // writer's failure, once there has been one.
    Status push(const uint8_t* bytes, size_t size);
    // Waits until every frame pushed is written; the writer's first failure, if any.
    Status drain();
    // Drops the frames waiting, waits for the one being written and ends the thread;
    // the writer is not called again. drain and push after it fail.
    void stop();

private:
    void run();

    Writer writer;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<uint8_t> slots[2];
    size_t queued = 0;   // frames waiting or being written, at most 2
    size_t next = 0;     // the slot the writer takes next
    bool stopping = false;
    Status failure;      // the writer's first failure
    std::thread thread;
};
