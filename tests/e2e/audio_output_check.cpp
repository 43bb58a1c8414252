// The music through the real output path, against the clock: plays the production's
// music for 20 s on SDL's disk driver, whose pace (one buffer per SDL_DISKAUDIODELAY ms
// plus the writing) is a little off real time, with a pause, a resume and a seek through
// the music timer on the way. The driver writes into a pipe that a thread here drains,
// stamping every block with the time it came out, so the samples actually written are
// known with their times. Afterwards every block is matched against the decoded music
// near where the clock said the music was: the best match must be the music (normalised
// correlation >= 0.9) and lie within 16 ms of the clock. Between the transport calls the
// clock must never run back nor faster than real time and the slew (no jumps); it may
// stand while the device has stalled.
//
//   audio_output_check MUSIC [DELAY_MS]      exit status 0 when every check holds
#include "FMODTimer.h"
#include "HostClock.h"
#include "ORVIO.h"
#include "SoundSystem.h"
#include "TempDir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double now() { return std::chrono::duration<double>(Clock::now().time_since_epoch()).count(); }

struct Block {
    double seconds;     // when it came out of the driver
    size_t endFrame;    // frames written up to its end
};

struct FrameRecord {
    double seconds;
    int clockMs;
    bool paused;
    double sinceTransport; // seconds since the last pause, resume or seek
};

// Drains the pipe the driver writes into.
class PipeReader {
public:
    explicit PipeReader(const std::string& path)
        : thread([this, path] {
              int fd = open(path.c_str(), O_RDONLY); // waits for the driver to open it
              if (fd < 0)
                  return;
              std::vector<char> buffer(1 << 16);
              for (;;) {
                  ssize_t n = read(fd, buffer.data(), buffer.size());
                  if (n <= 0)
                      break;
                  double at = now();
                  bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + n);
                  blocks.push_back({at, bytes.size() / 4});
              }
              close(fd);
          })
    {
    }
    void join() { thread.join(); }
    std::vector<char> bytes;
    std::vector<Block> blocks;

private:
    std::thread thread;
};

int failures = 0;
void check(bool ok, const std::string& what)
{
    if (!ok) {
        std::printf("FAILED: %s\n", what.c_str());
        ++failures;
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: audio_output_check MUSIC [DELAY_MS]\n");
        return 2;
    }
    const std::string music = argv[1];
    const std::string delay = argc > 2 ? argv[2] : "12";
    HostClock::setSource(now);
    ORVIO::init(ORVIO::ModeFiles);

    // The music decoded on its own, as the reference.
    SoundSystem* decoder = nullptr;
    Sound* reference = nullptr;
    if (SoundSystem::create(&decoder) != SoundOk || decoder->init(1, SoundSystem::InitOffline, nullptr) != SoundOk ||
        decoder->createSound(music.c_str(), SoundSystem::ModeSoftware, nullptr, &reference) != SoundOk) {
        std::printf("FAILED: cannot decode %s\n", music.c_str());
        return 1;
    }
    if (reference->getSampleRate() != SoundSystem::outputRate) {
        std::printf("FAILED: the music is at %d Hz; this check compares samples at %d Hz\n", reference->getSampleRate(),
                    SoundSystem::outputRate);
        return 1;
    }
    const std::vector<int16_t>& pcm = reference->pcm();

    TempDir dir;
    const std::string fifo = dir.path() + "/out.raw";
    if (mkfifo(fifo.c_str(), 0600) != 0) {
        std::printf("FAILED: cannot make a pipe in %s\n", dir.path().c_str());
        return 1;
    }
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", fifo.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", delay.c_str(), 1);
    PipeReader reader(fifo);

    std::vector<FrameRecord> frames;
    {
        FMODTimer timer(music, 20);
        if (!timer.init() || timer.getOutputName() != "device (disk)") {
            std::printf("FAILED: the music timer did not open the disk driver (%s, %s)\n", timer.getOutputName().c_str(),
                        timer.getMessage().c_str());
            return 1; // the reader stays blocked on the pipe; exit ends it
        }
        // The transport, in seconds from the start: play, pause, resume, seek ahead.
        const double start = now();
        double transportAt = start;
        timer.setTimeMs(0);
        timer.play();
        bool pausedOnce = false, resumed = false, sought = false;
        int holds = 0;
        auto next = Clock::now();
        int previous = 0;
        double previousAt = start;
        while (now() - start < 20.0) {
            next += std::chrono::microseconds(16667);
            std::this_thread::sleep_until(next);
            const double elapsed = now() - start;
            if (!pausedOnce && elapsed >= 7.0) {
                timer.pause();
                pausedOnce = true;
                transportAt = now();
            } else if (pausedOnce && !resumed && elapsed >= 8.5) {
                timer.play();
                resumed = true;
                transportAt = now();
            } else if (resumed && !sought && elapsed >= 12.0) {
                timer.setTimeMs(100000);
                sought = true;
                transportAt = now();
            }
            timer.update();
            const double at = now();
            const int t = timer.getTimeMs();
            const bool paused = timer.isPaused();
            const double since = at - transportAt;
            if (!paused && since > 0.05 && !frames.empty() && frames.back().sinceTransport < since) {
                // Never back, never faster than real time and the slew (and a millisecond of
                // rounding each side); it may stand while the device has stalled.
                const double hostMs = (at - previousAt) * 1000.0;
                const double moved = t - previous;
                holds += moved == 0;
                check(moved >= 0 && moved <= (1.0 + FMODTimer::maxSlew) * hostMs + 2.0,
                      "the clock moved " + std::to_string(moved) + " ms in " + std::to_string(hostMs) +
                          " ms of real time at " + std::to_string(t) + " ms");
            }
            frames.push_back({at, t, paused, since});
            previous = t;
            previousAt = at;
        }
        std::printf("clock pace at the end %.4f, %d frames in which the clock stood for the device, output %s\n",
                    timer.getPace(), holds, timer.getOutputName().c_str());
        timer.shutdown(); // closes the device, so the reader sees the end
    }
    reader.join();

    // The driver's pace against real time, over the first stretch of play.
    const std::vector<Block>& blocks = reader.blocks;
    auto blockAt = [&](double seconds) {
        return std::lower_bound(blocks.begin(), blocks.end(), seconds,
                                [](const Block& b, double s) { return b.seconds < s; });
    };
    const double t0 = frames.front().seconds;
    auto b1 = blockAt(t0 + 1.0), b6 = blockAt(t0 + 6.0);
    if (b1 != blocks.end() && b6 != blocks.end() && b6->seconds > b1->seconds)
        std::printf("disk driver at %s ms per buffer: %.4f x real time\n", delay.c_str(),
                    (b6->endFrame - b1->endFrame) / (b6->seconds - b1->seconds) / SoundSystem::outputRate);

    // Mono reference and its running energy, for normalised correlation.
    const size_t musicFrames = pcm.size() / 2;
    std::vector<float> mono(musicFrames);
    std::vector<double> energy(musicFrames + 1, 0.0);
    for (size_t i = 0; i < musicFrames; ++i) {
        mono[i] = (pcm[2 * i] + pcm[2 * i + 1]) / 65536.0f;
        energy[i + 1] = energy[i] + static_cast<double>(mono[i]) * mono[i];
    }
    const auto* written = reinterpret_cast<const int16_t*>(reader.bytes.data());
    const size_t writtenFrames = reader.bytes.size() / 4;
    const int window = 2048;
    const int reach = SoundSystem::outputRate * 40 / 1000; // search +-40 ms around the clock
    std::vector<float> piece(window);
    int checked = 0, afterPause = 0, afterSeek = 0, quiet = 0;
    double worst = 0, sum = 0, weakest = 1;
    size_t frame = 0;
    for (size_t k = 0; k < blocks.size(); k += 6) {
        const Block& b = blocks[k];
        while (frame + 1 < frames.size() && frames[frame + 1].seconds <= b.seconds)
            ++frame;
        if (frame + 1 >= frames.size() || frames[frame].seconds > b.seconds)
            continue;
        const FrameRecord& f0 = frames[frame];
        const FrameRecord& f1 = frames[frame + 1];
        // Away from the transport calls: the window then holds one stretch of music.
        if (f0.paused || f1.paused || f0.sinceTransport < 0.3 || f1.sinceTransport < f0.sinceTransport ||
            b.endFrame < static_cast<size_t>(window) || b.endFrame > writtenFrames)
            continue;
        const double clock =
            f0.clockMs + (f1.clockMs - f0.clockMs) * (b.seconds - f0.seconds) / (f1.seconds - f0.seconds);
        double pieceEnergy = 0;
        for (int i = 0; i < window; ++i) {
            const int16_t* s = written + 2 * (b.endFrame - window + i);
            piece[i] = (s[0] + s[1]) / 65536.0f;
            pieceEnergy += static_cast<double>(piece[i]) * piece[i];
        }
        const long expected = std::lround(clock * SoundSystem::outputRate / 1000.0);
        if (pieceEnergy < window * 1e-5 || expected - reach - window < 0 ||
            expected + reach > static_cast<long>(musicFrames)) {
            ++quiet;
            continue;
        }
        double best = -2;
        long bestEnd = expected;
        for (long end = expected - reach; end <= expected + reach; ++end) {
            const float* m = mono.data() + end - window;
            double dot = 0;
            for (int i = 0; i < window; ++i)
                dot += piece[i] * m[i];
            const double e = energy[end] - energy[end - window];
            const double c = e > 0 ? dot / std::sqrt(pieceEnergy * e) : 0;
            if (c > best) {
                best = c;
                bestEnd = end;
            }
        }
        const double diff = clock - bestEnd * 1000.0 / SoundSystem::outputRate;
        ++checked;
        afterPause += clock < 60000 && f0.seconds - t0 > 8.5;
        afterSeek += clock >= 100000;
        sum += diff;
        weakest = std::min(weakest, best);
        if (std::fabs(diff) > std::fabs(worst))
            worst = diff;
        check(best >= 0.9, "at clock " + std::to_string(clock) + " ms the output does not match the music (correlation " +
                               std::to_string(best) + ")");
        check(std::fabs(diff) <= 16.0, "at clock " + std::to_string(clock) + " ms the samples written are the music at " +
                                           std::to_string(bestEnd * 1000.0 / SoundSystem::outputRate) + " ms");
    }
    std::printf("%d blocks checked (%d after the pause, %d after the seek, %d quiet): clock - written from %+.1f ms, "
                "mean %+.1f ms, weakest correlation %.3f\n",
                checked, afterPause, afterSeek, quiet, worst, checked ? sum / checked : 0.0, weakest);
    check(checked >= 100 && afterPause >= 20 && afterSeek >= 40, "too few blocks could be checked");
    decoder->release();
    std::printf("%s\n", failures ? "audio output check FAILED" : "audio output check ok");
    return failures ? 1 : 0;
}
