// The timeline loader on arbitrary packed track data. The input is split into an
// index.list and a track.data (the first byte gives the index length) and loaded for
// two effects with two curves each; the loader must never read out of bounds.
#include "Effect.h"
#include "Log.h"
#include "TrackManager.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

class QuietEffect : public Effect {
public:
    void draw(uint32_t, int32_t, FBO*) override {}
};

std::string directory()
{
    static std::string dir = "/tmp/demosys-fuzz-tracks-" + std::to_string(getpid()) + "/";
    static bool made = false;
    if (!made) {
        std::string command = "mkdir -p " + dir;
        made = std::system(command.c_str()) == 0;
    }
    return dir;
}

void writeFile(const std::string& path, const uint8_t* data, size_t size)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return;
    if (size)
        std::fwrite(data, 1, size, f);
    std::fclose(f);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    size_t indexSize = data[0] < size - 1 ? data[0] : size - 1;
    std::string dir = directory();
    writeFile(dir + "index.list", data + 1, indexSize);
    writeFile(dir + "track.data", data + 1 + indexSize, size - 1 - indexSize);

    QuietEffect a, b;
    TrackInterpolate* t = nullptr;
    a.addTrack("x", &t);
    a.addTrack("y", &t);
    b.addTrack("x", &t);
    a.setOnTimeline(true);
    b.setOnTimeline(true);

    ORVDemosys::Log::Silence quiet;
    std::unique_ptr<TrackManager> m = TrackManager::load(dir, {"a", "b"}, {&a, &b});
    if (m->validate()) {
        for (uint32_t row : {0u, 1u, 10u, 100u, 1000u})
            m->drawFrame(row * 50, row, 50);
    }
    return 0;
}
