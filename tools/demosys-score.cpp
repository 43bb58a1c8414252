// demosys-score: the production's music from its score.
//
//   demosys-score render SCORE OUT.wav [--bars A-B]
//       synthesizes the score (or bars A..B of it) to 44.1 kHz 16-bit stereo PCM
//   demosys-score sections SCORE
//       the sections with their first bar, start time and sync rows
//   demosys-score analyse MUSIC [--score SCORE] [--reference WAV] [--rows A-B]
//       reads MUSIC (MP3 or WAV) through the engine's sound layer: length, peak,
//       clipped samples, where the first hit lands; with the score, the low band's
//       energy on the beats against half-way between them, per section; with a
//       reference, how far MUSIC is shifted against it (encoder delay); with rows,
//       the low band's energy at the start of every row of that stretch
//
// Errors are one line on standard error and exit status 1; a command line it cannot
// read prints the usage, a line too, with status 2.
#include "CommandLine.h"
#include "Score.h"
#include "ScoreRenderer.h"
#include "SoundSystem.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char* const usage = "usage: demosys-score render SCORE OUT.wav [--bars A-B] | sections SCORE | "
                          "analyse MUSIC [--score SCORE] [--reference WAV] [--rows A-B]\n";

int failWith(const std::string& message)
{
    std::cerr << "demosys-score: " << message << std::endl;
    return 1;
}

bool readScore(const std::string& path, Score& score, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot open";
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    Status parsed = score.parse(text.str(), path);
    error = parsed.reason();
    return parsed.ok();
}

bool parseRange(const std::string& text, int& a, int& b)
{
    char dash = 0;
    std::istringstream in(text);
    return (in >> a >> dash >> b) && dash == '-' && in.peek() == EOF && a >= 0 && b >= a;
}

std::string clock(double seconds)
{
    char buffer[32];
    int ms = static_cast<int>(std::lround(seconds * 1000.0));
    std::snprintf(buffer, sizeof(buffer), "%02d:%02d.%03d", ms / 60000, ms / 1000 % 60, ms % 1000);
    return buffer;
}

// Bars from..to of the score (to 0: all of it).
int render(const std::string& scorePath, const std::string& wavPath, int from, int to)
{
    Score score;
    std::string error;
    if (!readScore(scorePath, score, error))
        return failWith(error);
    if (to > score.bars)
        return failWith(scorePath + ": the score has " + std::to_string(score.bars) + " bars");
    ScoreRenderer renderer(score);
    std::vector<float> stereo;
    renderer.render(stereo, from, to);
    Status written = ScoreRenderer::writeWav(wavPath, stereo, score.seed);
    if (!written)
        return failWith(written.reason());
    std::printf("%s: %zu notes, %.3f s, peak %.2f dBFS before normalising to %.1f dBFS\n", wavPath.c_str(),
                renderer.noteCount(), stereo.size() / 2.0 / ScoreRenderer::sampleRate,
                20.0 * std::log10(std::max(renderer.peakBeforeNormalize(), 1e-12)), score.normalizeDb);
    return 0;
}

int sections(const std::string& scorePath)
{
    Score score;
    std::string error;
    if (!readScore(scorePath, score, error))
        return failWith(error);
    std::printf("%-12s %-9s %-19s %s\n", "section", "bars", "time", "rows");
    for (const Score::Section& s : score.sections) {
        double a = score.barStart(s.firstBar), b = score.barStart(s.firstBar + s.bars);
        std::printf("%-12s %3d-%-5d %s-%s %5ld-%ld\n", s.name.c_str(), s.firstBar, s.firstBar + s.bars - 1,
                    clock(a).c_str(), clock(b).c_str(), std::lround(a * score.rows), std::lround(b * score.rows));
    }
    std::printf("length %s (%d bars + %.1f s tail), %d rows per beat\n", clock(score.lengthSeconds()).c_str(),
                score.bars, score.tail, score.rowsPerBeat());
    return 0;
}

// The sound layer's offline system: positions only where they are set.
struct Offline {
    SoundSystem* system = nullptr;
    ~Offline()
    {
        if (system)
            system->release();
    }
};

Sound* loadSound(SoundSystem* system, const std::string& path, std::string& error)
{
    Sound* sound = nullptr;
    if (system->createSound(path.c_str(), SoundSystem::ModeSoftware, nullptr, &sound) != SoundOk) {
        error = system->getLastError();
        return nullptr;
    }
    return sound;
}

// Energy below about 150 Hz in the 23 ms that end at ms, both sides.
double lowBand(SoundChannel* channel, double ms)
{
    const int count = 512; // 43 Hz bins at 44.1 kHz
    static std::vector<float> l(count), r(count);
    channel->setPosition(static_cast<unsigned>(std::max(0.0, ms)), SoundSystem::UnitMs);
    channel->getSpectrum(l.data(), count, 0, SoundSystem::WindowHamming);
    channel->getSpectrum(r.data(), count, 1, SoundSystem::WindowHamming);
    double e = 0;
    for (int k = 1; k <= 3; ++k)
        e += l[static_cast<size_t>(k)] * l[static_cast<size_t>(k)] + r[static_cast<size_t>(k)] * r[static_cast<size_t>(k)];
    return e;
}

// The lag in samples that lines the first second of music up best with reference.
long bestShift(const Sound& reference, const Sound& music)
{
    // The shift that lines the first second of both up best, within +-50 ms.
    const std::vector<int16_t>& ref = reference.pcm();
    const std::vector<int16_t>& pcm = music.pcm();
    long span = std::min<long>(44100, std::min(reference.frameCount(), music.frameCount()));
    long best = 0;
    double bestScore = -1e300;
    for (long lag = -2205; lag <= 2205; ++lag) {
        double sum = 0;
        for (long i = 0; i < span; ++i) {
            long j = i + lag;
            if (j >= 0 && j < static_cast<long>(music.frameCount()))
                sum += static_cast<double>(ref[static_cast<size_t>(2 * i)]) * pcm[static_cast<size_t>(2 * j)];
        }
        if (sum > bestScore) {
            bestScore = sum;
            best = lag;
        }
    }
    return best;
}

// Per section: the low band a hit's first 23 ms after each beat against the same stretch
// half a beat later; with rows, the low band at each row.
void printBeatEnergy(SoundChannel* channel, const Score& score, int rowFrom, int rowTo)
{
    // A hit's first 23 ms against the same stretch half a beat later.
    const double probe = 30.0;
    std::printf("%-12s %10s %10s %8s\n", "section", "on beat", "off beat", "ratio");
    for (const Score::Section& s : score.sections) {
        double on = 0, off = 0;
        int beats = 0;
        for (int b = 0; b < s.bars * 4; ++b) {
            double t = (score.barStart(s.firstBar) + b * score.beatSeconds()) * 1000.0;
            on += lowBand(channel, t + probe);
            off += lowBand(channel, t + score.beatSeconds() * 500.0 + probe);
            ++beats;
        }
        on /= beats;
        off /= beats;
        std::printf("%-12s %10.5f %10.5f %8.2f\n", s.name.c_str(), on, off, off > 0 ? on / off : 0.0);
    }
    if (rowFrom >= 0) {
        std::printf("%6s %9s  low band at the row (+%.0f ms)\n", "row", "energy", probe);
        double top = 1e-12;
        std::vector<double> energy;
        for (int row = rowFrom; row <= rowTo; ++row) {
            energy.push_back(lowBand(channel, row * 1000.0 / score.rows + probe));
            top = std::max(top, energy.back());
        }
        for (int row = rowFrom; row <= rowTo; ++row) {
            double e = energy[static_cast<size_t>(row - rowFrom)];
            std::printf("%6d %9.5f  %s\n", row, e, std::string(static_cast<size_t>(40 * e / top), '#').c_str());
        }
    }
}

// With rows (rowFrom not negative), the low band's energy at each row of rowFrom..rowTo.
int analyse(const std::string& musicPath, const std::string& scorePath, const std::string& referencePath, int rowFrom,
            int rowTo)
{
    Score score;
    std::string error;
    if (!scorePath.empty() && !readScore(scorePath, score, error))
        return failWith(error);
    if (rowFrom >= 0 && scorePath.empty())
        return failWith("--rows needs --score for the row rate");

    setenv("SDL_AUDIODRIVER", "dummy", 0);
    Offline offline;
    SoundSystem::create(&offline.system);
    if (offline.system->init(2, SoundSystem::InitOffline, nullptr) != SoundOk)
        return failWith("the sound layer did not start: " + offline.system->getLastError());
    Sound* music = loadSound(offline.system, musicPath, error);
    if (!music)
        return failWith(error);
    const std::vector<int16_t>& pcm = music->pcm();
    unsigned lengthMs = 0;
    music->getLength(&lengthMs, SoundSystem::UnitMs);
    int peak = 0;
    size_t clipped = 0;
    for (int16_t s : pcm) {
        peak = std::max(peak, std::abs(static_cast<int>(s)));
        clipped += s >= 32767 || s <= -32768;
    }
    size_t onset = 0;
    while (onset < music->frameCount() &&
           std::abs(pcm[2 * onset]) + std::abs(pcm[2 * onset + 1]) < 2 * 0.1 * std::max(peak, 1))
        ++onset;
    double rate = music->getSampleRate();
    std::printf("music      %s\n", musicPath.c_str());
    std::printf("length     %u ms (%s), %d Hz\n", lengthMs, clock(lengthMs / 1000.0).c_str(), music->getSampleRate());
    std::printf("peak       %.2f dBFS, %zu clipped samples\n", 20.0 * std::log10(std::max(peak, 1) / 32768.0), clipped);
    std::printf("first hit  %.2f ms\n", onset * 1000.0 / rate);

    if (!referencePath.empty()) {
        Sound* reference = loadSound(offline.system, referencePath, error);
        if (!reference)
            return failWith(error);
        const long best = bestShift(*reference, *music);
        std::printf("shift      %ld samples (%.2f ms) against %s\n", best, best * 1000.0 / rate, referencePath.c_str());
    }

    SoundChannel* channel = nullptr;
    if (offline.system->playSound(SoundSystem::ChannelFree, music, true, &channel) != SoundOk)
        return failWith("cannot play " + musicPath);
    if (!scorePath.empty())
        printBeatEnergy(channel, score, rowFrom, rowTo);
    return 0;
}

// A range option A-B: first at least lowest, last not before first.
CLI::Validator rangeFrom(int lowest)
{
    return CLI::Validator(
        [lowest](std::string& text) {
            int a = 0, b = 0;
            return parseRange(text, a, b) && a >= lowest ? std::string() : "takes A-B";
        },
        "A-B");
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app("", "demosys-score");
    app.require_subcommand(1);
    std::string first, second, scorePath, referencePath, bars, rows;
    CLI::App* renderCommand = app.add_subcommand("render");
    renderCommand->add_option("SCORE", first)->required();
    renderCommand->add_option("OUT", second)->required();
    renderCommand->add_option("--bars", bars)->check(rangeFrom(1));
    CLI::App* sectionsCommand = app.add_subcommand("sections");
    sectionsCommand->add_option("SCORE", first)->required();
    CLI::App* analyseCommand = app.add_subcommand("analyse");
    analyseCommand->add_option("MUSIC", first)->required();
    analyseCommand->add_option("--score", scorePath);
    analyseCommand->add_option("--reference", referencePath);
    analyseCommand->add_option("--rows", rows)->check(rangeFrom(0));
    // The usage is one line: an error says nothing more.
    const int status = parseCommandLine(app, argc, argv, usage, false);
    if (status >= 0)
        return status;

    if (renderCommand->parsed()) {
        int from = 1, to = 0;
        if (!bars.empty())
            parseRange(bars, from, to);
        return render(first, second, from, to);
    }
    if (sectionsCommand->parsed())
        return sections(first);
    int rowFrom = -1, rowTo = -1;
    if (!rows.empty())
        parseRange(rows, rowFrom, rowTo);
    return analyse(first, scorePath, referencePath, rowFrom, rowTo);
}
