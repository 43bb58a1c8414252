// Loading every entry of a large resource archive once, in a shuffled order, the way a
// production's loader asks for its files. Prints how many times each entry was decoded
// (must be 1), how many bytes were read from the archive file against its size, and the
// load time beside the time of the archiver's own full extraction of the same file.
//
//   bench_archive [SIZE_MB] [solid|nonsolid]
#include "ResourceArchive.h"
#include "ResourceFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Text-like content that compresses about 2:1, as shaders, scenes and tracks do.
void writeEntry(const fs::path& path, size_t size, std::mt19937& rng)
{
    static const char* words[] = {"vec3", "float", "uniform", "light", "normal", "texture", "mix", "0.5",
                                  "gl_Position", "return", "for", "if", "matrix", "scene", "row"};
    std::string s;
    s.reserve(size);
    while (s.size() < size) {
        s += words[rng() % 15];
        s += (rng() % 8 == 0) ? '\n' : ' ';
        if (rng() % 16 == 0)
            s += static_cast<char>('A' + rng() % 26);
    }
    s.resize(size);
    std::ofstream(path, std::ios::binary).write(s.data(), static_cast<std::streamsize>(s.size()));
}

} // namespace

int main(int argc, char** argv)
{
    int sizeMb = argc > 1 ? std::atoi(argv[1]) : 50;
    bool solid = argc > 2 && std::string(argv[2]) == "solid";
    fs::path dir = fs::temp_directory_path() / ("demosys-bench-archive-" + std::to_string(getpid()));
    fs::create_directories(dir / "tree/resources/misc");
    std::mt19937 rng(42);
    const int entries = 100;
    size_t entrySize = static_cast<size_t>(sizeMb) * 1000000 / entries;
    for (int i = 0; i < entries; ++i)
        writeEntry(dir / "tree/resources/misc" / ("blob" + std::to_string(i) + ".bin"), entrySize, rng);

    fs::path archive = dir / "resources.7z";
    std::string pack = "cd '" + (dir / "tree").string() + "' && 7z a -mx=9 " + (solid ? "-ms=on" : "-ms=off") +
                       " '" + archive.string() + "' resources > /dev/null";
    if (std::system(pack.c_str()) != 0) {
        std::fprintf(stderr, "bench_archive: packing with 7z failed\n");
        return 1;
    }
    uint64_t archiveSize = fs::file_size(archive);

    auto start = std::chrono::steady_clock::now();
    std::string extract = "cd '" + dir.string() + "' && 7z x -y -oextracted '" + archive.string() + "' > /dev/null";
    if (std::system(extract.c_str()) != 0)
        return 1;
    double archiverSeconds = seconds(start);

    std::vector<int> order(entries);
    for (int i = 0; i < entries; ++i)
        order[i] = i;
    std::shuffle(order.begin(), order.end(), rng);

    start = std::chrono::steady_clock::now();
    if (!ResourceArchive::open(archive.string().c_str())) {
        std::fprintf(stderr, "bench_archive: cannot open %s\n", archive.string().c_str());
        return 1;
    }
    uint64_t loaded = 0;
    for (int i : order) {
        ResourceFile file("resources/misc/blob" + std::to_string(i) + ".bin");
        if (!file.readFromArchive()) {
            std::fprintf(stderr, "bench_archive: entry %d missing\n", i);
            return 1;
        }
        loaded += file.byteSize();
    }
    double loadSeconds = seconds(start);
    const ResourceArchive::Stats& stats = ResourceArchive::stats();
    int maxDecodes = 0;
    for (int n : stats.decodeCount)
        maxDecodes = std::max(maxDecodes, n);
    ResourceArchive::close();
    fs::remove_all(dir);

    std::printf("archive load (%s, %d entries, %.1f MB of data, %.1f MB archive, shuffled order)\n",
                solid ? "solid" : "non-solid", entries, loaded / 1e6, archiveSize / 1e6);
    std::printf("  most decodes of one entry     %d\n", maxDecodes);
    std::printf("  extra decoder passes          %d\n", stats.passes);
    std::printf("  archive bytes read / size     %.3f\n", double(stats.archiveBytesRead) / double(archiveSize));
    std::printf("  entry bytes decoded / loaded  %.3f\n", double(stats.bytesDecoded) / double(loaded));
    std::printf("  engine load time              %.2f s\n", loadSeconds);
    std::printf("  7z full extraction time       %.2f s\n", archiverSeconds);
    std::printf("  ratio engine / 7z             %.2f\n", loadSeconds / archiverSeconds);
    return maxDecodes == 1 ? 0 : 2;
}
