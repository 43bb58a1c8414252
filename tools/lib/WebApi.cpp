#include "WebApi.h"

#include "BeatGrid.h"

#include <nlohmann/json.hpp>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

using nlohmann::json;

namespace {

constexpr uint32_t maxWaveformWidth = 65536;
constexpr uint32_t lastKeyType = InterpolateKey::Smooth;

// Names from a request or a script may be any bytes: text that is not UTF-8 goes out
// with replacement characters instead of failing the answer.
std::string text(const json& value) { return value.dump(-1, ' ', false, json::error_handler_t::replace); }

WebApi::Reply error(int status, const std::string& reason)
{
    WebApi::Reply reply;
    reply.status = status;
    reply.body = text(json{{"error", reason}});
    return reply;
}

WebApi::Reply ok(const json& body)
{
    WebApi::Reply reply;
    reply.body = text(body);
    return reply;
}

// The float as the shortest decimal that reads back to it: 0.3f goes out as 0.3, not
// as the double it widens to.
double shortest(float v)
{
    char text[32];
    for (int precision = 1; precision < 10; ++precision) {
        std::snprintf(text, sizeof text, "%.*g", precision, static_cast<double>(v));
        if (std::strtof(text, nullptr) == v)
            break;
    }
    return std::strtod(text, nullptr);
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string percentDecoded(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() + 0 && hexDigit(text[i + 1]) >= 0 && hexDigit(text[i + 2]) >= 0) {
            out += static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::map<std::string, std::string> queryParameters(const std::string& query)
{
    std::map<std::string, std::string> out;
    size_t from = 0;
    while (from <= query.size()) {
        size_t end = query.find('&', from);
        if (end == std::string::npos)
            end = query.size();
        const std::string pair = query.substr(from, end - from);
        const size_t equals = pair.find('=');
        if (!pair.empty())
            out[percentDecoded(pair.substr(0, equals))] =
                equals == std::string::npos ? std::string() : percentDecoded(pair.substr(equals + 1));
        from = end + 1;
    }
    return out;
}

// A whole number 0..limit written in decimal digits alone.
bool parseRowText(const std::string& text, uint32_t limit, uint32_t& out)
{
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
    if (v > limit)
        return false;
    out = static_cast<uint32_t>(v);
    return true;
}

// A row in a JSON document: a whole number 0..lastRow.
bool rowOf(const json& value, const char* name, uint32_t lastRow, uint32_t& out, std::string& error)
{
    if (!value.is_number_integer() || (value.is_number_integer() && !value.is_number_unsigned() && value.get<int64_t>() < 0)) {
        error = std::string("\"") + name + "\" must be a whole number of rows from 0";
        return false;
    }
    const uint64_t v = value.get<uint64_t>();
    if (v > lastRow) {
        error = std::string("\"") + name + "\" " + std::to_string(v) + " is beyond the demo's last row " +
                std::to_string(lastRow);
        return false;
    }
    out = static_cast<uint32_t>(v);
    return true;
}

bool parseObject(const std::string& body, json& out, std::string& error)
{
    out = json::parse(body, nullptr, false);
    if (out.is_discarded()) {
        error = "the body is not JSON";
        return false;
    }
    if (!out.is_object()) {
        error = "the body must be a JSON object";
        return false;
    }
    return true;
}

json curveKeysJson(const std::vector<InterpolateKey>& keys)
{
    json out = json::array();
    for (const InterpolateKey& k : keys)
        out.push_back({{"row", k.row}, {"value", shortest(k.value)}, {"type", k.type}});
    return out;
}

json startStopJson(const std::vector<StartStopKey>& keys)
{
    json out = json::array();
    for (const StartStopKey& k : keys) {
        json key = {{"row", k.row}, {"type", k.isStart() ? "start" : "stop"}};
        if (k.isStart())
            key["target"] = k.target;
        out.push_back(key);
    }
    return out;
}

json loopJson(const WebApi::Host& host)
{
    uint32_t first = 0, last = 0;
    if (!host.loopRows(first, last))
        return nullptr;
    return json::array({first, last});
}

} // namespace

bool WebApi::splitTrack(const std::string& name, TrackName& out)
{
    const size_t colon = name.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == name.size())
        return false;
    out.effect = name.substr(0, colon);
    out.curve = name.substr(colon + 1);
    if (out.curve == "active")
        out.curve.clear();
    return true;
}

Status WebApi::decodeKeyChange(const std::string& body, uint32_t lastRow, KeyChange& out)
{
    std::string error;
    json request;
    if (!parseObject(body, request, error))
        return Status::failure(error);
    KeyChange change;
    const auto track = request.find("track");
    if (track == request.end() || !track->is_string() || !splitTrack(track->get<std::string>(), change.track)) {
        error = "\"track\" must name a track as \"effect:curve\" or \"effect:active\"";
        return Status::failure(error);
    }
    const auto row = request.find("row");
    if (row == request.end()) {
        error = "\"row\" is missing";
        return Status::failure(error);
    }
    if (!rowOf(*row, "row", lastRow, change.row, error))
        return Status::failure(error);
    const auto from = request.find("from");
    if (from != request.end()) {
        if (!rowOf(*from, "from", lastRow, change.from, error))
            return Status::failure(error);
        change.hasFrom = true;
    }
    const auto value = request.find("value");
    if (value != request.end()) {
        // JSON has no NaN or infinity; a value past a float's range would become one.
        if (!value->is_number() || !std::isfinite(value->get<double>()) || std::fabs(value->get<double>()) > FLT_MAX) {
            error = "\"value\" must be a finite number";
            return Status::failure(error);
        }
        change.value = static_cast<float>(value->get<double>());
        change.hasValue = true;
    } else if (!change.hasFrom) {
        error = "\"value\" is missing";
        return Status::failure(error);
    }
    const auto type = request.find("type");
    if (type != request.end()) {
        if (!type->is_number_unsigned() || type->get<uint64_t>() > lastKeyType) {
            error = "\"type\" must be a key type from 0 to " + std::to_string(lastKeyType);
            return Status::failure(error);
        }
        change.type = type->get<uint32_t>();
        change.hasType = true;
    }
    const auto target = request.find("target");
    if (target != request.end()) {
        if (!target->is_string() || target->get<std::string>().empty() || target->get<std::string>().size() > 256) {
            error = "\"target\" must name a framebuffer";
            return Status::failure(error);
        }
        change.target = target->get<std::string>();
        change.hasTarget = true;
    }
    out = std::move(change);
    return Status::success();
}

WebApi::WebApi(SyncScriptEdit& edit, const BeatGrid& grid, uint32_t lastRow) : edit(edit), grid(grid), lastRow(lastRow) {}

WebApi::Reply WebApi::handle(const Request& request, Host& host)
{
    const std::string& m = request.method;
    const std::string& p = request.path;
    if (p == "/api/timeline" && m == "GET")
        return ok(json::parse(timelineJson(host)));
    if (p == "/api/waveform" && m == "GET")
        return getWaveform(request, host);
    if (p == "/api/value" && m == "GET")
        return getValue(request, host);
    if (p == "/api/keys" && m == "POST")
        return postKey(request);
    if (p == "/api/keys" && m == "DELETE")
        return deleteKey(request);
    if (p == "/api/transport" && m == "POST")
        return postTransport(request, host);
    if (p == "/api/save" && m == "POST")
        return postSave(request);
    for (const char* known : {"/api/timeline", "/api/waveform", "/api/value", "/api/keys", "/api/transport", "/api/save"})
        if (p == known)
            return error(405, m + " is not taken by " + p);
    return error(404, "no " + p + " in the API");
}

std::string WebApi::timelineJson(const Host& host) const
{
    const double rowsPerBeat = double(grid.getRowsPerBeatNum()) / double(grid.getRowsPerBeatDen());
    json sections = json::array();
    for (const BeatGrid::Section& s : grid.getSections())
        sections.push_back({{"name", s.name}, {"bar", s.firstBar}, {"row", s.startRow}});
    json effects = json::array();
    for (const std::string& name : edit.effectNames()) {
        const std::vector<StartStopKey> keys = edit.startStopKeys(name);
        json curves = json::array();
        for (const std::string& curve : edit.curveNames(name))
            curves.push_back(
                {{"track", name + ":" + curve}, {"name", curve}, {"keys", curveKeysJson(edit.curveKeys(name, curve))}});
        std::string target = "screen";
        for (const StartStopKey& k : keys)
            if (k.isStart()) {
                target = k.target;
                break;
            }
        effects.push_back({{"name", name},
                           {"priority", edit.priorityOf(name)},
                           {"target", target},
                           {"keys", startStopJson(keys)},
                           {"curves", curves}});
    }
    const json out = {{"revision", revision},
                      {"rate", edit.getRowsPerSecond()},
                      {"bpm", grid.getRowsPerSecond() * 60.0 / rowsPerBeat},
                      {"rowsPerBeat", rowsPerBeat},
                      {"beatsPerBar", grid.getBeatsPerBar()},
                      {"lengthRows", lastRow},
                      {"startMs", host.startMs()},
                      {"endMs", host.endMs()},
                      {"row", host.currentRow()},
                      {"playing", host.isPlaying()},
                      {"loop", loopJson(host)},
                      {"script", edit.getPath()},
                      {"modified", edit.isModified()},
                      {"pendingChanges", edit.getPendingChanges()},
                      {"sections", sections},
                      {"effects", effects}};
    return text(out);
}

std::string WebApi::trackJson(const TrackName& track) const
{
    json out = {{"revision", revision}};
    if (track.curve.empty()) {
        out["track"] = track.effect + ":active";
        out["keys"] = startStopJson(edit.startStopKeys(track.effect));
    } else {
        out["track"] = track.effect + ":" + track.curve;
        out["keys"] = curveKeysJson(edit.curveKeys(track.effect, track.curve));
    }
    return text(out);
}

std::string WebApi::transportJson(const Host& host) const
{
    return text(json{{"row", host.currentRow()}, {"playing", host.isPlaying()}, {"loop", loopJson(host)}});
}

WebApi::Reply WebApi::getWaveform(const Request& request, Host& host)
{
    const auto params = queryParameters(request.query);
    uint32_t width = 1024;
    const auto w = params.find("width");
    if (w != params.end() && (!parseRowText(w->second, maxWaveformWidth, width) || width == 0))
        return error(400, "width must be a whole number from 1 to " + std::to_string(maxWaveformWidth));
    std::vector<float> low, high;
    host.waveform(width, low, high);
    json lows = json::array(), highs = json::array();
    for (uint32_t i = 0; i < width; ++i) {
        // Three decimals are finer than a column's pixels.
        lows.push_back(std::round((i < low.size() ? low[i] : 0.0f) * 1000.0f) / 1000.0);
        highs.push_back(std::round((i < high.size() ? high[i] : 0.0f) * 1000.0f) / 1000.0);
    }
    return ok({{"width", width}, {"startMs", host.startMs()}, {"endMs", host.endMs()}, {"min", lows}, {"max", highs}});
}

WebApi::Reply WebApi::getValue(const Request& request, Host& host)
{
    const auto params = queryParameters(request.query);
    TrackName track;
    const auto t = params.find("track");
    if (t == params.end() || !splitTrack(t->second, track))
        return error(400, "track must name a track as \"effect:curve\" or \"effect:active\"");
    uint32_t row = 0;
    const auto r = params.find("row");
    if (r == params.end() || !parseRowText(r->second, lastRow, row))
        return error(400, "row must be a whole number from 0 to " + std::to_string(lastRow));
    float value = 0.0f;
    if (!host.drawnValue(track.effect, track.curve, row, value))
        return error(400, "the running demo has no track '" + t->second + "'");
    return ok({{"track", t->second}, {"row", row}, {"value", shortest(value)}});
}

WebApi::Reply WebApi::changed(const TrackName& track)
{
    ++revision;
    Reply reply;
    reply.body = trackJson(track);
    reply.changedTrack = track.effect + ":" + (track.curve.empty() ? std::string("active") : track.curve);
    return reply;
}

WebApi::Reply WebApi::postKey(const Request& request)
{
    KeyChange c;
    Status decoded = decodeKeyChange(request.body, lastRow, c);
    if (!decoded)
        return error(400, decoded.reason());
    const std::string name = c.track.effect + ":" + (c.track.curve.empty() ? std::string("active") : c.track.curve);
    if (!edit.hasEffect(c.track.effect))
        return error(400, "no track '" + name + "': the sync script has no effect '" + c.track.effect + "'");
    if (c.track.curve.empty()) {
        // A move and a new key are one change, checked as a whole.
        std::vector<StartStopKey> keys = edit.startStopKeys(c.track.effect);
        const StartStopKey* moved = nullptr;
        for (const StartStopKey& k : keys)
            if (c.hasFrom && k.row == c.from)
                moved = &k;
        if (c.hasFrom && !moved)
            return error(400, "'" + name + "' has no start or stop at row " + std::to_string(c.from));
        const bool start = c.hasValue ? c.value >= 0.5f : moved->isStart();
        const std::string target = !start ? std::string("screen")
                                   : c.hasTarget ? c.target
                                   : moved && moved->isStart() ? moved->target
                                                 : edit.startTargetAt(c.track.effect, c.row);
        const StartStopKey key(c.row, start ? StartStopKey::Start : StartStopKey::Stop, target);
        std::vector<StartStopKey> next;
        for (const StartStopKey& k : keys)
            if (k.row != c.row && !(c.hasFrom && k.row == c.from))
                next.push_back(k);
        next.push_back(key);
        Status replaced = edit.replaceStartStop(c.track.effect, next);
        if (!replaced)
            return error(400, replaced.reason());
        return changed(c.track);
    }
    bool known = false;
    for (const std::string& curve : edit.curveNames(c.track.effect))
        known = known || curve == c.track.curve;
    if (!known)
        return error(400, "no track '" + name + "'");
    const InterpolateKey* old = edit.findCurveKey(c.track.effect, c.track.curve, c.hasFrom ? c.from : c.row);
    if (c.hasFrom && !old)
        return error(400, "'" + name + "' has no key at row " + std::to_string(c.from));
    const float value = c.hasValue ? c.value : old->value;
    const uint32_t type = c.hasType ? c.type : old ? old->type : uint32_t(InterpolateKey::Linear);
    if (c.hasFrom && c.from != c.row)
        edit.deleteCurveKey(c.track.effect, c.track.curve, c.from);
    edit.setCurveKey(c.track.effect, c.track.curve, InterpolateKey(c.row, value, type));
    return changed(c.track);
}

WebApi::Reply WebApi::deleteKey(const Request& request)
{
    // The track and row from the query, or from a JSON body.
    std::string trackText, rowText;
    const auto params = queryParameters(request.query);
    if (params.count("track") || params.count("row")) {
        trackText = params.count("track") ? params.at("track") : std::string();
        rowText = params.count("row") ? params.at("row") : std::string();
    } else {
        json body;
        std::string reason;
        if (!parseObject(request.body, body, reason))
            return error(400, reason + " (or give track and row in the query)");
        const auto t = body.find("track");
        const auto r = body.find("row");
        if (t != body.end() && t->is_string())
            trackText = t->get<std::string>();
        if (r != body.end() && r->is_number_unsigned())
            rowText = std::to_string(r->get<uint64_t>());
    }
    TrackName track;
    if (!splitTrack(trackText, track))
        return error(400, "track must name a track as \"effect:curve\" or \"effect:active\"");
    uint32_t row = 0;
    if (!parseRowText(rowText, lastRow, row))
        return error(400, "row must be a whole number from 0 to " + std::to_string(lastRow));
    if (!edit.hasEffect(track.effect))
        return error(400, "no track '" + trackText + "'");
    if (track.curve.empty()) {
        Status deleted = edit.deleteStartStop(track.effect, row);
        if (!deleted)
            return error(400, deleted.reason());
    } else if (!edit.deleteCurveKey(track.effect, track.curve, row)) {
        return error(400, "'" + trackText + "' has no key at row " + std::to_string(row));
    }
    return changed(track);
}

WebApi::Reply WebApi::postTransport(const Request& request, Host& host)
{
    json body;
    std::string reason;
    if (!parseObject(request.body, body, reason))
        return error(400, reason);
    if (body.empty())
        return error(400, "nothing to do: give \"seek\", \"pause\" or \"loop\"");
    // Every part is checked before any is carried out.
    uint32_t seekRow = 0, first = 0, last = 0;
    for (const auto& item : body.items()) {
        if (item.key() == "seek") {
            if (!rowOf(item.value(), "seek", lastRow, seekRow, reason))
                return error(400, reason);
        } else if (item.key() == "pause") {
            if (!item.value().is_boolean())
                return error(400, "\"pause\" must be true or false");
        } else if (item.key() == "loop") {
            if (item.value().is_null())
                continue;
            if (!item.value().is_array() || item.value().size() != 2 ||
                !rowOf(item.value()[0], "loop", lastRow, first, reason) ||
                !rowOf(item.value()[1], "loop", lastRow, last, reason))
                return error(400, reason.empty() ? "\"loop\" must be [first row, last row] or null" : reason);
            if (last <= first)
                return error(400, "a loop must end after it starts");
        } else {
            return error(400, "unknown transport command \"" + item.key() + "\"");
        }
    }
    if (body.contains("loop")) {
        if (body["loop"].is_null())
            host.clearLoop();
        else
            host.setLoop(first, last);
    }
    if (body.contains("seek"))
        host.seek(seekRow);
    if (body.contains("pause"))
        host.setPaused(body["pause"].get<bool>());
    return ok(json::parse(transportJson(host)));
}

WebApi::Reply WebApi::postSave(const Request& request)
{
    json body;
    std::string reason;
    if (!parseObject(request.body, body, reason))
        return error(400, reason);
    const auto r = body.find("revision");
    if (r == body.end() || !r->is_number_unsigned())
        return error(400, "\"revision\" must be the timeline revision the page has shown");
    if (r->get<uint64_t>() != revision)
        return error(409, "not saved: the timeline has changed since this page read it (revision " +
                              std::to_string(revision) + ", the page has " + std::to_string(r->get<uint64_t>()) +
                              "): reload the page's timeline first");
    const int changes = edit.getPendingChanges();
    Status saved = edit.save();
    if (!saved)
        return error(409, "not saved: " + saved.reason());
    return ok({{"saved", edit.getPath()}, {"changes", changes}, {"revision", revision}});
}
