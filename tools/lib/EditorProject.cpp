#include "EditorProject.h"

#include "RocketProtocol.h"
#include "SyncScriptEdit.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <map>

namespace {

std::string escape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

bool unescape(const std::string& text, std::string& out)
{
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
            continue;
        }
        const size_t end = text.find(';', i);
        if (end == std::string::npos)
            return false;
        const std::string name = text.substr(i + 1, end - i - 1);
        if (name == "amp")
            out += '&';
        else if (name == "lt")
            out += '<';
        else if (name == "gt")
            out += '>';
        else if (name == "quot")
            out += '"';
        else if (name == "apos")
            out += '\'';
        else
            return false;
        i = end;
    }
    return true;
}

// The attributes of the tag text after its name, as name -> value.
bool attributes(const std::string& tag, std::map<std::string, std::string>& out)
{
    size_t i = 0;
    while (i < tag.size()) {
        while (i < tag.size() && (tag[i] == ' ' || tag[i] == '\t' || tag[i] == '\n' || tag[i] == '\r' || tag[i] == '/'))
            ++i;
        if (i >= tag.size())
            return true;
        const size_t eq = tag.find('=', i);
        if (eq == std::string::npos)
            return false;
        std::string name = tag.substr(i, eq - i);
        while (!name.empty() && (name.back() == ' ' || name.back() == '\t'))
            name.pop_back();
        size_t q = eq + 1;
        while (q < tag.size() && (tag[q] == ' ' || tag[q] == '\t'))
            ++q;
        if (q >= tag.size() || (tag[q] != '"' && tag[q] != '\''))
            return false;
        const size_t close = tag.find(tag[q], q + 1);
        if (close == std::string::npos)
            return false;
        if (!unescape(tag.substr(q + 1, close - q - 1), out[name]))
            return false;
        i = close + 1;
    }
    return true;
}

bool wholeNumber(const std::string& text, uint64_t limit, uint64_t& out)
{
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    out = std::strtoull(text.c_str(), nullptr, 10);
    return out <= limit;
}

int lineOf(const std::string& xml, size_t at)
{
    int line = 1;
    for (size_t i = 0; i < at && i < xml.size(); ++i)
        line += xml[i] == '\n';
    return line;
}

} // namespace

std::string EditorProject::write(const SyncScriptEdit& edit, uint32_t rows)
{
    std::string out = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<sync rows=\"" + std::to_string(rows) +
                      "\">\n\t<tracks rows=\"" + std::to_string(rows) + "\">\n";
    auto keyLine = [](uint32_t row, const std::string& value, int type) {
        return "\t\t\t<key row=\"" + std::to_string(row) + "\" value=\"" + value + "\" interpolation=\"" +
               std::to_string(type) + "\"/>\n";
    };
    for (const std::string& effect : edit.effectNames()) {
        for (const std::string& curve : edit.curveNames(effect)) {
            out += "\t\t<track name=\"" + escape(effect + ":" + curve) + "\">\n";
            for (const InterpolateKey& k : edit.curveKeys(effect, curve))
                out += keyLine(k.row, TrackScript::valueText(k.value), RocketProtocol::editorType(k.type));
            out += "\t\t</track>\n";
        }
        out += "\t\t<track name=\"" + escape(effect + ":active") + "\">\n";
        for (const StartStopKey& k : edit.startStopKeys(effect))
            out += keyLine(k.row, k.isStart() ? "1" : "0", RocketProtocol::Step);
        out += "\t\t</track>\n";
    }
    return out + "\t</tracks>\n\t<bookmarks/>\n</sync>\n";
}

Status EditorProject::read(const std::string& xml, std::vector<Track>& tracks)
{
    tracks.clear();
    Track* current = nullptr;
    size_t i = 0;
    bool root = false;
    while ((i = xml.find('<', i)) != std::string::npos) {
        const size_t at = i;
        auto fail = [&](const std::string& reason) {
            return Status::failure("line " + std::to_string(lineOf(xml, at)) + ": " + reason);
        };
        if (xml.compare(i, 4, "<!--") == 0) {
            const size_t end = xml.find("-->", i);
            if (end == std::string::npos)
                return fail("a comment that does not end");
            i = end + 3;
            continue;
        }
        const size_t end = xml.find('>', i);
        if (end == std::string::npos)
            return fail("a tag that does not end");
        std::string tag = xml.substr(i + 1, end - i - 1);
        i = end + 1;
        if (tag.empty() || tag[0] == '?' || tag[0] == '!')
            continue;
        root = true;
        const bool closing = tag[0] == '/';
        const size_t nameEnd = tag.find_first_of(" \t\r\n/", closing ? 1 : 0);
        const std::string name = tag.substr(closing ? 1 : 0, nameEnd == std::string::npos ? std::string::npos
                                                                                          : nameEnd - (closing ? 1 : 0));
        if (closing) {
            if (name == "track")
                current = nullptr;
            continue;
        }
        std::map<std::string, std::string> attrs;
        if (!attributes(nameEnd == std::string::npos ? std::string() : tag.substr(nameEnd), attrs))
            return fail("malformed attributes in <" + name + ">");
        const bool selfClosing = !tag.empty() && tag.back() == '/';
        if (name == "track") {
            if (!attrs.count("name") || attrs["name"].empty())
                return fail("a <track> without a name");
            tracks.push_back(Track{attrs["name"], {}});
            current = selfClosing ? nullptr : &tracks.back();
        } else if (name == "key") {
            if (!current)
                return fail("a <key> outside a <track>");
            uint64_t row = 0, type = 0;
            if (!wholeNumber(attrs["row"], 0xFFFFFFFFull, row))
                return fail("key row '" + attrs["row"] + "' is not a row");
            if (!wholeNumber(attrs["interpolation"], 3, type))
                return fail("key interpolation '" + attrs["interpolation"] + "' is not 0 to 3");
            const std::string& text = attrs["value"];
            errno = 0;
            char* stop = nullptr;
            const float value = std::strtof(text.c_str(), &stop);
            if (text.empty() || *stop != '\0' || errno == ERANGE || !std::isfinite(value))
                return fail("key value '" + text + "' is not a number");
            for (const Key& k : current->keys)
                if (k.row == row)
                    return fail("track '" + current->name + "' has two keys at row " + std::to_string(row));
            current->keys.push_back(Key{static_cast<uint32_t>(row), value, static_cast<uint8_t>(type)});
        }
    }
    if (!root)
        return Status::failure("no XML elements");
    return Status::success();
}

Status EditorProject::apply(const std::vector<Track>& tracks, SyncScriptEdit& edit)
{
    for (const Track& track : tracks) {
        const size_t colon = track.name.find(':');
        if (colon == std::string::npos || colon == 0 || colon + 1 == track.name.size())
            return Status::failure("track '" + track.name + "' is not named effect:curve or effect:active");
        const std::string effect = track.name.substr(0, colon);
        const std::string curve = track.name.substr(colon + 1);
        bool control = false;
        for (char c : track.name)
            control = control || static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
        // A script line cannot hold control characters, and names make up file names.
        if (control || effect.find_first_of("./") != std::string::npos || curve.find('/') != std::string::npos)
            return Status::failure("track '" + track.name + "' names no effect and curve a script can hold");
        if (!edit.hasEffect(effect))
            edit.addEffect(effect, static_cast<int32_t>(edit.effectNames().size()));
        if (curve == "active") {
            std::vector<StartStopKey> keys;
            std::map<uint32_t, Key> sorted;
            for (const Key& k : track.keys)
                sorted[k.row] = k;
            for (const auto& entry : sorted) {
                const bool start = entry.second.value >= 0.5f;
                keys.push_back(StartStopKey(entry.first, start ? StartStopKey::Start : StartStopKey::Stop,
                                            start ? edit.startTargetAt(effect, entry.first) : std::string("screen")));
            }
            Status replaced = edit.replaceStartStop(effect, keys);
            if (!replaced)
                return Status::failure("track '" + track.name + "': " + replaced.reason());
            continue;
        }
        std::vector<InterpolateKey> keys;
        for (const Key& k : track.keys) {
            const InterpolateKey* old = edit.findCurveKey(effect, curve, k.row);
            keys.push_back(InterpolateKey(k.row, k.value,
                                          RocketProtocol::keptType(k.interpolation, old ? int64_t(old->type) : -1)));
        }
        // Unchanged tracks stay untouched in the script.
        const std::vector<InterpolateKey> now = edit.curveKeys(effect, curve);
        bool same = now.size() == keys.size();
        for (size_t i = 0; same && i < keys.size(); ++i) {
            same = false;
            for (const InterpolateKey& n : now)
                if (n.row == keys[i].row && n.value == keys[i].value && n.type == keys[i].type)
                    same = true;
        }
        if (!same)
            edit.replaceCurve(effect, curve, keys);
    }
    return Status::success();
}
