#pragma once

#include <cstdint>
#include <functional>

// Something that builds up over music time (a tumbling rotation, a scroll that moves
// only while a curve is up) as the state after fixed steps of music time from a start,
// stepsPerSecond of them a second: step k (k = 1, 2, ...) is applied at
// start + k * 1000 / stepsPerSecond ms, and the state at a time has
// every step up to that time. Step k may depend only on its own time, so the state is a
// function of the start and the time alone, whatever the frame rate or the pauses.
//
// The last state is kept: going forward applies only the new steps, which gives bit for
// bit what applying all of them from the start gives; a jump back or a new start begins
// again from the initial state.
template <typename State>
class StepAccumulator {
public:
    using Step = std::function<void(State& state, double stepTimeMs)>;

    StepAccumulator(int stepsPerSecond, State initial, Step step)
        : stepsPerSecond(stepsPerSecond), initial(initial), state(initial), step(std::move(step))
    {
    }

    // The state at timeMs of a run that started at startMs (the initial state before).
    const State& at(uint32_t startMs, uint32_t timeMs)
    {
        // Whole numbers: a time on a step includes that step.
        const int64_t target = timeMs > startMs ? int64_t(timeMs - startMs) * stepsPerSecond / 1000 : 0;
        if (startMs != start || target < applied) {
            start = startMs;
            applied = 0;
            state = initial;
        }
        for (; applied < target; ++applied)
            step(state, double(start) + double(applied + 1) * 1000.0 / stepsPerSecond);
        return state;
    }

    // Forgets the steps: the next call begins from the initial state.
    void reset(State fresh)
    {
        initial = fresh;
        state = fresh;
        applied = 0;
    }

    int64_t getStepCount() const { return applied; }

private:
    int stepsPerSecond;
    State initial;
    State state;
    Step step;
    uint32_t start = 0;
    int64_t applied = 0;
};
