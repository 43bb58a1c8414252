#pragma once

#include <cstdint>
#include <string>

// The demo clock: whole milliseconds since the start of the piece, also expressed in
// sync rows at a fixed rate of rows per second. The base class is a free-running clock
// on the host timer (HostClock); the music timer derives from it, uses the same fields
// the same way and rebases the clock on the music position.
//
// The clock reads pauseTime - base while paused and host time - base while running, so
// pausing freezes it and seeking only moves base.
class Timer {
public:
    static constexpr uint32_t minRate = 1;
    static constexpr uint32_t maxRate = 1000;

    // rate is rows per second; values outside 1..1000 are clamped into that range, since
    // 0 would divide by zero and anything above 1000 makes a row shorter than 1 ms.
    // The timer starts paused.
    explicit Timer(uint32_t rate);
    virtual ~Timer();

    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // Sets the length (ten minutes for the free-running clock) and the clock to 0.
    virtual bool init();
    virtual bool shutdown();
    virtual void pause();
    // Resumes from the current clock value.
    virtual void play();
    virtual int getTimeMs();
    // Start of the current row in ms.
    virtual uint32_t getRowTimeMs();
    virtual uint32_t getRow();
    virtual void setRow(uint32_t row);
    // Works paused and running and keeps the state.
    virtual void setTimeMs(int ms);
    virtual bool isPaused();
    virtual uint32_t getLengthMs();
    virtual uint32_t getLengthRows();
    // ms since the previous call; 0 while paused (and the reference point stays put).
    virtual int getDeltaMs(int currentMs);
    // Once per frame.
    virtual void update();
    virtual std::string getMessage();
    // Fills out[0..count-1] with the spectrum at the clock's time (getSpectrumAt).
    // count <= 0 writes nothing (out may then be null).
    void getSpectrum(int mode, int count, float* out);
    // The spectrum at music time timeMs, whatever the clock says: effects pass the time
    // of the frame they draw, so a frame is the same however that time was reached. The
    // free-running clock has no music and gives a pseudo-random spectrum that depends on
    // the time alone.
    virtual void getSpectrumAt(double timeMs, int mode, int count, float* out);

    uint32_t getRate() const { return rate; }

protected:
    // Rows in a piece of lengthMs milliseconds at this timer's rate.
    uint32_t rowsForLength(uint32_t lengthMs) const;

    uint32_t rate;
    bool paused = true;
    std::string message;
    uint32_t lengthRows = 0;
    int32_t base = 0;
    int32_t pauseTime = 0;
    int32_t lastTime = 0;
    uint32_t lengthMs = 0;
};
