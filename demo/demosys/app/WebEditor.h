#pragma once

#include "NonCopyable.h"
#include "Status.h"
#include "WebApi.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

struct mg_connection;
struct mg_context;

// The timeline editor's web server: the page (files from the resource tree's web/
// folder), the JSON API and a WebSocket push channel, on 127.0.0.1 only. Every request
// must carry the session's token (the API: "token" query parameter or a Bearer header;
// the page's own files: the cookie the page's first request sets) and a Host and Origin
// of this loopback address, so no other web page in the browser can reach it.
//
// The server's threads never touch the demo: an API request waits in a queue until the
// frame loop calls poll(), which runs it and hands the answer back. Pushed messages go
// out from a thread of their own, so a slow page never holds a frame.
class WebEditor : NonCopyable {
public:
    using Handler = std::function<WebApi::Reply(const WebApi::Request&)>;

    // webDirectory holds the page; handler runs on the frame loop.
    WebEditor(std::string webDirectory, std::string token, Handler handler);
    ~WebEditor();

    // Listens on 127.0.0.1:port (0: a free port).
    Status start(uint16_t port);
    uint16_t getPort() const { return port; }
    // "http://127.0.0.1:PORT/?token=TOKEN".
    std::string pageAddress() const;

    // On the frame loop: answers the requests that arrived since the last call. Returns
    // the number of requests that changed keys, with the time the first of them arrived.
    int poll(int64_t& firstChangeUs);
    // To every open page (JSON text). A "row" message replaces one not yet sent.
    void push(const std::string& message, bool isRow = false);
    // The revision the pages greet with.
    void setRevision(uint64_t value) { revision = value; }

    // The token a page must present: the one kept in the user's configuration folder,
    // made there (random, readable by the user alone) when there is none, so that a page
    // left open goes on working when the demo is started again.
    static std::string sessionToken();

    // Steady-clock microseconds, the time base of poll()'s arrival times.
    static int64_t nowUs();

private:
    struct Pending;

    static int onRequest(mg_connection* connection, void* self);
    static int onSocketConnect(const mg_connection* connection, void* self);
    static void onSocketReady(mg_connection* connection, void* self);
    static int onSocketData(mg_connection* connection, int bits, char* data, size_t length, void* self);
    static void onSocketClose(const mg_connection* connection, void* self);

    // Host, Origin and token; the reason when refused.
    Status allowed(const mg_connection* connection, bool isApi) const;
    void serveFile(mg_connection* connection, const std::string& path, bool setCookie);
    void serveApi(mg_connection* connection);
    void sendLoop();

    std::string webDirectory;
    std::string token;
    Handler handler;
    mg_context* context = nullptr;
    uint16_t port = 0;
    std::atomic<uint64_t> revision{0};

    std::mutex queueMutex;
    std::deque<std::shared_ptr<Pending>> queue;
    bool stopping = false;

    std::mutex socketMutex;
    std::set<mg_connection*> sockets;
    std::mutex outboxMutex;
    std::condition_variable outboxReady;
    std::deque<std::string> outbox;
    std::string rowMessage;
    bool senderStop = false;
    std::thread sender;
};
