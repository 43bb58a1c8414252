#include "VideoFrameQueue.h"

#include <gtest/gtest.h>

#include <future>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> frame(uint8_t value) { return std::vector<uint8_t>(64, value); }

} // namespace

TEST(VideoFrameQueue, TwoFramesQueueBehindASlowWriterAndAllAreWrittenInOrder)
{
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::vector<std::vector<uint8_t>> written;
    VideoFrameQueue queue([&](const std::vector<uint8_t>& bytes) {
        released.wait();
        written.push_back(bytes);
        return Status::success();
    });
    // The writer holds the first frame: the second waits in the other slot, and both
    // pushes return without waiting for the writer.
    for (uint8_t k = 0; k < 2; ++k) {
        const std::vector<uint8_t> f = frame(k);
        ASSERT_TRUE(queue.push(f.data(), f.size()));
    }
    // A third push must wait for a slot: it returns once the writer lets go.
    std::future<Status> third = std::async(std::launch::async, [&] {
        const std::vector<uint8_t> f = frame(2);
        return queue.push(f.data(), f.size());
    });
    EXPECT_EQ(third.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    release.set_value();
    EXPECT_TRUE(third.get());
    for (uint8_t k = 3; k < 8; ++k) {
        const std::vector<uint8_t> f = frame(k);
        ASSERT_TRUE(queue.push(f.data(), f.size()));
    }
    ASSERT_TRUE(queue.drain());
    ASSERT_EQ(written.size(), 8u);
    for (uint8_t k = 0; k < 8; ++k)
        EXPECT_EQ(written[k], frame(k)) << "frame " << int(k);
}

TEST(VideoFrameQueue, TheWritersFirstFailureStopsTheQueueAndIsReported)
{
    std::vector<uint8_t> values;
    VideoFrameQueue queue([&](const std::vector<uint8_t>& bytes) {
        values.push_back(bytes[0]);
        return bytes[0] == 1 ? Status::failure("ffmpeg stopped reading frames") : Status::success();
    });
    Status last;
    for (uint8_t k = 0; k < 6 && last; ++k) {
        const std::vector<uint8_t> f = frame(k);
        last = queue.push(f.data(), f.size());
    }
    const Status drained = queue.drain();
    ASSERT_FALSE(drained);
    EXPECT_EQ(drained.reason(), "ffmpeg stopped reading frames");
    // Nothing after the failed frame reaches the writer.
    EXPECT_EQ(values, (std::vector<uint8_t>{0, 1}));
    queue.stop();
    const std::vector<uint8_t> f = frame(9);
    EXPECT_FALSE(queue.push(f.data(), f.size()));
}
