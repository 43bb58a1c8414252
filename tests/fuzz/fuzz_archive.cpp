// The archive's header listing on arbitrary bytes: signature, compressed headers,
// streams and file records. Nothing may be read out of bounds, no damaged count may
// cause a huge allocation, and nothing may hang. (Decoding entries is the archive
// library's part and is not fuzzed here.)
#include "SevenZipIndex.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The listing reads from a path, as the engine does.
    static const std::string path = "/tmp/fuzz-archive-" + std::to_string(getpid()) + ".7z";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    SevenZipIndex index;
    // A listing either works or names why; neither may read out of bounds.
    static_cast<void>(index.read(path));
    std::remove(path.c_str());
    return 0;
}
