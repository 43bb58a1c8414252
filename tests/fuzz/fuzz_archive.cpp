// The resource archive on arbitrary bytes: the header listing, link resolution and the
// decoding passes, every entry asked for by its name. Nothing may be read out of bounds,
// no entry may come back longer than its listed size, and nothing may hang.
#include "ResourceArchive.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The archive layer reads from a path, as the engine does.
    static const std::string path = "/tmp/fuzz-archive-" + std::to_string(getpid()) + ".7z";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    if (ResourceArchive::open(path.c_str())) {
        for (int i = 0; i < ResourceArchive::entryCount(); ++i) {
            const std::string name = ResourceArchive::entryName(i);
            const int bytes = ResourceArchive::entrySize(name.c_str());
            // Sizes come from the damaged header: only decode what a small archive can hold.
            if (bytes < 0 || bytes > (1 << 20))
                continue;
            std::vector<uint8_t> buffer(static_cast<size_t>(bytes));
            ResourceArchive::extract(name.c_str(), buffer.data());
        }
        ResourceArchive::close();
    }
    std::remove(path.c_str());
    return 0;
}
