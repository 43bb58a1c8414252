#include "WebEditor.h"

#include <civetweb.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// The most a request body may hold: a key is a few dozen bytes.
constexpr long long maxBody = 1 << 20;
// How long a request waits for the frame loop before it is answered 503.
constexpr std::chrono::seconds frameLoopWait(10);

const char* statusText(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 409: return "Conflict";
    case 413: return "Payload Too Large";
    default: return "Service Unavailable";
    }
}

void send(mg_connection* connection, int status, const std::string& type, const std::string& body,
          const std::string& extraHeaders = std::string())
{
    mg_printf(connection,
              "HTTP/1.1 %d %s\r\nContent-Type: %s\r\nContent-Length: %zu\r\nCache-Control: no-store\r\n"
              "X-Content-Type-Options: nosniff\r\n%sConnection: close\r\n\r\n",
              status, statusText(status), type.c_str(), body.size(), extraHeaders.c_str());
    mg_write(connection, body.data(), body.size());
}

void refuse(mg_connection* connection, int status, const std::string& reason)
{
    send(connection, status, "text/plain; charset=utf-8", reason + "\n");
}

// Equal without an early exit, so the time taken tells nothing of the token.
bool sameSecret(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (size_t i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

std::string queryValue(const mg_request_info* info, const char* name)
{
    if (!info->query_string)
        return std::string();
    char value[256];
    const int n = mg_get_var(info->query_string, std::strlen(info->query_string), name, value, sizeof value);
    return n < 0 ? std::string() : std::string(value, static_cast<size_t>(n));
}

std::string cookieValue(const mg_connection* connection, const char* name)
{
    const char* cookies = mg_get_header(connection, "Cookie");
    if (!cookies)
        return std::string();
    char value[256];
    const int n = mg_get_cookie(cookies, name, value, sizeof value);
    return n < 0 ? std::string() : std::string(value, static_cast<size_t>(n));
}

std::string contentType(const std::string& path)
{
    const std::string ext = fs::path(path).extension().string();
    if (ext == ".html")
        return "text/html; charset=utf-8";
    if (ext == ".js" || ext == ".mjs")
        return "text/javascript; charset=utf-8";
    if (ext == ".css")
        return "text/css; charset=utf-8";
    if (ext == ".svg")
        return "image/svg+xml";
    if (ext == ".png")
        return "image/png";
    if (ext == ".json")
        return "application/json";
    return "application/octet-stream";
}

bool isToken(const std::string& text)
{
    return text.size() == 32 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

std::string randomToken()
{
    std::random_device device;
    std::string out;
    static const char digits[] = "0123456789abcdef";
    for (int i = 0; i < 32; ++i)
        out += digits[device() & 15u];
    return out;
}

} // namespace

struct WebEditor::Pending {
    WebApi::Request request;
    std::promise<WebApi::Reply> reply;
    int64_t arrivedUs = 0;
};

int64_t WebEditor::nowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string WebEditor::sessionToken()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    fs::path folder = config && *config ? fs::path(config) : home && *home ? fs::path(home) / ".config" : fs::path();
    if (folder.empty())
        return randomToken();
    folder /= "demosys";
    const fs::path file = folder / "web-token";
    std::string kept;
    std::ifstream(file) >> kept;
    if (isToken(kept))
        return kept;
    const std::string made = randomToken();
    std::error_code ec;
    fs::create_directories(folder, ec);
    // Written readable by the user alone, then moved into place whole.
    const std::string temporary = file.string() + ".new";
    const mode_t old = umask(077);
    bool written = false;
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << made << "\n";
        written = static_cast<bool>(out);
    }
    umask(old);
    if (written)
        fs::rename(temporary, file, ec);
    return made;
}

WebEditor::WebEditor(std::string webDirectory, std::string token, Handler handler)
    : webDirectory(std::move(webDirectory)), token(std::move(token)), handler(std::move(handler))
{
}

WebEditor::~WebEditor()
{
    {
        std::lock_guard<std::mutex> lock(outboxMutex);
        senderStop = true;
    }
    outboxReady.notify_all();
    if (sender.joinable())
        sender.join();
    // Requests still waiting are answered before the server's threads are joined.
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        stopping = true;
        for (const std::shared_ptr<Pending>& p : queue) {
            WebApi::Reply reply;
            reply.status = 503;
            reply.body = "{\"error\": \"the demo is closing\"}";
            p->reply.set_value(reply);
        }
        queue.clear();
    }
    if (context)
        mg_stop(context);
}

Status WebEditor::start(uint16_t wantedPort)
{
    mg_init_library(0);
    const std::string ports = "127.0.0.1:" + std::to_string(wantedPort);
    const char* options[] = {"listening_ports", ports.c_str(), "num_threads", "8", "request_timeout_ms", "10000",
                             "websocket_timeout_ms", "3600000", nullptr};
    mg_callbacks callbacks{};
    // The library's own messages would go to standard error; the reason comes back below.
    callbacks.log_message = [](const mg_connection*, const char*) { return 1; };
    mg_init_data init{};
    init.callbacks = &callbacks;
    init.user_data = this;
    init.configuration_options = options;
    char text[256] = "";
    unsigned code = 0;
    mg_error_data failure{};
    failure.code = &code;
    failure.text = text;
    failure.text_buffer_size = sizeof text;
    context = mg_start2(&init, &failure);
    if (!context)
        return Status::failure("cannot listen on " + ports + (text[0] ? ": " + std::string(text) : std::string()));
    mg_server_port bound[2]{};
    if (mg_get_server_ports(context, 2, bound) < 1)
        return Status::failure("the server reports no port");
    port = static_cast<uint16_t>(bound[0].port);
    mg_set_request_handler(context, "/", &WebEditor::onRequest, this);
    mg_set_websocket_handler(context, "/api/events", &WebEditor::onSocketConnect, &WebEditor::onSocketReady,
                             &WebEditor::onSocketData, &WebEditor::onSocketClose, this);
    sender = std::thread([this] { sendLoop(); });
    return Status::success();
}

std::string WebEditor::pageAddress() const
{
    return "http://127.0.0.1:" + std::to_string(port) + "/?token=" + token;
}

Status WebEditor::allowed(const mg_connection* connection, bool isApi) const
{
    const std::string p = std::to_string(port);
    const char* host = mg_get_header(connection, "Host");
    if (!host || (std::string(host) != "127.0.0.1:" + p && std::string(host) != "localhost:" + p))
        return Status::failure("refused: the Host is not 127.0.0.1:" + p);
    const char* origin = mg_get_header(connection, "Origin");
    if (origin && std::string(origin) != "http://127.0.0.1:" + p && std::string(origin) != "http://localhost:" + p)
        return Status::failure("refused: requests from " + std::string(origin) + " are not taken");
    const mg_request_info* info = mg_get_request_info(connection);
    std::string presented = queryValue(info, "token");
    const char* authorization = mg_get_header(connection, "Authorization");
    if (presented.empty() && authorization && std::strncmp(authorization, "Bearer ", 7) == 0)
        presented = authorization + 7;
    // The page's own files come with the cookie its first request set; the API never does.
    if (presented.empty() && !isApi)
        presented = cookieValue(connection, "demosys_token");
    if (!sameSecret(presented, token))
        return Status::failure(presented.empty() ? "refused: no token (open the address the demo printed)"
                                                 : "refused: wrong token");
    return Status::success();
}

int WebEditor::onRequest(mg_connection* connection, void* self)
{
    WebEditor& editor = *static_cast<WebEditor*>(self);
    const mg_request_info* info = mg_get_request_info(connection);
    const std::string path = info->local_uri ? info->local_uri : "/";
    const bool isApi = path.compare(0, 5, "/api/") == 0;
    Status allowed = editor.allowed(connection, isApi);
    if (!allowed) {
        refuse(connection, 403, allowed.reason());
        return 403;
    }
    if (isApi) {
        editor.serveApi(connection);
        return 200;
    }
    if (std::strcmp(info->request_method, "GET") != 0) {
        refuse(connection, 405, std::string(info->request_method) + " is not taken by " + path);
        return 405;
    }
    editor.serveFile(connection, path == "/" ? std::string("/index.html") : path,
                     path == "/" || path == "/index.html");
    return 200;
}

void WebEditor::serveFile(mg_connection* connection, const std::string& path, bool setCookie)
{
    // Names of the page's own files only: nothing above its folder.
    if (path.find("..") != std::string::npos ||
        path.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-") !=
            std::string::npos) {
        refuse(connection, 404, "no " + path);
        return;
    }
    std::ifstream in(webDirectory + path, std::ios::binary);
    std::error_code ec;
    if (!in || !fs::is_regular_file(webDirectory + path, ec)) {
        refuse(connection, 404, "no " + path + " in " + webDirectory);
        return;
    }
    std::ostringstream body;
    body << in.rdbuf();
    const std::string cookie =
        setCookie ? "Set-Cookie: demosys_token=" + token + "; Path=/; HttpOnly; SameSite=Strict\r\n" : std::string();
    send(connection, 200, contentType(path), body.str(), cookie);
}

void WebEditor::serveApi(mg_connection* connection)
{
    const mg_request_info* info = mg_get_request_info(connection);
    if (info->content_length > maxBody) {
        refuse(connection, 413, "the body is over 1 MiB");
        return;
    }
    auto pending = std::make_shared<Pending>();
    pending->arrivedUs = nowUs();
    WebApi::Request& request = pending->request;
    request.method = info->request_method;
    request.path = info->local_uri;
    request.query = info->query_string ? info->query_string : "";
    char chunk[4096];
    for (;;) {
        const int n = mg_read(connection, chunk, sizeof chunk);
        if (n <= 0)
            break;
        request.body.append(chunk, static_cast<size_t>(n));
        if (static_cast<long long>(request.body.size()) > maxBody) {
            refuse(connection, 413, "the body is over 1 MiB");
            return;
        }
    }
    std::future<WebApi::Reply> answer = pending->reply.get_future();
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        if (stopping) {
            refuse(connection, 503, "the demo is closing");
            return;
        }
        queue.push_back(pending);
    }
    if (answer.wait_for(frameLoopWait) != std::future_status::ready) {
        // The frame loop may still take it later; the answer then goes nowhere.
        send(connection, 503, "application/json", "{\"error\": \"the demo did not answer within 10 s\"}");
        return;
    }
    const WebApi::Reply reply = answer.get();
    send(connection, reply.status, "application/json", reply.body);
}

int WebEditor::poll(int64_t& firstChangeUs)
{
    std::deque<std::shared_ptr<Pending>> taken;
    {
        std::lock_guard<std::mutex> lock(queueMutex);
        taken.swap(queue);
    }
    int changes = 0;
    for (const std::shared_ptr<Pending>& p : taken) {
        WebApi::Reply reply = handler(p->request);
        if (!reply.changedTrack.empty() && changes++ == 0)
            firstChangeUs = p->arrivedUs;
        p->reply.set_value(std::move(reply));
    }
    return changes;
}

void WebEditor::push(const std::string& message, bool isRow)
{
    {
        std::lock_guard<std::mutex> lock(outboxMutex);
        if (isRow)
            rowMessage = message;
        else
            outbox.push_back(message);
    }
    outboxReady.notify_one();
}

void WebEditor::sendLoop()
{
    for (;;) {
        std::deque<std::string> messages;
        {
            std::unique_lock<std::mutex> lock(outboxMutex);
            outboxReady.wait(lock, [this] { return senderStop || !outbox.empty() || !rowMessage.empty(); });
            if (senderStop)
                return;
            messages.swap(outbox);
            if (!rowMessage.empty())
                messages.push_back(std::move(rowMessage));
            rowMessage.clear();
        }
        std::lock_guard<std::mutex> lock(socketMutex);
        for (const std::string& m : messages)
            for (mg_connection* socket : sockets)
                mg_websocket_write(socket, MG_WEBSOCKET_OPCODE_TEXT, m.data(), m.size());
    }
}

int WebEditor::onSocketConnect(const mg_connection* connection, void* self)
{
    // Non-zero closes the connection before the handshake is answered.
    return static_cast<WebEditor*>(self)->allowed(connection, true) ? 0 : 1;
}

void WebEditor::onSocketReady(mg_connection* connection, void* self)
{
    WebEditor& editor = *static_cast<WebEditor*>(self);
    const std::string hello = "{\"type\": \"hello\", \"revision\": " + std::to_string(editor.revision.load()) + "}";
    std::lock_guard<std::mutex> lock(editor.socketMutex);
    mg_websocket_write(connection, MG_WEBSOCKET_OPCODE_TEXT, hello.data(), hello.size());
    editor.sockets.insert(connection);
}

int WebEditor::onSocketData(mg_connection*, int bits, char*, size_t, void*)
{
    // Pages send nothing but the protocol's own frames; a close ends the connection.
    return (bits & 0x0f) != MG_WEBSOCKET_OPCODE_CONNECTION_CLOSE;
}

void WebEditor::onSocketClose(const mg_connection* connection, void* self)
{
    WebEditor& editor = *static_cast<WebEditor*>(self);
    std::lock_guard<std::mutex> lock(editor.socketMutex);
    editor.sockets.erase(const_cast<mg_connection*>(connection));
}
