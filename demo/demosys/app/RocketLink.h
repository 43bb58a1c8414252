#pragma once

#include "NonCopyable.h"
#include "RocketProtocol.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The demo's end of a TCP link to a sync editor. Everything happens in poll(), once a
// frame, on a non-blocking socket: connecting (again every second while no editor
// answers), the greeting, one track request per name, the editor's commands, and the
// row while the demo plays. Whole, checked commands go to the handler; anything wrong
// ends the connection with one line, and the demo plays on.
class RocketLink : NonCopyable {
public:
    using CommandHandler = std::function<void(const RocketProtocol::Command&)>;
    // Connection news and drops, one line each, also for the overlay.
    using StatusHandler = std::function<void(const std::string& line, bool problem)>;

    // "HOST:PORT", "HOST" or ":PORT" over the default 127.0.0.1:1338; false when it is
    // malformed.
    static bool parseAddress(const std::string& text, std::string& host, uint16_t& port);

    RocketLink(const std::string& host, uint16_t port, std::vector<std::string> trackNames, uint32_t lastRow,
               CommandHandler onCommand, StatusHandler onStatus);
    ~RocketLink();

    // Once a frame; row is the demo's row now, playing whether it runs.
    void poll(uint32_t row, bool playing);
    // The row the editor last set: not sent back to it.
    void rowFromEditor(uint32_t row) { lastSentRow = row; }

    bool isConnected() const { return state == State::Linked; }
    const std::vector<std::string>& getTrackNames() const { return names; }

private:
    enum class State { Idle, Connecting, Greeting, Linked };

    void tryConnect();
    void drop(const std::string& reason, bool problem);
    bool sendAll(const std::string& bytes);
    void receive();

    std::string host;
    uint16_t port;
    std::vector<std::string> names;
    uint32_t lastRow;
    CommandHandler onCommand;
    StatusHandler onStatus;

    State state = State::Idle;
    int fd = -1;
    RocketProtocol::CommandReader reader;
    std::chrono::steady_clock::time_point lastAttempt;
    bool attempted = false;
    bool everLinked = false;
    uint32_t lastSentRow = UINT32_MAX;
};
