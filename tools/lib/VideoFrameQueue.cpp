#include "VideoFrameQueue.h"

#include <cstring>

VideoFrameQueue::VideoFrameQueue(Writer w) : writer(std::move(w)), thread([this] { run(); }) {}

VideoFrameQueue::~VideoFrameQueue() { stop(); }

Status VideoFrameQueue::push(const uint8_t* bytes, size_t size)
{
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return queued < 2 || stopping || !failure; });
    if (!failure)
        return failure;
    if (stopping)
        return Status::failure("the frame queue has stopped");
    // The slot after the ones waiting or being written.
    std::vector<uint8_t>& slot = slots[(next + queued) % 2];
    // Copied under the lock: the writer never holds this slot while it is free.
    slot.resize(size);
    std::memcpy(slot.data(), bytes, size);
    ++queued;
    changed.notify_all();
    return Status::success();
}

Status VideoFrameQueue::drain()
{
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return queued == 0 || stopping || !failure; });
    if (!failure)
        return failure;
    if (stopping && queued != 0)
        return Status::failure("the frame queue has stopped");
    return Status::success();
}

void VideoFrameQueue::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    if (thread.joinable())
        thread.join();
}

void VideoFrameQueue::run()
{
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return queued > 0 || stopping; });
        if (stopping || !failure)
            return;
        std::vector<uint8_t>& slot = slots[next];
        // The slot stays counted as queued while it is written, so push leaves it alone.
        lock.unlock();
        Status written = writer(slot);
        lock.lock();
        if (!written)
            failure = written;
        next = (next + 1) % 2;
        --queued;
        changed.notify_all();
    }
}
