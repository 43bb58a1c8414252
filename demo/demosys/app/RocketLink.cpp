#include "RocketLink.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

namespace {

const std::chrono::milliseconds retryInterval(1000);
// A host that does not answer at all: give up on the attempt and try again.
const std::chrono::milliseconds connectTimeout(3000);

} // namespace

bool RocketLink::parseAddress(const std::string& text, std::string& hostOut, uint16_t& portOut)
{
    std::string h = "127.0.0.1";
    unsigned long p = 1338;
    const size_t colon = text.rfind(':');
    const std::string hostPart = colon == std::string::npos ? text : text.substr(0, colon);
    if (!hostPart.empty())
        h = hostPart;
    if (colon != std::string::npos) {
        const std::string digits = text.substr(colon + 1);
        if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
            return false;
        p = std::stoul(digits);
        if (p < 1 || p > 65535)
            return false;
    }
    hostOut = h;
    portOut = static_cast<uint16_t>(p);
    return true;
}

RocketLink::RocketLink(const std::string& host, uint16_t port, std::vector<std::string> trackNames, uint32_t lastRow,
                       CommandHandler onCommand, StatusHandler onStatus)
    : host(host), port(port), names(std::move(trackNames)), lastRow(lastRow), onCommand(std::move(onCommand)),
      onStatus(std::move(onStatus))
{
}

RocketLink::~RocketLink()
{
    if (fd >= 0)
        ::close(fd);
}

void RocketLink::drop(const std::string& reason, bool problem)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
    state = State::Idle;
    reader.reset();
    if (!reason.empty())
        onStatus(reason, problem);
}

void RocketLink::tryConnect()
{
    const auto now = std::chrono::steady_clock::now();
    if (attempted && now - lastAttempt < retryInterval)
        return;
    attempted = true;
    lastAttempt = now;

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found)
        return;
    fd = ::socket(found->ai_family, found->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, found->ai_protocol);
    if (fd >= 0) {
        const int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (::connect(fd, found->ai_addr, found->ai_addrlen) == 0 || errno == EINPROGRESS) {
            state = State::Connecting;
        } else {
            ::close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(found);
}

bool RocketLink::sendAll(const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // The few bytes a demo sends fill no buffer for long: wait for room.
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, 100) > 0)
                continue;
        }
        return false;
    }
    return true;
}

void RocketLink::receive()
{
    uint8_t chunk[4096];
    // At most 256 KiB a frame: an editor that sends without pause cannot hold the frame
    // or make the buffer grow without bound; the rest waits for the next frame.
    for (int reads = 0; reads < 64; ++reads) {
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n > 0) {
            reader.feed(chunk, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        // Closed (or failed): what arrived whole still counts, a command half read does not.
        RocketProtocol::Command command;
        Status read;
        bool ready = true;
        while (state == State::Linked && ready) {
            read = reader.next(command, ready);
            if (!read)
                break;
            if (ready)
                onCommand(command);
        }
        if (!read)
            drop("Rocket: " + read.reason() + ": connection dropped", true);
        else if (reader.pending() > 0)
            drop("Rocket: the editor closed the connection in the middle of a command: dropped", true);
        else
            drop("Rocket: the editor went away", false);
        return;
    }
}

void RocketLink::poll(uint32_t row, bool playing)
{
    if (state == State::Idle) {
        tryConnect();
        if (state == State::Idle)
            return;
    }
    if (state == State::Connecting) {
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, 0) <= 0) {
            if (std::chrono::steady_clock::now() - lastAttempt > connectTimeout)
                drop(std::string(), false);
            return;
        }
        int error = 0;
        socklen_t size = sizeof error;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
            // No editor there yet: try again in a second, without a line each time.
            drop(std::string(), false);
            return;
        }
        if (!sendAll(std::string(RocketProtocol::clientGreeting, RocketProtocol::clientGreetingSize))) {
            drop(std::string(), false);
            return;
        }
        reader.reset();
        state = State::Greeting;
    }
    receive();
    if (state == State::Greeting) {
        if (!reader.greeted()) {
            RocketProtocol::Command none;
            bool ready = false;
            Status read = reader.next(none, ready);
            if (!read)
                drop("Rocket: " + read.reason() + ": connection dropped", true);
            else if (!reader.greeted() && std::chrono::steady_clock::now() - lastAttempt > 2 * connectTimeout)
                drop("Rocket: " + host + ":" + std::to_string(port) + " does not answer the greeting: dropped", true);
            if (!reader.greeted())
                return;
        }
        // Every track is asked for at once: an index is the order of its request.
        std::string requests;
        for (const std::string& name : names)
            requests += RocketProtocol::encodeGetTrack(name);
        reader.setLimits(static_cast<uint32_t>(names.size()), lastRow);
        state = State::Linked;
        lastSentRow = UINT32_MAX;
        if (!sendAll(requests)) {
            drop("Rocket: the editor stopped taking data", true);
            return;
        }
        onStatus("Rocket: linked to the editor at " + host + ":" + std::to_string(port) + ", " +
                     std::to_string(names.size()) + " tracks",
                 false);
        everLinked = true;
    }
    if (state != State::Linked)
        return;
    RocketProtocol::Command command;
    for (;;) {
        bool ready = false;
        Status read = reader.next(command, ready);
        if (!read) {
            drop("Rocket: " + read.reason() + ": connection dropped", true);
            return;
        }
        if (!ready)
            break;
        if (command.type == RocketProtocol::SetRow)
            lastSentRow = command.row;
        onCommand(command);
        if (state != State::Linked)
            return;
    }
    if (playing && row != lastSentRow) {
        if (!sendAll(RocketProtocol::encodeSetRow(row))) {
            drop("Rocket: the editor went away", false);
            return;
        }
        lastSentRow = row;
    }
}
