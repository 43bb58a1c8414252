#include "SyncScriptEdit.h"

#include "StandInEffect.h"
#include "TrackManager.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

namespace {

bool readWhole(const std::string& path, std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    text = buffer.str();
    return !in.bad();
}

// Lines as the parser counts them; joining them with '\n' gives the text back.
std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t from = 0;
    for (;;) {
        const size_t end = text.find('\n', from);
        if (end == std::string::npos) {
            lines.push_back(text.substr(from));
            return lines;
        }
        lines.push_back(text.substr(from, end - from));
        from = end + 1;
    }
}

bool sameKey(const InterpolateKey& a, const InterpolateKey& b)
{
    return a.row == b.row && a.type == b.type && std::memcmp(&a.value, &b.value, sizeof a.value) == 0;
}

bool sameKey(const StartStopKey& a, const StartStopKey& b)
{
    return a.row == b.row && a.type == b.type && a.target == b.target;
}

template <class Key>
bool sameKeys(const std::map<uint32_t, Key>& a, const std::map<uint32_t, Key>& b)
{
    if (a.size() != b.size())
        return false;
    for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j)
        if (!sameKey(i->second, j->second))
            return false;
    return true;
}

// A line taken apart: its indent, the words before any comment, the comment and where
// it began, and a trailing carriage return.
struct LineParts {
    std::string indent;
    std::vector<std::string> words;
    std::string comment;
    size_t commentColumn = 0;
    std::string cr;
};

LineParts partsOf(std::string line)
{
    LineParts p;
    if (!line.empty() && line.back() == '\r') {
        p.cr = "\r";
        line.pop_back();
    }
    size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        p.indent += line[i++];
    // Key and start/stop lines hold no quotes before a comment except in a target name.
    bool quoted = false;
    std::string word;
    for (; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"')
            quoted = !quoted;
        if (!quoted && c == '#') {
            p.comment = line.substr(i);
            p.commentColumn = i;
            break;
        }
        if (!quoted && (c == ' ' || c == '\t')) {
            if (!word.empty())
                p.words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty())
        p.words.push_back(word);
    return p;
}

std::string withComment(const std::string& code, const LineParts& p)
{
    std::string line = code;
    if (!p.comment.empty()) {
        line += line.size() < p.commentColumn ? std::string(p.commentColumn - line.size(), ' ') : std::string(" ");
        line += p.comment;
    }
    return line + p.cr;
}

// The position as written: one word, or two for "bar B.b".
std::string positionWords(const std::vector<std::string>& words, size_t at)
{
    if (at >= words.size())
        return std::string();
    if (words[at] == "bar" && at + 1 < words.size())
        return words[at] + " " + words[at + 1];
    return words[at];
}

bool usesTime(const std::string& line)
{
    const LineParts p = partsOf(line);
    for (const std::string& w : p.words)
        if (!w.empty() && w[0] == '@')
            return true;
    return false;
}

std::string curveKeyCode(const std::string& position, const InterpolateKey& key)
{
    std::string code = position + " " + TrackScript::valueText(key.value);
    if (key.type != InterpolateKey::Linear)
        code += " " + TrackScript::interpolationName(key.type);
    return code;
}

std::string startStopCode(const std::string& position, const StartStopKey& key)
{
    std::string code = (key.isStart() ? "start " : "stop ") + position;
    if (key.isStart() && key.target != "screen")
        code += " " + TrackScript::quoteName(key.target);
    return code;
}

// The rewrite of one script: replaced and removed lines, lines inserted after a line
// (-1: at the top) and text appended at the end.
struct Patch {
    std::map<int, std::string> replaced;
    std::set<int> removed;
    std::map<int, std::vector<std::string>> insertedAfter;
    std::string appended;
};

// Where an effect block's statements stand: its effect line, last line and indent, its
// start/stop key lines, and per curve its curve line and key lines.
struct BlockLines {
    int effectLine = -1;
    int lastLine = -1;
    std::string effectIndent;
    std::vector<const TrackScript::Statement*> startStopLines;
    std::map<std::string, std::vector<const TrackScript::Statement*>> keyLines;
    std::map<std::string, int> curveLines;
};

BlockLines blockLines(const std::vector<const TrackScript::Statement*>& statements,
                      const std::vector<std::string>& lines)
{
    BlockLines at;
    for (const TrackScript::Statement* st : statements) {
        at.lastLine = std::max(at.lastLine, st->line);
        switch (st->kind) {
        case TrackScript::Statement::Effect:
            at.effectLine = st->line;
            at.effectIndent = partsOf(lines[st->line]).indent;
            break;
        case TrackScript::Statement::Start:
        case TrackScript::Statement::Stop: at.startStopLines.push_back(st); break;
        case TrackScript::Statement::Curve: at.curveLines[st->curve] = st->line; break;
        case TrackScript::Statement::Key: at.keyLines[st->curve].push_back(st); break;
        }
    }
    return at;
}

// The script's lines with the patch applied.
std::string applied(const std::vector<std::string>& lines, const Patch& patch)
{
    // A text that ends with a newline splits into its lines and one empty piece.
    const bool terminated = lines.size() > 1 && lines.back().empty();
    const int count = static_cast<int>(lines.size()) - (terminated ? 1 : 0);
    std::vector<std::string> kept;
    for (int i = 0; i < count; ++i) {
        if (!patch.removed.count(i)) {
            const auto replaced = patch.replaced.find(i);
            kept.push_back(replaced != patch.replaced.end() ? replaced->second : lines[i]);
        }
        const auto inserted = patch.insertedAfter.find(i);
        if (inserted != patch.insertedAfter.end())
            kept.insert(kept.end(), inserted->second.begin(), inserted->second.end());
    }
    std::string out;
    for (size_t i = 0; i < kept.size(); ++i)
        out += (i ? "\n" : "") + kept[i];
    if (terminated || (!patch.appended.empty() && !kept.empty()))
        out += "\n";
    out += patch.appended;
    return out;
}

} // namespace

Status SyncScriptEdit::load(const std::string& file)
{
    std::string text;
    if (!readWhole(file, text))
        return Status::failure(file + ": cannot be read");
    return loadText(text, file);
}

Status SyncScriptEdit::loadText(const std::string& text, const std::string& file)
{
    TimelineDocument document;
    std::vector<TrackScript::Statement> statements;
    Status read = TrackScript::parse(text, file, document, &statements);
    if (!read)
        return read;
    Status valid = document.validate();
    if (!valid)
        return Status::failure(file + ": " + valid.reason());
    Effects parsed;
    std::vector<std::string> order;
    extract(document, parsed, order);
    order.clear();
    for (const TrackScript::Statement& st : statements)
        if (st.kind == TrackScript::Statement::Effect)
            order.push_back(st.effect);
    loaded = true;
    path = file;
    baseText = text;
    layout = std::move(statements);
    rowsPerSecond = document.manager()->getRowsPerSecond();
    grid = document.beatGrid;
    original = parsed;
    effects = std::move(parsed);
    effectOrder = std::move(order);
    pending = 0;
    return Status::success();
}

void SyncScriptEdit::extract(const TimelineDocument& document, Effects& out, std::vector<std::string>& order)
{
    out.clear();
    for (const EffectTracks* entry : document.manager()->getDrawOrder()) {
        EffectKeys& e = out[entry->name];
        order.push_back(entry->name);
        e.priority = entry->startStop->getPriority();
        e.enabled = entry->startStop->isEnabled();
        std::vector<StartStopKey> keys;
        entry->startStop->getKeys(keys);
        for (const StartStopKey& k : keys)
            e.startStop[k.row] = StartStopKey(k.row, k.type, k.target);
        for (const TrackInterpolate* curve : entry->tracks) {
            Curve& c = e.curves[curve->getName()];
            e.curveOrder.push_back(curve->getName());
            std::vector<InterpolateKey> ckeys;
            curve->getKeys(ckeys);
            for (const InterpolateKey& k : ckeys)
                c.keys[k.row] = k;
        }
    }
}

bool SyncScriptEdit::isModified() const
{
    if (effects.size() != original.size())
        return true;
    for (const auto& named : effects) {
        const auto o = original.find(named.first);
        if (o == original.end() || !sameKeys(named.second.startStop, o->second.startStop))
            return true;
        for (const auto& curve : named.second.curves) {
            const auto oc = o->second.curves.find(curve.first);
            if (oc == o->second.curves.end() ? !curve.second.keys.empty()
                                             : !sameKeys(curve.second.keys, oc->second.keys))
                return true;
        }
    }
    return false;
}

void SyncScriptEdit::addEffect(const std::string& effect, int32_t priority)
{
    if (effects.count(effect))
        return;
    effects[effect].priority = priority;
    effectOrder.push_back(effect);
}

SyncScriptEdit::Curve* SyncScriptEdit::curveFor(const std::string& effect, const std::string& curve, bool create)
{
    const auto e = effects.find(effect);
    if (e == effects.end())
        return nullptr;
    const auto c = e->second.curves.find(curve);
    if (c != e->second.curves.end())
        return &c->second;
    if (!create || curve.empty() || curve.find('/') != std::string::npos)
        return nullptr;
    e->second.curveOrder.push_back(curve);
    return &e->second.curves[curve];
}

bool SyncScriptEdit::setCurveKey(const std::string& effect, const std::string& curve, const InterpolateKey& key)
{
    Curve* c = curveFor(effect, curve, true);
    if (!c)
        return false;
    c->keys[key.row] = key;
    ++pending;
    return true;
}

bool SyncScriptEdit::deleteCurveKey(const std::string& effect, const std::string& curve, uint32_t row)
{
    Curve* c = curveFor(effect, curve, false);
    if (!c || !c->keys.erase(row))
        return false;
    ++pending;
    return true;
}

bool SyncScriptEdit::moveCurveKey(const std::string& effect, const std::string& curve, uint32_t fromRow,
                                  uint32_t toRow)
{
    Curve* c = curveFor(effect, curve, false);
    if (!c || !c->keys.count(fromRow))
        return false;
    InterpolateKey key = c->keys[fromRow];
    c->keys.erase(fromRow);
    key.row = toRow;
    c->keys[toRow] = key;
    ++pending;
    return true;
}

const InterpolateKey* SyncScriptEdit::findCurveKey(const std::string& effect, const std::string& curve,
                                                   uint32_t row) const
{
    const auto e = effects.find(effect);
    if (e == effects.end())
        return nullptr;
    const auto c = e->second.curves.find(curve);
    if (c == e->second.curves.end())
        return nullptr;
    const auto k = c->second.keys.find(row);
    return k == c->second.keys.end() ? nullptr : &k->second;
}

std::vector<InterpolateKey> SyncScriptEdit::curveKeys(const std::string& effect, const std::string& curve) const
{
    std::vector<InterpolateKey> out;
    const auto e = effects.find(effect);
    if (e == effects.end())
        return out;
    const auto c = e->second.curves.find(curve);
    if (c != e->second.curves.end())
        for (const auto& k : c->second.keys)
            out.push_back(k.second);
    return out;
}

Status SyncScriptEdit::checkStartStop(const Effects& candidate) const
{
    // The engine's check runs on a built timeline.
    SyncScriptEdit probe;
    probe.effects = candidate;
    probe.effectOrder = effectOrder;
    probe.rowsPerSecond = rowsPerSecond;
    TimelineDocument document;
    probe.build(document);
    return document.validate();
}

Status SyncScriptEdit::setStartStop(const std::string& effect, const StartStopKey& key)
{
    if (!effects.count(effect))
        return Status::failure("no effect '" + effect + "'");
    Effects candidate = effects;
    candidate[effect].startStop[key.row] = StartStopKey(key.row, key.type, key.target);
    Status checked = checkStartStop(candidate);
    if (!checked)
        return checked;
    effects = std::move(candidate);
    ++pending;
    return Status::success();
}

Status SyncScriptEdit::deleteStartStop(const std::string& effect, uint32_t row)
{
    const auto e = effects.find(effect);
    if (e == effects.end() || !e->second.startStop.count(row))
        return Status::failure("effect '" + effect + "' has no start or stop at row " + std::to_string(row));
    Effects candidate = effects;
    candidate[effect].startStop.erase(row);
    Status checked = checkStartStop(candidate);
    if (!checked)
        return checked;
    effects = std::move(candidate);
    ++pending;
    return Status::success();
}

Status SyncScriptEdit::moveStartStop(const std::string& effect, uint32_t fromRow, uint32_t toRow)
{
    const auto e = effects.find(effect);
    if (e == effects.end() || !e->second.startStop.count(fromRow))
        return Status::failure("effect '" + effect + "' has no start or stop at row " + std::to_string(fromRow));
    Effects candidate = effects;
    StartStopKey key = candidate[effect].startStop[fromRow];
    candidate[effect].startStop.erase(fromRow);
    key.row = toRow;
    candidate[effect].startStop[toRow] = key;
    Status checked = checkStartStop(candidate);
    if (!checked)
        return checked;
    effects = std::move(candidate);
    ++pending;
    return Status::success();
}

std::vector<StartStopKey> SyncScriptEdit::startStopKeys(const std::string& effect) const
{
    std::vector<StartStopKey> out;
    const auto e = effects.find(effect);
    if (e != effects.end())
        for (const auto& k : e->second.startStop)
            out.push_back(k.second);
    return out;
}

bool SyncScriptEdit::replaceCurve(const std::string& effect, const std::string& curve,
                                  const std::vector<InterpolateKey>& keys)
{
    Curve* c = curveFor(effect, curve, true);
    if (!c)
        return false;
    c->keys.clear();
    for (const InterpolateKey& k : keys)
        c->keys[k.row] = k;
    ++pending;
    return true;
}

Status SyncScriptEdit::replaceStartStop(const std::string& effect, const std::vector<StartStopKey>& keys)
{
    if (!effects.count(effect))
        return Status::failure("no effect '" + effect + "'");
    Effects candidate = effects;
    std::map<uint32_t, StartStopKey>& track = candidate[effect].startStop;
    track.clear();
    for (const StartStopKey& k : keys)
        track[k.row] = StartStopKey(k.row, k.type, k.target);
    Status checked = checkStartStop(candidate);
    if (!checked)
        return checked;
    effects = std::move(candidate);
    ++pending;
    return Status::success();
}

std::vector<std::string> SyncScriptEdit::curveNames(const std::string& effect) const
{
    const auto e = effects.find(effect);
    return e == effects.end() ? std::vector<std::string>() : e->second.curveOrder;
}

std::string SyncScriptEdit::startTargetAt(const std::string& effect, uint32_t row) const
{
    std::string target = "screen";
    bool found = false;
    for (const StartStopKey& k : startStopKeys(effect)) {
        if (!k.isStart())
            continue;
        if (k.row > row && found)
            break;
        target = k.target;
        found = true;
        if (k.row > row)
            break;
    }
    return target;
}

void SyncScriptEdit::build(TimelineDocument& out) const
{
    auto manager = std::make_unique<TrackManager>();
    manager->setRowsPerSecond(rowsPerSecond);
    std::vector<std::unique_ptr<Effect>> standIns;
    for (const std::string& name : effectOrder) {
        const EffectKeys& e = effects.at(name);
        auto effect = std::make_unique<StandInEffect>();
        for (const std::string& curveName : e.curveOrder) {
            TrackInterpolate* curve = nullptr;
            effect->addTrack(curveName, &curve);
            for (const auto& k : e.curves.at(curveName).keys)
                curve->insertKey(k.second);
        }
        auto startStop = std::make_unique<TrackStartStop>(e.priority);
        startStop->setEnabled(e.enabled);
        for (const auto& k : e.startStop)
            startStop->insertKey(k.second);
        effect->setOnTimeline(true);
        manager->addEntry(name, effect.get(), std::move(startStop));
        standIns.push_back(std::move(effect));
    }
    manager->arrangeDrawOrder();
    out.adopt(std::move(standIns), std::move(manager));
    out.beatGrid = grid;
}

std::string SyncScriptEdit::newBlockText(const std::string& name, const EffectKeys& now) const
{
    bool keyed = !now.startStop.empty();
    for (const auto& c : now.curves)
        keyed = keyed || !c.second.keys.empty();
    if (!keyed)
        return std::string();
    // An effect the script has no block for: a new block at the end.
    std::string text =
        "\neffect " + TrackScript::quoteName(name) + " priority " + std::to_string(now.priority) + "\n";
    for (const auto& k : now.startStop)
        text += "  " + startStopCode(TrackScript::positionText(k.first, rowsPerSecond, grid, false), k.second) +
                "\n";
    for (const std::string& curve : now.curveOrder) {
        const Curve& c = now.curves.at(curve);
        if (c.keys.empty())
            continue;
        text += "  curve " + TrackScript::quoteName(curve) + "\n";
        for (const auto& k : c.keys)
            text += "    " + curveKeyCode(TrackScript::positionText(k.first, rowsPerSecond, grid, false), k.second) + "\n";
    }
    return text;
}

std::string SyncScriptEdit::text() const
{
    std::vector<std::string> lines = splitLines(baseText);
    const std::string cr = !lines.empty() && !lines[0].empty() && lines[0].back() == '\r' ? "\r" : "";
    Patch patch;

    // The statements of each effect block, in text order.
    std::map<std::string, std::vector<const TrackScript::Statement*>> blocks;
    for (const TrackScript::Statement& st : layout)
        blocks[st.effect].push_back(&st);

    // Rewrites one track's key lines: removed keys lose their line, changed keys keep
    // their position's text and comment, new keys go after the last line of a key before
    // them (after the anchor when there is none).
    auto patchTrack = [&](const std::vector<const TrackScript::Statement*>& keyLines, int anchor,
                          const std::string& defaultIndent, auto sameRowCode, auto newCode, auto curKeys,
                          auto origKeys) {
        bool preferTime = false;
        std::string indent = defaultIndent;
        for (const TrackScript::Statement* st : keyLines) {
            preferTime = preferTime || usesTime(lines[st->line]);
            indent = partsOf(lines[st->line]).indent;
        }
        for (const TrackScript::Statement* st : keyLines) {
            const auto now = curKeys.find(st->row);
            if (now == curKeys.end()) {
                patch.removed.insert(st->line);
            } else if (!sameKey(now->second, origKeys.at(st->row))) {
                const LineParts p = partsOf(lines[st->line]);
                patch.replaced[st->line] = withComment(p.indent + sameRowCode(p, now->second), p);
            }
        }
        for (const auto& k : curKeys) {
            if (origKeys.count(k.first))
                continue;
            int after = anchor;
            uint32_t best = 0;
            bool found = false;
            for (const TrackScript::Statement* st : keyLines)
                if (st->row < k.first && (!found || st->row >= best)) {
                    best = st->row;
                    after = st->line;
                    found = true;
                }
            const std::string position = TrackScript::positionText(k.first, rowsPerSecond, grid, preferTime);
            patch.insertedAfter[after].push_back(indent + newCode(position, k.second) + cr);
        }
    };

    for (const std::string& name : effectOrder) {
        const EffectKeys& now = effects.at(name);
        const auto was = original.find(name);
        const auto block = blocks.find(name);
        if (was == original.end() || block == blocks.end()) {
            patch.appended += newBlockText(name, now);
            continue;
        }
        BlockLines at = blockLines(block->second, lines);
        const int lastLine = at.lastLine;
        const std::string& effectIndent = at.effectIndent;
        std::map<std::string, std::vector<const TrackScript::Statement*>>& keyLines = at.keyLines;
        const std::map<std::string, int>& curveLines = at.curveLines;
        if (!sameKeys(now.startStop, was->second.startStop))
            patchTrack(
                at.startStopLines, at.effectLine, effectIndent + "  ",
                [](const LineParts& p, const StartStopKey& k) { return startStopCode(positionWords(p.words, 1), k); },
                startStopCode, now.startStop, was->second.startStop);
        std::string curveIndent = effectIndent + "  ";
        for (const auto& c : curveLines)
            curveIndent = partsOf(lines[c.second]).indent;
        for (const std::string& curve : now.curveOrder) {
            const Curve& c = now.curves.at(curve);
            const auto wasCurve = was->second.curves.find(curve);
            if (wasCurve == was->second.curves.end()) {
                if (c.keys.empty())
                    continue;
                // A curve new to the script: after the block's last statement.
                std::vector<std::string>& after = patch.insertedAfter[lastLine];
                after.push_back(curveIndent + "curve " + TrackScript::quoteName(curve) + cr);
                for (const auto& k : c.keys)
                    after.push_back(curveIndent + "  " +
                                    curveKeyCode(TrackScript::positionText(k.first, rowsPerSecond, grid, false),
                                                 k.second) +
                                    cr);
                continue;
            }
            if (sameKeys(c.keys, wasCurve->second.keys))
                continue;
            const auto anchor = curveLines.find(curve);
            patchTrack(
                keyLines[curve], anchor == curveLines.end() ? lastLine : anchor->second, curveIndent + "  ",
                [](const LineParts& p, const InterpolateKey& k) { return curveKeyCode(positionWords(p.words, 0), k); },
                curveKeyCode, c.keys, wasCurve->second.keys);
        }
    }

    return applied(lines, patch);
}

Status SyncScriptEdit::save()
{
    if (!loaded)
        return Status::failure("no sync script is loaded");
    std::string onDisk;
    if (!readWhole(path, onDisk) || onDisk != baseText)
        return Status::failure(path + " changed on disk since it was read: not saved (reload it, then key again)");
    const std::string text = this->text();
    if (text != baseText) {
        // The whole file or nothing: a temporary file beside it, then a rename.
        std::string temporary = path + ".save-XXXXXX";
        const int fd = mkstemp(&temporary[0]);
        if (fd < 0)
            return Status::failure(path + ": cannot make a temporary file beside it");
        size_t written = 0;
        while (written < text.size()) {
            const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
            if (n <= 0)
                break;
            written += static_cast<size_t>(n);
        }
        const bool ok = written == text.size() && fsync(fd) == 0;
        if (::close(fd) != 0 || !ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
            std::remove(temporary.c_str());
            return Status::failure(path + ": cannot be written");
        }
    }
    // The saved text is the new base: its statements are where later edits go.
    Effects edited = effects;
    std::vector<std::string> order = effectOrder;
    Status reloaded = loadText(text, path);
    if (!reloaded)
        return reloaded;
    // Curves without keys and effects the script never had stay known.
    for (const std::string& name : order)
        if (!effects.count(name)) {
            effects[name] = edited[name];
            original[name] = edited[name];
            effectOrder.push_back(name);
        }
    return Status::success();
}
