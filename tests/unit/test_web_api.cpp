#include "BeatGrid.h"
#include "StandInWebHost.h"
#include "SyncScriptEdit.h"
#include "TempDir.h"
#include "WebApi.h"
#include "StatusCheck.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

using nlohmann::json;

namespace {

const char* const script = standInWebScript;

struct Fixture {
    TempDir dir;
    std::string path = dir.write("t.sync", script);
    SyncScriptEdit edit;
    BeatGrid grid;
    StandInWebHost host;
    WebApi api{edit, grid, 320};

    Fixture()
    {
        EXPECT_TRUE(succeeds(edit.load(path)));
    }
    WebApi::Reply call(const std::string& method, const std::string& path, const std::string& body,
                       const std::string& query = std::string())
    {
        return api.handle(WebApi::Request{method, path, query, body}, host);
    }
    json timeline() { return json::parse(call("GET", "/api/timeline", "").body); }
};

} // namespace

// Every kind of bad request answers 400 with a reason and changes nothing: not the keys,
// the revision or the transport.
TEST(WebApi, BadRequestsChangeNothing)
{
    Fixture f;
    const json before = f.timeline();
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"/api/keys", "{\"track\": \"fade:level\", \"row\": 3, "},                  // not JSON
        {"/api/keys", "[1, 2]"},                                                    // not an object
        {"/api/keys", "{\"track\": \"fade:nothing\", \"row\": 3, \"value\": 1}"},    // unknown curve
        {"/api/keys", "{\"track\": \"ghost:level\", \"row\": 3, \"value\": 1}"},     // unknown effect
        {"/api/keys", "{\"track\": \"fade\", \"row\": 3, \"value\": 1}"},            // no curve
        {"/api/keys", "{\"track\": \"fade:level\", \"row\": 3, \"value\": NaN}"},    // NaN is not JSON
        {"/api/keys", "{\"track\": \"fade:level\", \"row\": 3, \"value\": \"NaN\"}"},
        {"/api/keys", "{\"track\": \"fade:level\", \"row\": 3, \"value\": 1e300}"},  // no float
        {"/api/keys", "{\"track\": \"fade:level\", \"row\": 321, \"value\": 1}"},    // beyond the end
        {"/api/keys", "{\"track\": \"fade:level\", \"row\": -1, \"value\": 1}"},
        {"/api/keys", "{\"track\": \"fade:level\", \"row\": 2.5, \"value\": 1}"},
        {"/api/keys", "{\"track\": \"fade:level\", \"row\": 3, \"value\": 1, \"type\": 6}"},
        {"/api/keys", "{\"track\": \"fade:level\", \"row\": 3, \"from\": 7}"},       // no key to move
        {"/api/keys", "{\"track\": \"fade:active\", \"row\": 250, \"value\": 0}"},   // a second stop
        {"/api/transport", "{\"seek\": 10, \"pause\": \"yes\"}"},                   // the seek is not done either
        {"/api/transport", "{\"loop\": [50, 20]}"},
        {"/api/transport", "{\"jump\": 1}"},
        {"/api/save", "{}"},
    };
    for (const auto& [path, body] : bad) {
        const WebApi::Reply reply = f.call("POST", path, body);
        EXPECT_EQ(reply.status, 400) << path << " " << body << " -> " << reply.body;
        EXPECT_FALSE(json::parse(reply.body).value("error", "").empty()) << reply.body;
    }
    EXPECT_EQ(f.call("DELETE", "/api/keys", "", "track=fade%3Alevel&row=5").status, 400); // no key there
    EXPECT_EQ(f.call("GET", "/api/waveform", "", "width=0").status, 400);
    EXPECT_EQ(f.call("GET", "/api/nothing", "").status, 404);
    EXPECT_EQ(f.timeline(), before);
    EXPECT_EQ(f.host.row, 0u);
    EXPECT_TRUE(f.host.playing);
    EXPECT_EQ(f.host.applied, 0);
}

// A key set, moved and deleted answers the track's new state each time, with the
// revision one further; a start dragged later is one change, its target kept.
TEST(WebApi, KeyChangesAnswerTheTracksNewState)
{
    Fixture f;
    WebApi::Reply r = f.call("POST", "/api/keys", R"({"track": "fade:level", "row": 30, "value": 0.3, "type": 5})");
    ASSERT_EQ(r.status, 200) << r.body;
    EXPECT_EQ(r.changedTrack, "fade:level");
    EXPECT_EQ(json::parse(r.body)["keys"][1], json::parse(R"({"row": 30, "value": 0.3, "type": 5})"));
    EXPECT_EQ(json::parse(r.body)["revision"], 2);

    r = f.call("POST", "/api/keys", R"({"track": "fade:level", "row": 35, "from": 30})");
    ASSERT_EQ(r.status, 200) << r.body;
    EXPECT_EQ(json::parse(r.body)["keys"][1], json::parse(R"({"row": 35, "value": 0.3, "type": 5})"));
    EXPECT_EQ(f.edit.curveKeys("fade", "level").size(), 3u);

    r = f.call("DELETE", "/api/keys", R"({"track": "fade:level", "row": 35})");
    ASSERT_EQ(r.status, 200) << r.body;
    EXPECT_EQ(json::parse(r.body)["keys"].size(), 2u);

    r = f.call("POST", "/api/keys", R"({"track": "post:active", "row": 60, "from": 40})");
    ASSERT_EQ(r.status, 200) << r.body;
    EXPECT_EQ(json::parse(r.body)["keys"][0], json::parse(R"({"row": 60, "type": "start", "target": "post_fbo"})"));
    EXPECT_EQ(f.api.getRevision(), 5u);
    EXPECT_EQ(f.timeline()["effects"][1]["keys"][0]["row"], 60);
}

// A save names the revision the page has shown: an older one is refused and the file
// stays; the current one writes only the changed key lines.
TEST(WebApi, SaveNeedsTheCurrentRevisionAndKeepsTheScript)
{
    Fixture f;
    ASSERT_EQ(f.call("POST", "/api/keys", R"({"track": "fade:level", "row": 0, "value": 0.25})").status, 200);
    const WebApi::Reply stale = f.call("POST", "/api/save", R"({"revision": 1})");
    EXPECT_EQ(stale.status, 409);
    EXPECT_EQ(readWholeFile(f.path), script);

    const WebApi::Reply saved = f.call("POST", "/api/save", R"({"revision": 2})");
    ASSERT_EQ(saved.status, 200) << saved.body;
    std::string expected = script;
    expected.replace(expected.find("    0 0\n"), 8, "    0 0.25\n");
    EXPECT_EQ(readWholeFile(f.path), expected);
}

// The transport takes seek, pause and loop together; the waveform has the width asked.
TEST(WebApi, TransportAndWaveform)
{
    Fixture f;
    const WebApi::Reply r = f.call("POST", "/api/transport", R"({"seek": 100, "pause": true, "loop": [80, 160]})");
    ASSERT_EQ(r.status, 200) << r.body;
    EXPECT_EQ(json::parse(r.body), json::parse(R"({"row": 100, "playing": false, "loop": [80, 160]})"));
    const json wave = json::parse(f.call("GET", "/api/waveform", "", "width=5").body);
    EXPECT_EQ(wave["max"], json::parse("[0.5, 0.5, 0.5, 0.5, 0.5]"));
    EXPECT_EQ(wave["endMs"], 16000);
}
