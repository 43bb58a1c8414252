#include "Transport.h"

#include "Log.h"
#include "Timer.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cstdio>
#include <utility>

using ORVDemosys::Log;

Transport::Transport(Timer* timer, const BeatGrid& grid, uint32_t startMs, uint32_t endMs)
    : timer(timer), grid(grid), startMs(startMs), endMs(std::max(startMs, endMs)), loopStartMs(startMs)
{
}

Transport::Action Transport::actionForKey(int key, int mods)
{
    const bool shift = (mods & GLFW_MOD_SHIFT) != 0;
    switch (key) {
    case GLFW_KEY_SPACE:
        return Action::TogglePause;
    case GLFW_KEY_RIGHT:
        return shift ? Action::NextBar : Action::NextBeat;
    case GLFW_KEY_LEFT:
        return shift ? Action::PreviousBar : Action::PreviousBeat;
    case GLFW_KEY_DOWN:
        return Action::NextSection;
    case GLFW_KEY_UP:
        return Action::PreviousSection;
    case GLFW_KEY_PAGE_DOWN:
        return Action::Forward10s;
    case GLFW_KEY_PAGE_UP:
        return Action::Back10s;
    case GLFW_KEY_HOME:
        return Action::Home;
    case GLFW_KEY_LEFT_BRACKET:
        return Action::SetLoopStart;
    case GLFW_KEY_RIGHT_BRACKET:
        return Action::SetLoopEnd;
    case GLFW_KEY_L:
        return Action::ToggleLoop;
    case GLFW_KEY_TAB:
        return Action::ToggleOverlay;
    default:
        return Action::None;
    }
}

Transport::Action Transport::handleKey(int key, int action, int mods)
{
    const Action a = actionForKey(key, mods);
    if (action == GLFW_RELEASE || a == Action::None)
        return Action::None;
    if (action == GLFW_REPEAT) {
        // A held key repeats seeks only: a repeated Space or L would flicker the state.
        const bool seek = a != Action::TogglePause && a != Action::SetLoopStart && a != Action::SetLoopEnd &&
                          a != Action::ToggleLoop && a != Action::ToggleOverlay;
        if (!seek)
            return Action::None;
    }
    if (a == Action::ToggleOverlay)
        return a;
    return perform(a) ? a : Action::None;
}

bool Transport::perform(Action action)
{
    const uint32_t t = getTimeMs();
    uint32_t to = 0;
    switch (action) {
    case Action::TogglePause:
        togglePause();
        return true;
    case Action::NextBeat:
        seek(grid.nextBeatMs(t));
        return true;
    case Action::PreviousBeat:
        seek(grid.previousBeatMs(t));
        return true;
    case Action::NextBar:
        seek(grid.nextBarMs(t));
        return true;
    case Action::PreviousBar:
        seek(grid.previousBarMs(t));
        return true;
    case Action::NextSection:
        // Past the last section start there is only the end.
        seek(grid.nextSectionMs(t, to) ? to : endMs);
        return true;
    case Action::PreviousSection:
        seek(grid.previousSectionMs(t, to) ? to : startMs);
        return true;
    case Action::Forward10s:
        seek(t > endMs - std::min(endMs, 10000u) ? endMs : t + 10000);
        return true;
    case Action::Back10s:
        seek(t > 10000 ? t - 10000 : 0);
        return true;
    case Action::Home:
        seek(startMs);
        return true;
    case Action::SetLoopStart:
        setLoopStart();
        return true;
    case Action::SetLoopEnd:
        setLoopEnd();
        return true;
    case Action::ToggleLoop:
        toggleLoop();
        return true;
    case Action::None:
    case Action::ToggleOverlay:
        break;
    }
    return false;
}

bool Transport::isPaused() const { return timer->isPaused(); }

uint32_t Transport::getTimeMs() const { return static_cast<uint32_t>(std::max(timer->getTimeMs(), 0)); }

void Transport::pause()
{
    // Pausing twice would move the clock's pause point, so only a running clock pauses.
    if (!timer->isPaused())
        timer->pause();
    Log::info() << "Paused at " << describe(getTimeMs()) << std::endl;
}

void Transport::resume()
{
    // The time it resumes from, read while the clock still stands: read after play()
    // a millisecond may already have passed.
    uint32_t at = getTimeMs();
    if (timer->isPaused()) {
        // At the end there is nothing left to play: start over.
        if (at >= endMs && endMs > startMs) {
            timer->setTimeMs(static_cast<int>(startMs));
            at = getTimeMs();
        }
        timer->play();
    }
    Log::info() << "Resumed at " << describe(at) << std::endl;
}

void Transport::togglePause()
{
    if (timer->isPaused())
        resume();
    else
        pause();
}

void Transport::seek(uint32_t timeMs) { seekTo(timeMs, true); }

void Transport::seekTo(uint32_t timeMs, bool announce)
{
    const uint32_t to = std::min(std::max(timeMs, startMs), endMs);
    timer->setTimeMs(static_cast<int>(to));
    if (announce)
        Log::info() << "Seek to " << describe(to) << std::endl;
}

void Transport::setLoopStart()
{
    loopStartMs = getTimeMs();
    if (loopEndSet && loopEndMs < loopStartMs)
        std::swap(loopStartMs, loopEndMs);
    if (loopEndSet && loopEndMs == loopStartMs) {
        loopEndSet = false;
        looping = false;
    }
    announceLoop();
}

void Transport::setLoopEnd()
{
    loopEndMs = getTimeMs();
    loopEndSet = true;
    if (loopEndMs < loopStartMs)
        std::swap(loopStartMs, loopEndMs);
    if (loopEndMs == loopStartMs) {
        loopEndSet = false;
        looping = false;
    }
    announceLoop();
}

void Transport::toggleLoop()
{
    // A loop without an end after its start has nothing to repeat: it stays off.
    looping = !looping && loopEndSet;
    announceLoop();
}

void Transport::setLoop(uint32_t firstMs, uint32_t lastMs)
{
    if (lastMs < firstMs)
        std::swap(firstMs, lastMs);
    loopStartMs = std::max(firstMs, startMs);
    loopEndMs = std::min(lastMs, endMs);
    loopEndSet = loopEndMs > loopStartMs;
    looping = loopEndSet;
    announceLoop();
}

void Transport::clearLoop()
{
    looping = false;
    announceLoop();
}

void Transport::announceLoop() const
{
    Log::info() << "Loop " << loopText() << (looping ? " on" : " off") << std::endl;
}

void Transport::update()
{
    if (timer->isPaused())
        return;
    const uint32_t t = getTimeMs();
    if (looping && loopEndSet && t >= loopEndMs) {
        seekTo(loopStartMs, false);
        return;
    }
    if (t >= endMs) {
        timer->pause();
        timer->setTimeMs(static_cast<int>(endMs));
        Log::info() << "Paused at " << describe(endMs) << std::endl;
    }
}

std::string Transport::clockText(uint32_t timeMs)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02u:%02u:%03u", timeMs / 60000, timeMs / 1000 % 60, timeMs % 1000);
    return text;
}

std::string Transport::describe(uint32_t timeMs) const
{
    const uint32_t row = static_cast<uint32_t>(uint64_t(timeMs) * timer->getRate() / 1000u);
    return clockText(timeMs) + " row " + std::to_string(row) + " bar " + grid.barBeatText(timeMs);
}

std::string Transport::loopText() const
{
    return clockText(loopStartMs) + " - " + (loopEndSet ? clockText(loopEndMs) : std::string("--:--:---"));
}
