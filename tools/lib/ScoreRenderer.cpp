#include "ScoreRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double fs = ScoreRenderer::sampleRate;
constexpr int blockSize = 64;

double dbToGain(double db) { return std::pow(10.0, db / 20.0); }
double noteHz(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }

// xorshift32: small, fast and the same everywhere.
class Random {
public:
    explicit Random(uint32_t seed) : state(seed * 2654435761u + 0x9E3779B9u) { next(); }
    uint32_t next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    // -1..1
    float noise() { return static_cast<float>(next() >> 8) / 8388608.0f - 1.0f; }
    // 0..1
    double unit() { return (next() >> 8) / 16777216.0; }

private:
    uint32_t state;
};

// Attack (linear), decay (exponential) to sustain, release (exponential) after the gate.
class Envelope {
public:
    void setup(double attack, double decay, double sustain, double release)
    {
        attackStep = attack > 0 ? 1.0 / (attack * fs) : 1.0;
        decayCoef = std::exp(-4.6 / (std::max(decay, 1e-3) * fs));
        releaseCoef = std::exp(-4.6 / (std::max(release, 1e-3) * fs));
        level = sustain;
    }
    double next(bool gate)
    {
        if (!gate && stage < 2)
            stage = 2;
        if (stage == 0) {
            value += attackStep;
            if (value >= 1.0) {
                value = 1.0;
                stage = 1;
            }
        } else if (stage == 1) {
            value = level + (value - level) * decayCoef;
        } else {
            value *= releaseCoef;
        }
        return value;
    }
    bool finished() const { return stage == 2 && value < 1e-4; }

private:
    double attackStep = 1, decayCoef = 0, releaseCoef = 0, level = 1, value = 0;
    int stage = 0;
};

// State-variable filter (trapezoidal integration), stable under fast modulation.
class Filter {
public:
    void setup(double cutoff, double resonance)
    {
        cutoff = std::min(std::max(cutoff, 20.0), fs * 0.45);
        double g = std::tan(pi * cutoff / fs);
        double k = 2.0 - 1.9 * std::min(std::max(resonance, 0.0), 1.0);
        a1 = 1.0 / (1.0 + g * (g + k));
        a2 = g * a1;
        a3 = g * a2;
        damping = k;
    }
    void process(double x)
    {
        double v3 = x - ic2;
        double v1 = a1 * ic1 + a2 * v3;
        double v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2.0 * v1 - ic1;
        ic2 = 2.0 * v2 - ic2;
        low = v2;
        band = v1;
        high = x - damping * v1 - v2;
    }
    double low = 0, band = 0, high = 0;

private:
    double a1 = 0, a2 = 0, a3 = 0, damping = 2, ic1 = 0, ic2 = 0;
};

// Band-limited sawtooth and square (polynomial band-limited steps).
double blep(double t, double dt)
{
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

class Oscillator {
public:
    void start(double phase0) { phase = phase0 - std::floor(phase0); }
    double saw(double hz)
    {
        double dt = hz / fs;
        double v = 2.0 * phase - 1.0 - blep(phase, dt);
        advance(dt);
        return v;
    }
    double square(double hz)
    {
        double dt = hz / fs;
        double v = (phase < 0.5 ? 1.0 : -1.0) + blep(phase, dt);
        double p2 = phase + 0.5;
        v -= blep(p2 - std::floor(p2), dt);
        advance(dt);
        return v;
    }
    double sine(double hz)
    {
        double v = std::sin(2.0 * pi * phase);
        advance(hz / fs);
        return v;
    }

private:
    void advance(double dt)
    {
        phase += dt;
        if (phase >= 1.0)
            phase -= 1.0;
    }
    double phase = 0;
};

// Everything a voice needs from its instrument, defaults filled in.
struct VoiceSetup {
    Score::VoiceKind kind = Score::Pad;
    double attack = 0, decay = 0.3, sustain = 1, release = 0.2;
    double envmod = 0, detune = 0, width = 0, tone = 1, vibrato = 0;
    int unison = 1;
    double beat = 0.5;
};

// What the automation says for one instrument during one block.
struct Controls {
    double cutoff = 1000;
    double resonance = 0;
};

struct Note {
    int instrument = 0;
    int64_t start = 0, end = 0; // samples; end is the gate's end
    double note = 60;
    double velocity = 0.8;
    uint32_t seed = 0;
};

class Voice {
public:
    Voice(const Note& n, const VoiceSetup& s) : note(n), setup(s), random(n.seed), hz(noteHz(n.note))
    {
        env.setup(s.attack, s.decay, s.sustain, s.release);
    }
    virtual ~Voice() = default;

    // Adds this voice's samples [from, from + count) to left and right; false once it
    // has faded out for good.
    bool render(float* left, float* right, int64_t from, int count, const Controls& c)
    {
        int skip = static_cast<int>(std::max<int64_t>(0, note.start - from));
        if (skip >= count)
            return true;
        control(c);
        for (int i = skip; i < count; ++i) {
            int64_t at = from + i;
            double t = static_cast<double>(at - note.start) / fs;
            double l = 0, r = 0;
            if (!sample(t, at < note.end, l, r))
                return false;
            left[i] += static_cast<float>(l * note.velocity);
            right[i] += static_cast<float>(r * note.velocity);
        }
        return true;
    }

protected:
    // Once per block: follow the automation.
    virtual void control(const Controls&) {}
    // One stereo sample at t seconds into the note; false when done.
    virtual bool sample(double t, bool gate, double& l, double& r) = 0;

    Note note;
    VoiceSetup setup;
    Random random;
    Envelope env;
    double hz;
};

// Falling sine with a click on top; sample 0 of the note is its loudest edge.
class KickVoice : public Voice {
public:
    using Voice::Voice;
    bool sample(double t, bool, double& l, double& r) override
    {
        if (t > setup.decay * 6.0)
            return false;
        double f = setup.tone * (46.0 + 150.0 * std::exp(-t / 0.03));
        phase += f / fs;
        double body = std::sin(2.0 * pi * phase) * std::exp(-t / setup.decay);
        body = std::tanh(1.6 * body) / std::tanh(1.6);
        double click = random.noise() * std::exp(-t / 0.0015) * 0.3;
        l = r = body + click;
        return true;
    }

private:
    double phase = 0;
};

class SnareVoice : public Voice {
public:
    SnareVoice(const Note& n, const VoiceSetup& s) : Voice(n, s) { hp.setup(3200 * s.tone, 0.1); }
    bool sample(double t, bool, double& l, double& r) override
    {
        if (t > setup.decay * 7.0)
            return false;
        double body = (std::sin(2.0 * pi * 185.0 * setup.tone * t) * 0.6 + std::sin(2.0 * pi * 330.0 * setup.tone * t) * 0.3) *
                      std::exp(-t / 0.05);
        hp.process(random.noise());
        double rattle = (hp.band * 0.9 + hp.high * 0.3) * std::exp(-t / setup.decay);
        l = r = body * 0.6 + rattle * 0.8;
        return true;
    }

private:
    Filter hp;
};

// Three quick bursts, then a tail: a hand clap.
class ClapVoice : public Voice {
public:
    ClapVoice(const Note& n, const VoiceSetup& s) : Voice(n, s) { bp.setup(1200 * s.tone, 0.45); }
    bool sample(double t, bool, double& l, double& r) override
    {
        if (t > 0.03 + setup.decay * 7.0)
            return false;
        double e = 0;
        for (double burst : {0.0, 0.011, 0.022})
            if (t >= burst)
                e = std::max(e, std::exp(-(t - burst) / 0.004));
        if (t >= 0.022)
            e = std::max(e, 0.6 * std::exp(-(t - 0.022) / setup.decay));
        bp.process(random.noise());
        l = r = bp.band * e * 2.0;
        return true;
    }

private:
    Filter bp;
};

// Metallic squares and noise above a high-pass: hats and cymbals.
class MetalVoice : public Voice {
public:
    MetalVoice(const Note& n, const VoiceSetup& s, double cutoff) : Voice(n, s)
    {
        hpL.setup(cutoff, 0.2);
        hpR.setup(cutoff, 0.2);
        for (int i = 0; i < 6; ++i)
            osc[i].start(random.unit());
    }
    bool sample(double t, bool, double& l, double& r) override
    {
        if (t > setup.decay * 7.0)
            return false;
        static const double ratios[6] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
        double metal = 0;
        for (int i = 0; i < 6; ++i)
            metal += osc[i].square(ratios[i] * 1.7 * setup.tone);
        double e = std::exp(-t / setup.decay);
        hpL.process(metal * 0.12 + random.noise() * 0.6);
        hpR.process(metal * 0.12 + random.noise() * 0.6);
        l = hpL.high * e;
        r = hpR.high * e;
        return true;
    }

private:
    Oscillator osc[6];
    Filter hpL, hpR;
};

// Saw and sub sine under a resonant low-pass that opens on each note.
class BassVoice : public Voice {
public:
    using Voice::Voice;
    void control(const Controls& c) override
    {
        cutoff = c.cutoff;
        resonance = c.resonance;
    }
    bool sample(double t, bool gate, double& l, double& r) override
    {
        double a = env.next(gate);
        if (env.finished())
            return false;
        if (count++ % 16 == 0)
            lp.setup(cutoff * std::pow(2.0, setup.envmod * std::exp(-t / 0.12)), resonance);
        double x = saw.saw(hz) * 0.7 + sub.sine(hz) * 0.8;
        lp.process(x);
        l = r = std::tanh(lp.low * 1.2) * a;
        return true;
    }

private:
    Oscillator saw, sub;
    Filter lp;
    double cutoff = 400, resonance = 0;
    unsigned count = 0;
};

// A stack of detuned saws spread across the stereo field, slowly breathing.
class PadVoice : public Voice {
public:
    PadVoice(const Note& n, const VoiceSetup& s) : Voice(n, s)
    {
        int u = std::max(1, s.unison);
        for (int i = 0; i < u; ++i) {
            double spread = u > 1 ? 2.0 * i / (u - 1) - 1.0 : 0.0;
            detune.push_back(std::pow(2.0, spread * s.detune / 1200.0));
            pan.push_back(spread * s.width);
            osc.emplace_back();
            osc.back().start(random.unit());
        }
        norm = 1.0 / std::sqrt(static_cast<double>(u));
        lfoPhase = random.unit();
    }
    void control(const Controls& c) override
    {
        cutoff = c.cutoff;
        resonance = c.resonance;
    }
    bool sample(double t, bool gate, double& l, double& r) override
    {
        double a = env.next(gate);
        if (env.finished())
            return false;
        if (count++ % 32 == 0) {
            double breathe = std::pow(2.0, 0.35 * std::sin(2.0 * pi * (0.11 * t + lfoPhase)));
            lpL.setup(cutoff * breathe, resonance);
            lpR.setup(cutoff * breathe * 1.05, resonance);
        }
        double sl = 0, sr = 0;
        for (size_t i = 0; i < osc.size(); ++i) {
            double v = osc[i].saw(hz * detune[i]);
            sl += v * (1.0 - pan[i]) * 0.5;
            sr += v * (1.0 + pan[i]) * 0.5;
        }
        lpL.process(sl * norm);
        lpR.process(sr * norm);
        l = lpL.low * a;
        r = lpR.low * a;
        return true;
    }

private:
    std::vector<Oscillator> osc;
    std::vector<double> detune, pan;
    Filter lpL, lpR;
    double norm = 1, lfoPhase = 0, cutoff = 2000, resonance = 0;
    unsigned count = 0;
};

// Two detuned saws and a square with delayed vibrato: the lead.
class LeadVoice : public Voice {
public:
    LeadVoice(const Note& n, const VoiceSetup& s) : Voice(n, s)
    {
        a.start(random.unit());
        b.start(random.unit());
        c.start(random.unit());
    }
    void control(const Controls& k) override
    {
        cutoff = k.cutoff;
        resonance = k.resonance;
    }
    bool sample(double t, bool gate, double& l, double& r) override
    {
        double e = env.next(gate);
        if (env.finished())
            return false;
        double depth = setup.vibrato * std::min(1.0, std::max(0.0, (t - 0.2) / 0.3));
        double f = hz * std::pow(2.0, depth * std::sin(2.0 * pi * 5.5 * t) / 1200.0);
        double d = std::pow(2.0, setup.detune / 1200.0);
        if (count++ % 16 == 0) {
            double open = cutoff * std::pow(2.0, setup.envmod * std::exp(-t / 0.25));
            lpL.setup(open, resonance);
            lpR.setup(open, resonance);
        }
        double sa = a.saw(f * d), sb = b.saw(f / d), sq = c.square(f) * 0.45;
        lpL.process(sa * (0.5 + setup.width * 0.5) + sb * (0.5 - setup.width * 0.5) + sq);
        lpR.process(sb * (0.5 + setup.width * 0.5) + sa * (0.5 - setup.width * 0.5) + sq);
        l = lpL.low * e * 0.6;
        r = lpR.low * e * 0.6;
        return true;
    }

private:
    Oscillator a, b, c;
    Filter lpL, lpR;
    double cutoff = 2500, resonance = 0;
    unsigned count = 0;
};

// A short, bright note that closes fast: arpeggios.
class PluckVoice : public Voice {
public:
    PluckVoice(const Note& n, const VoiceSetup& s) : Voice(n, s) { osc.start(random.unit()); }
    void control(const Controls& k) override
    {
        cutoff = k.cutoff;
        resonance = k.resonance;
    }
    bool sample(double t, bool gate, double& l, double& r) override
    {
        double e = env.next(gate);
        if (env.finished())
            return false;
        if (count++ % 16 == 0)
            lp.setup(cutoff * std::pow(2.0, setup.envmod * std::exp(-t / 0.08)), resonance);
        lp.process(osc.saw(hz) * 0.6 + sq.square(hz * 2.0) * 0.25);
        l = r = lp.low * e;
        return true;
    }

private:
    Oscillator osc, sq;
    Filter lp;
    double cutoff = 800, resonance = 0;
    unsigned count = 0;
};

// Two-operator FM with a bright attack that mellows, panned slowly: an electric piano.
class KeysVoice : public Voice {
public:
    using Voice::Voice;
    bool sample(double t, bool gate, double& l, double& r) override
    {
        double e = env.next(gate);
        if (env.finished())
            return false;
        double index = 1.6 * std::exp(-t / 0.6) + 0.35;
        double mod = std::sin(2.0 * pi * hz * setup.tone * t) * index;
        double tine = std::sin(2.0 * pi * hz * 14.0 * t) * 0.6 * std::exp(-t / 0.02);
        double v = std::sin(2.0 * pi * hz * t + mod + tine) * e;
        double trem = 0.25 * setup.width * std::sin(2.0 * pi * 4.2 * t);
        l = v * (1.0 - trem);
        r = v * (1.0 + trem);
        return true;
    }
};

// Band-passed noise under the automation: risers and washes.
class NoiseVoice : public Voice {
public:
    using Voice::Voice;
    void control(const Controls& c) override
    {
        bpL.setup(c.cutoff, c.resonance);
        bpR.setup(c.cutoff * 1.07, c.resonance);
    }
    bool sample(double, bool gate, double& l, double& r) override
    {
        double e = env.next(gate);
        if (env.finished())
            return false;
        bpL.process(random.noise());
        bpR.process(random.noise());
        l = bpL.band * e;
        r = bpR.band * e;
        return true;
    }

private:
    Filter bpL, bpR;
};

std::unique_ptr<Voice> makeVoice(const Note& n, const VoiceSetup& s, double cutoff)
{
    switch (s.kind) {
    case Score::Kick:
        return std::make_unique<KickVoice>(n, s);
    case Score::Snare:
        return std::make_unique<SnareVoice>(n, s);
    case Score::Clap:
        return std::make_unique<ClapVoice>(n, s);
    case Score::Hat:
    case Score::Cymbal:
        return std::make_unique<MetalVoice>(n, s, cutoff);
    case Score::Bass:
        return std::make_unique<BassVoice>(n, s);
    case Score::Pad:
        return std::make_unique<PadVoice>(n, s);
    case Score::Lead:
        return std::make_unique<LeadVoice>(n, s);
    case Score::Pluck:
        return std::make_unique<PluckVoice>(n, s);
    case Score::Keys:
        return std::make_unique<KeysVoice>(n, s);
    default:
        return std::make_unique<NoiseVoice>(n, s);
    }
}

// Per-voice defaults: attack decay sustain release cutoff resonance envmod detune unison width.
struct Defaults {
    double attack, decay, sustain, release, cutoff, resonance, envmod, detune, unison, width;
};
const Defaults voiceDefaults[Score::VoiceCount] = {
    /* kick   */ {0, 0.25, 0, 0.1, 20000, 0, 0, 0, 1, 0},
    /* snare  */ {0, 0.13, 0, 0.1, 20000, 0, 0, 0, 1, 0},
    /* clap   */ {0, 0.14, 0, 0.1, 20000, 0, 0, 0, 1, 0},
    /* hat    */ {0, 0.045, 0, 0.05, 7000, 0, 0, 0, 1, 0},
    /* cymbal */ {0, 1.6, 0, 0.5, 5000, 0, 0, 0, 1, 0},
    /* bass   */ {0.003, 0.25, 0.7, 0.08, 400, 0.25, 2.5, 0, 1, 0},
    /* pad    */ {1.0, 1.5, 0.8, 1.8, 2200, 0.1, 0, 14, 5, 0.8},
    /* lead   */ {0.008, 0.4, 0.65, 0.25, 2600, 0.2, 1.5, 8, 1, 0.4},
    /* pluck  */ {0.001, 0.35, 0, 0.25, 700, 0.3, 3.5, 0, 1, 0},
    /* keys   */ {0.002, 2.0, 0.2, 0.7, 20000, 0, 0, 0, 1, 0.5},
    /* noise  */ {0.01, 1.0, 1.0, 0.5, 1000, 0.5, 0, 0, 1, 0},
};

// A room: parallel damped comb filters into series all-passes, per side.
class Reverb {
public:
    Reverb()
    {
        static const int combs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
        static const int passes[4] = {556, 441, 341, 225};
        for (int side = 0; side < 2; ++side) {
            for (int i = 0; i < 8; ++i)
                comb[side][i].assign(static_cast<size_t>(combs[i] + 23 * side), 0.0f);
            for (int i = 0; i < 4; ++i)
                pass[side][i].assign(static_cast<size_t>(passes[i] + 23 * side), 0.0f);
        }
        preDelay.assign(static_cast<size_t>(0.02 * fs), 0.0f);
    }
    void process(const float* in, float* outL, float* outR, int n)
    {
        for (int i = 0; i < n; ++i) {
            // Pre-delay, and no low end into the room.
            float x = preDelay[preAt];
            preDelay[preAt] = in[i];
            preAt = (preAt + 1) % preDelay.size();
            lowState += 0.03f * (x - lowState);
            x = (x - lowState) * 0.015f;
            for (int side = 0; side < 2; ++side) {
                float sum = 0;
                for (int c = 0; c < 8; ++c) {
                    std::vector<float>& buf = comb[side][c];
                    size_t& at = combAt[side][c];
                    float y = buf[at];
                    combStore[side][c] = y * (1.0f - damp) + combStore[side][c] * damp;
                    buf[at] = x + combStore[side][c] * room;
                    at = (at + 1) % buf.size();
                    sum += y;
                }
                for (int p = 0; p < 4; ++p) {
                    std::vector<float>& buf = pass[side][p];
                    size_t& at = passAt[side][p];
                    float b = buf[at];
                    buf[at] = sum + b * 0.5f;
                    at = (at + 1) % buf.size();
                    sum = b - sum;
                }
                (side == 0 ? outL : outR)[i] += sum;
            }
        }
    }

private:
    std::vector<float> comb[2][8], pass[2][4], preDelay;
    size_t combAt[2][8] = {}, passAt[2][4] = {}, preAt = 0;
    float combStore[2][8] = {};
    float lowState = 0;
    const float room = 0.86f, damp = 0.3f;
};

// Ping-pong echo, darker on every repeat.
class Echo {
public:
    explicit Echo(double seconds) : length(std::max<size_t>(1, static_cast<size_t>(seconds * fs)))
    {
        bufL.assign(length, 0.0f);
        bufR.assign(length, 0.0f);
    }
    void process(const float* inL, const float* inR, float* outL, float* outR, int n)
    {
        for (int i = 0; i < n; ++i) {
            float dl = bufL[at], dr = bufR[at];
            toneL += 0.35f * (dr - toneL);
            toneR += 0.35f * (dl - toneR);
            bufL[at] = (inL[i] + inR[i]) * 0.5f + toneL * feedback;
            bufR[at] = toneR * feedback;
            at = (at + 1) % length;
            outL[i] += dl;
            outR[i] += dr;
        }
    }

private:
    size_t length;
    std::vector<float> bufL, bufR;
    size_t at = 0;
    float toneL = 0, toneR = 0;
    const float feedback = 0.42f;
};

// A parameter of one instrument over time: its base value, overridden inside sweeps.
struct Automation {
    struct Segment {
        double from, to, startS, endS;
    };
    double base = 0;
    bool exponential = false;
    std::vector<Segment> segments;
    double at(double t) const
    {
        double v = base;
        for (const Segment& s : segments)
            if (t >= s.startS && t < s.endS) {
                double x = (t - s.startS) / (s.endS - s.startS);
                v = exponential ? s.from * std::pow(s.to / s.from, x) : s.from + (s.to - s.from) * x;
            }
        return v;
    }
};

struct InstrumentState {
    VoiceSetup setup;
    double gain = 1, pan = 0, reverb = 0, delay = 0, duck = 0, humanize = 0;
    int octave = 0;
    Automation cutoff, resonance, level, reverbSend;
    std::vector<std::unique_ptr<Voice>> active;
};

// Turns the sections' plays into notes.
class Arranger {
public:
    Arranger(const Score& score, std::vector<InstrumentState>& instruments, std::vector<Note>& notes)
        : score(score), instruments(instruments), notes(notes), random(score.seed ^ 0xA5A5u)
    {
    }

    void play(const Score::Section& section, const Score::Play& p)
    {
        const Score::Instrument& inst = score.instruments[static_cast<size_t>(p.instrument)];
        InstrumentState& state = instruments[static_cast<size_t>(p.instrument)];
        double sectionStart = score.barStart(section.firstBar);
        double t0 = score.barStart(section.firstBar + p.fromBar - 1);
        double t1 = score.barStart(section.firstBar + p.toBar);
        double beat = score.beatSeconds();
        double shift = 12.0 * state.octave;
        const Score::Progression* progression =
            section.progression >= 0 ? &score.progressions[static_cast<size_t>(section.progression)] : nullptr;
        auto chordAt = [&](double t) -> const Score::Chord& {
            double b = std::fmod((t - sectionStart) / beat + 1e-9, progression->beats);
            for (const Score::ChordStep& step : progression->steps) {
                if (b < step.beats)
                    return score.chords[static_cast<size_t>(step.chord)];
                b -= step.beats;
            }
            return score.chords[static_cast<size_t>(progression->steps.back().chord)];
        };
        auto voicing = [&](const Score::Chord& c) {
            return inst.voice == Score::Bass ? std::vector<int>{c.bass} : c.notes;
        };

        if (p.what == Score::Play::Chords) {
            double t = sectionStart;
            for (size_t k = 0; t < t1 - 1e-9; ++k) {
                const Score::ChordStep& step = progression->steps[k % progression->steps.size()];
                double end = t + step.beats * beat;
                if (end > t0 + 1e-9)
                    for (int n : voicing(score.chords[static_cast<size_t>(step.chord)]))
                        add(p.instrument, std::max(t, t0), std::min(end, t1), n + shift, 0.8);
                t = end;
            }
        } else if (p.what == Score::Play::Hold) {
            if (inst.voice == Score::Noise)
                add(p.instrument, t0, t1, 60, 0.8);
            else
                for (int n : voicing(chordAt(t0)))
                    add(p.instrument, t0, t1, n + shift, 0.8);
        } else {
            const Score::Pattern& pattern = score.patterns[static_cast<size_t>(p.pattern)];
            if (pattern.kind == Score::Pattern::Melody) {
                double t = sectionStart;
                for (size_t k = 0; t < t1 - 1e-9; ++k) {
                    const Score::MelodyNote& m = pattern.notes[k % pattern.notes.size()];
                    double end = t + m.beats * beat;
                    if (m.note >= 0 && t >= t0 - 1e-9)
                        add(p.instrument, t, std::min(end, t1), m.note + shift, 0.8);
                    t = end;
                }
            } else {
                double dt = beat / 4.0;
                size_t n = pattern.steps.size();
                size_t first = static_cast<size_t>(std::llround((t0 - sectionStart) / dt));
                size_t last = static_cast<size_t>(std::llround((t1 - sectionStart) / dt));
                for (size_t k = first; k < last; ++k) {
                    const Score::Step& s = pattern.steps[k % n];
                    double t = sectionStart + k * dt;
                    if (s.kind == Score::Step::Rest || s.kind == Score::Step::Hold)
                        continue;
                    size_t length = 1;
                    while (k + length < last && pattern.steps[(k + length) % n].kind == Score::Step::Hold)
                        ++length;
                    double end = t + length * dt;
                    if (s.kind == Score::Step::Hit) {
                        add(p.instrument, t, end, 60, s.velocity);
                        continue;
                    }
                    const Score::Chord& c = chordAt(t);
                    double note;
                    if (s.kind == Score::Step::Root)
                        note = c.bass;
                    else if (s.kind == Score::Step::Fifth)
                        note = c.bass + 7;
                    else
                        note = c.notes[static_cast<size_t>(s.tone) % c.notes.size()] +
                               12.0 * (static_cast<size_t>(s.tone) / c.notes.size());
                    add(p.instrument, t, end, note + 12.0 * s.octave + shift, 0.8);
                }
            }
        }
    }

private:
    void add(int instrument, double start, double end, double note, double velocity)
    {
        InstrumentState& state = instruments[static_cast<size_t>(instrument)];
        Note n;
        n.instrument = instrument;
        n.start = std::llround(start * fs);
        n.end = std::llround(end * fs);
        n.note = note;
        n.velocity = velocity * (1.0 - state.humanize * 0.5 * random.unit());
        n.seed = random.next();
        notes.push_back(n);
    }

    const Score& score;
    std::vector<InstrumentState>& instruments;
    std::vector<Note>& notes;
    Random random;
};

// Each instrument's synthesis setup, mix settings and automation bases from the score.
std::vector<InstrumentState> instrumentStates(const Score& score)
{
    std::vector<InstrumentState> instruments(score.instruments.size());
    for (size_t i = 0; i < score.instruments.size(); ++i) {
        const Score::Instrument& inst = score.instruments[i];
        const Defaults& d = voiceDefaults[inst.voice];
        InstrumentState& s = instruments[i];
        s.setup.kind = inst.voice;
        s.setup.attack = inst.param("attack", d.attack);
        s.setup.decay = inst.param("decay", d.decay);
        s.setup.sustain = inst.param("sustain", d.sustain);
        s.setup.release = inst.param("release", d.release);
        s.setup.envmod = inst.param("envmod", d.envmod);
        s.setup.detune = inst.param("detune", d.detune);
        s.setup.unison = static_cast<int>(inst.param("unison", d.unison));
        s.setup.width = inst.param("width", d.width);
        s.setup.tone = inst.param("tone", 1.0);
        s.setup.vibrato = inst.param("vibrato", inst.voice == Score::Lead ? 18.0 : 0.0);
        s.setup.beat = score.beatSeconds();
        s.gain = dbToGain(inst.param("gain", 0.0));
        s.pan = inst.param("pan", 0.0);
        s.reverb = inst.param("reverb", 0.0);
        s.delay = inst.param("delay", 0.0);
        s.duck = inst.param("duck", 0.0);
        s.humanize = inst.param("humanize", 0.0);
        s.octave = static_cast<int>(inst.param("octave", 0.0));
        s.cutoff.base = inst.param("cutoff", d.cutoff);
        s.cutoff.exponential = true;
        s.resonance.base = inst.param("resonance", d.resonance);
        s.level.base = 1.0;
        s.reverbSend.base = s.reverb;
    }

    return instruments;
}

// The notes of every section's plays (and the sweeps' automation segments): those that
// start inside the window of length samples from offset, moved to its start, in order.
std::vector<Note> arrange(const Score& score, std::vector<InstrumentState>& instruments, int64_t offset,
                          int64_t length)
{
    std::vector<Note> all;
    Arranger arranger(score, instruments, all);
    for (const Score::Section& section : score.sections) {
        for (const Score::Play& p : section.plays)
            arranger.play(section, p);
        for (const Score::Sweep& sw : section.sweeps) {
            InstrumentState& s = instruments[static_cast<size_t>(sw.instrument)];
            Automation& a = sw.param == "cutoff" ? s.cutoff : sw.param == "level" ? s.level
                                                           : sw.param == "resonance" ? s.resonance
                                                                                     : s.reverbSend;
            a.segments.push_back({sw.from, sw.to, score.barStart(section.firstBar + sw.fromBar - 1),
                                  score.barStart(section.firstBar + sw.toBar)});
        }
    }
    // Only what starts inside the window, moved to its start.
    std::vector<Note> queue;
    for (Note n : all) {
        if (n.start < offset || n.start >= offset + length)
            continue;
        n.start -= offset;
        n.end -= offset;
        queue.push_back(n);
    }
    std::stable_sort(queue.begin(), queue.end(), [](const Note& a, const Note& b) { return a.start < b.start; });
    return queue;
}

} // namespace

ScoreRenderer::ScoreRenderer(const Score& score) : score(score) {}

void ScoreRenderer::render(std::vector<float>& stereo, int fromBar, int toBar)
{
    if (toBar <= 0 || toBar > score.bars)
        toBar = score.bars;
    fromBar = std::max(1, std::min(fromBar, toBar));
    const double windowStart = score.barStart(fromBar);
    const int64_t offset = std::llround(windowStart * fs);
    const int64_t total = std::llround((score.barStart(toBar + 1) - windowStart + score.tail) * fs);

    std::vector<InstrumentState> instruments = instrumentStates(score);
    const std::vector<Note> queue = arrange(score, instruments, offset,
                                            std::llround((score.barStart(toBar + 1) - windowStart) * fs));
    notes = queue.size();

    // Every kick starts a dip in the instruments that duck.
    std::vector<int64_t> kicks;
    for (const Note& n : queue)
        if (score.instruments[static_cast<size_t>(n.instrument)].voice == Score::Kick)
            kicks.push_back(n.start);

    stereo.assign(static_cast<size_t>(total) * 2, 0.0f);
    Reverb reverb;
    Echo echo(score.beatSeconds() * 0.75);
    float tmpL[blockSize], tmpR[blockSize], duckEnv[blockSize];
    float dryL[blockSize], dryR[blockSize], revIn[blockSize], echoL[blockSize], echoR[blockSize];
    size_t nextNote = 0, nextKick = 0;
    int64_t lastKick = -1000000000;
    double dcL = 0, dcR = 0, dcInL = 0, dcInR = 0;

    for (int64_t from = 0; from < total; from += blockSize) {
        int n = static_cast<int>(std::min<int64_t>(blockSize, total - from));
        double t = (from + offset) / fs;
        while (nextNote < queue.size() && queue[nextNote].start < from + n) {
            const Note& note = queue[nextNote++];
            InstrumentState& s = instruments[static_cast<size_t>(note.instrument)];
            s.active.push_back(makeVoice(note, s.setup, s.cutoff.at(note.start / fs + windowStart)));
        }
        for (int i = 0; i < n; ++i) {
            while (nextKick < kicks.size() && kicks[nextKick] <= from + i)
                lastKick = kicks[nextKick++];
            double since = static_cast<double>(from + i - lastKick) / fs;
            duckEnv[i] = static_cast<float>(since < 0.003 ? since / 0.003 : std::exp(-(since - 0.003) / 0.12));
        }
        std::fill(dryL, dryL + n, 0.0f);
        std::fill(dryR, dryR + n, 0.0f);
        std::fill(revIn, revIn + n, 0.0f);
        std::fill(echoL, echoL + n, 0.0f);
        std::fill(echoR, echoR + n, 0.0f);
        for (InstrumentState& s : instruments) {
            if (s.active.empty())
                continue;
            Controls c;
            c.cutoff = s.cutoff.at(t);
            c.resonance = s.resonance.at(t);
            std::fill(tmpL, tmpL + n, 0.0f);
            std::fill(tmpR, tmpR + n, 0.0f);
            auto& v = s.active;
            v.erase(std::remove_if(v.begin(), v.end(),
                                   [&](std::unique_ptr<Voice>& voice) { return !voice->render(tmpL, tmpR, from, n, c); }),
                    v.end());
            double g = s.gain * s.level.at(t);
            double panL = std::cos((s.pan + 1.0) * pi / 4.0) * std::sqrt(2.0);
            double panR = std::sin((s.pan + 1.0) * pi / 4.0) * std::sqrt(2.0);
            double rev = s.reverbSend.at(t);
            for (int i = 0; i < n; ++i) {
                double k = g * (1.0 - s.duck * duckEnv[i]);
                float l = static_cast<float>(tmpL[i] * k * panL), r = static_cast<float>(tmpR[i] * k * panR);
                dryL[i] += l;
                dryR[i] += r;
                revIn[i] += static_cast<float>((l + r) * 0.5 * rev);
                echoL[i] += static_cast<float>(l * s.delay);
                echoR[i] += static_cast<float>(r * s.delay);
            }
        }
        reverb.process(revIn, dryL, dryR, n);
        echo.process(echoL, echoR, dryL, dryR, n);
        for (int i = 0; i < n; ++i) {
            // Remove any DC and sub-sonic drift.
            double l = dryL[i], r = dryR[i];
            dcL = l - dcInL + 0.9995 * dcL;
            dcInL = l;
            dcR = r - dcInR + 0.9995 * dcR;
            dcInR = r;
            stereo[static_cast<size_t>(2 * (from + i))] = static_cast<float>(dcL);
            stereo[static_cast<size_t>(2 * (from + i) + 1)] = static_cast<float>(dcR);
        }
    }

    rawPeak = 0;
    for (float v : stereo)
        rawPeak = std::max(rawPeak, static_cast<double>(std::fabs(v)));
    gain = rawPeak > 0 ? dbToGain(score.normalizeDb) / rawPeak : 1.0;
    for (float& v : stereo)
        v = static_cast<float>(v * gain);
}

Status ScoreRenderer::writeWav(const std::string& path, const std::vector<float>& stereo, uint32_t seed)
{
    std::vector<uint8_t> bytes;
    auto put16 = [&bytes](uint32_t v) {
        bytes.push_back(static_cast<uint8_t>(v));
        bytes.push_back(static_cast<uint8_t>(v >> 8));
    };
    auto put32 = [&](uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    auto tag = [&bytes](const char* t) { bytes.insert(bytes.end(), t, t + 4); };
    uint64_t dataSize = stereo.size() / 2 * 4;
    if (dataSize > 0xFFFFFF00u)
        return Status::failure(path + ": too long for a WAV file");
    bytes.reserve(44 + dataSize);
    tag("RIFF");
    put32(static_cast<uint32_t>(36 + dataSize));
    tag("WAVE");
    tag("fmt ");
    put32(16);
    put16(1);
    put16(2);
    put32(sampleRate);
    put32(sampleRate * 4);
    put16(4);
    put16(16);
    tag("data");
    put32(static_cast<uint32_t>(dataSize));
    Random dither(seed ^ 0x5EEDu);
    for (size_t i = 0; i < (stereo.size() & ~size_t(1)); ++i) {
        double d = dither.unit() - dither.unit(); // triangular, +-1 LSB
        long v = std::lround(stereo[i] * 32767.0 + d);
        v = std::min(32767L, std::max(-32768L, v));
        put16(static_cast<uint32_t>(static_cast<int32_t>(v)));
    }
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        return Status::failure(path + ": cannot write");
    return Status::success();
}
