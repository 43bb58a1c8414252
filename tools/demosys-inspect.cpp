// demosys-inspect: shows what the engine reads from a production's files.
//
//   demosys-inspect archive FILE [--verify]       every entry of a resource archive with its size
//                                                 (and with --verify, whether it decodes)
//   demosys-inspect tracks DIR [--files] [--at ROW] [--rate N]
//                                                 the whole timeline of a track directory as JSON
//   demosys-inspect scene FILE                    the scene an object file (.vbo) becomes, as JSON
//   demosys-inspect video FILE                    an IVF video's header and frames, each one decoded
//   demosys-inspect image FILE                    an image as the engine decodes it for a texture
#include "CommandLine.h"
#include "ImageFile.h"
#include "JsonWriter.h"
#include "ORVCamera.h"
#include "ORVLight.h"
#include "ORVMaterial.h"
#include "ORVObject.h"
#include "ORVScene.h"
#include "ObjectReader.h"
#include "ResourceFile.h"
#include "ResourceArchive.h"
#include "TimelineDocument.h"
#include "TrackInterpolate.h"
#include "TrackManager.h"
#include "TrackScript.h"
#include "TrackStartStop.h"
#include "VideoStream.h"

#include <glm/glm.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char* const usage =
    "usage: demosys-inspect archive FILE [--verify]\n"
    "       demosys-inspect tracks DIR [--files] [--at ROW] [--rate N]\n"
    "       demosys-inspect scene FILE\n"
    "       demosys-inspect video FILE\n"
    "       demosys-inspect image FILE\n"
    "\n"
    "archive  lists every entry of a 7z resource archive with its size in bytes; with\n"
    "         --verify decodes every entry and adds its result (\"ok\" or the error);\n"
    "         an entry that fails also fails the command\n"
    "tracks   prints the timeline stored in DIR as JSON: packed form (index.list and\n"
    "         track.data) by default, one file per track with --files; --at ROW adds\n"
    "         the effects active at that row in drawing order and each curve's value at\n"
    "         the start of the row; --rate sets the rows per second (default: the rate\n"
    "         stored in track.properties, else 20)\n"
    "scene    prints the scene an object file (.vbo) becomes as JSON: objects with\n"
    "         parent, mesh, vertex count, attributes, material and world position;\n"
    "         materials, lights, cameras, textures and the bounding box\n"
    "video    prints an IVF video's header fields, frame and key frame counts and\n"
    "         whether every frame decodes, as JSON; a damaged file also fails\n"
    "image    prints the type detected in an image file (png, jpeg, tga, bmp) and its\n"
    "         width, height and channels as the engine decodes it, as JSON; an image the\n"
    "         engine refuses fails with the reason\n";

int fail(const std::string& message)
{
    std::cerr << "demosys-inspect: " << message << std::endl;
    return 1;
}

int inspectArchive(const std::string& path, bool verify)
{
    Status opened = ResourceArchive::open(path.c_str());
    if (!opened)
        return fail(path + ": cannot open as a 7z archive" + (opened.reason().empty() ? "" : " (" + opened.reason() + ")"));
    JsonWriter json;
    json.beginObject().key("archive").value(path).key("entries").beginArray();
    long long total = 0;
    int files = 0;
    std::vector<std::string> failed;
    for (int i = 0; i < ResourceArchive::entryCount(); ++i) {
        bool directory = ResourceArchive::entryIsDirectory(i);
        std::string result = "ok";
        if (verify && !directory) {
            // Entries come in archive order, so one decoder pass checks them all.
            const std::string& name = ResourceArchive::entryName(i);
            std::vector<uint8_t> bytes;
            Status read = ResourceArchive::read(name.c_str(), bytes);
            if (!read) {
                result = ResourceArchive::contains(name.c_str()) ? read.reason() : "cannot be found by its name";
                failed.push_back(name);
            }
        }
        json.beginObject(true)
            .key("name")
            .value(ResourceArchive::entryName(i))
            .key("size")
            .value(static_cast<long long>(ResourceArchive::entrySizeAt(i)))
            .key("directory")
            .value(directory)
            .key("link")
            .value(ResourceArchive::entryIsLink(i));
        if (verify && !directory)
            json.key("result").value(result);
        json.endObject();
        if (!directory) {
            total += ResourceArchive::entrySizeAt(i);
            ++files;
        }
    }
    json.endArray().key("files").value(files).key("totalSize").value(total).endObject();
    ResourceArchive::close();
    std::cout << json.str();
    if (!failed.empty())
        return fail(path + ": " + std::to_string(failed.size()) + " of " + std::to_string(files) +
                    " entries do not decode, the first is '" + failed.front() + "'");
    return 0;
}

void writeTimeline(JsonWriter& json, const TrackManager& m)
{
    json.key("entries").beginArray();
    for (int i = 0; i < m.getEntryCount(); ++i) {
        const EffectTracks* entry = m.getEntry(i);
        json.beginObject()
            .key("name")
            .value(entry->name)
            .key("priority")
            .value(entry->startStop->getPriority())
            .key("enabled")
            .value(entry->startStop->isEnabled());
        std::vector<StartStopKey> keys;
        entry->startStop->getKeys(keys);
        json.key("keys").beginArray();
        for (const StartStopKey& k : keys) {
            json.beginObject(true).key("row").value(k.row).key("type").value(k.type);
            if (k.type == StartStopKey::Start)
                json.key("target").value(k.target);
            json.endObject();
        }
        json.endArray().key("curves").beginArray();
        for (const TrackInterpolate* curve : entry->tracks) {
            json.beginObject().key("name").value(curve->getName()).key("keys").beginArray();
            std::vector<InterpolateKey> ckeys;
            curve->getKeys(ckeys);
            for (const InterpolateKey& k : ckeys)
                json.beginObject(true)
                    .key("row")
                    .value(k.row)
                    .key("type")
                    .value(k.type)
                    .key("interpolation")
                    .value(TrackScript::interpolationName(k.type))
                    .key("value")
                    .value(k.value)
                    .endObject();
            json.endArray().endObject();
        }
        json.endArray().endObject();
    }
    json.endArray();
}

void writeRow(JsonWriter& json, TrackManager& m, uint32_t row)
{
    uint32_t timeMs = static_cast<uint32_t>(uint64_t(row) * 1000 / static_cast<uint32_t>(m.getRowsPerSecond()));
    // The engine's own frame step decides what is active and in which order; the
    // stand-in effects draw nothing.
    m.drawFrame(timeMs, row, 0);
    json.key("at").beginObject().key("row").value(row).key("timeMs").value(timeMs);
    json.key("active").beginArray();
    for (const EffectTracks* entry : m.getActiveEntries()) {
        const StartStopKey* start = entry->startStop->getKey(entry->startStop->getRangeStartRow(row));
        json.beginObject(true)
            .key("name")
            .value(entry->name)
            .key("priority")
            .value(entry->startStop->getPriority())
            .key("target")
            .value(start ? start->target : std::string("screen"))
            .endObject();
    }
    json.endArray().key("values").beginArray();
    for (int i = 0; i < m.getEntryCount(); ++i) {
        const EffectTracks* entry = m.getEntry(i);
        for (const TrackInterpolate* curve : entry->tracks)
            json.beginObject(true)
                .key("effect")
                .value(entry->name)
                .key("curve")
                .value(curve->getName())
                .key("value")
                .value(curve->getValue(timeMs, m.getRowsPerSecond()))
                .endObject();
    }
    json.endArray().endObject();
}

// The timeline of a track directory as JSON; with a row (not negative), the effects
// active there and the curves' values.
int inspectTracks(const std::string& directory, TimelineDocument::Form form, long long row, int rate)
{
    TimelineDocument document;
    Status loaded = document.load(directory, form);
    if (!loaded)
        return fail(loaded.reason());
    TrackManager& m = *document.manager();
    if (rate > 0)
        m.setRowsPerSecond(rate);
    Status valid = document.validate();

    JsonWriter json;
    json.beginObject()
        .key("directory")
        .value(directory)
        .key("form")
        .value(form == TimelineDocument::Packed ? "packed" : "files")
        .key("rowsPerSecond")
        .value(static_cast<long long>(m.getRowsPerSecond()))
        .key("valid")
        .value(valid.ok());
    writeTimeline(json, m);
    if (row >= 0)
        writeRow(json, m, static_cast<uint32_t>(row));
    json.endObject();
    std::cout << json.str();
    if (!valid)
        return fail(directory + ": start/stop keys do not alternate (" + valid.reason() + ")");
    return 0;
}

JsonWriter& vec3(JsonWriter& json, const glm::vec3& v)
{
    return json.beginArray(true).value(v.x).value(v.y).value(v.z).endArray();
}

const char* lightKindName(int kind)
{
    switch (kind) {
    case ORVLight::Spot:
        return "spot";
    case ORVLight::Directional:
        return "directional";
    case ORVLight::Point:
        return "point";
    default:
        return "other";
    }
}

// The scene's materials as JSON objects, into the open array.
void materialsJson(JsonWriter& json, const ORVScene& scene)
{
    for (const auto& entry : scene.getMaterials()) {
        const ORVMaterial* m = entry.second;
        json.beginObject().key("name").value(m->getName()).key("index").value(m->getIndex()).key("diffuseColor");
        vec3(json, m->getDiffuseColor()).key("secondColor");
        vec3(json, m->getSecondColor()).key("exponent").value(m->getExponent()).key("texture");
        if (m->getTextureName().empty())
            json.null();
        else
            json.value(m->getTextureName());
        json.endObject();
    }
}

// The scene's lights as JSON objects, into the open array.
void lightsJson(JsonWriter& json, const ORVScene& scene)
{
    for (const auto& entry : scene.getLights()) {
        const ORVLight* l = entry.second;
        // The way the light shines in the world: down its cone (local -Z) for a spot
        // light, down its local -Y for a directional one.
        glm::vec3 direction(0.0f);
        if (l->getKind() == ORVLight::Spot)
            direction = glm::vec3(ORVLight::rotation(l->getAngles()) * glm::vec4(0, 0, -1, 0));
        else if (l->getKind() == ORVLight::Directional)
            direction = glm::vec3(l->getTransform() * glm::vec4(0, -1, 0, 0));
        json.beginObject()
            .key("name")
            .value(l->getName())
            .key("kind")
            .value(lightKindName(l->getKind()))
            .key("kindNumber")
            .value(l->getKind())
            .key("radius")
            .value(l->getRadius())
            .key("coneAngle")
            .value(l->getConeAngle())
            .key("placement");
        vec3(json, l->getPlacement()).key("direction");
        vec3(json, direction).endObject();
    }
}

int inspectScene(const std::string& path)
{
    ResourceFile resource(path, ResourceFile::Read);
    if (!resource.isLoaded())
        return fail(path + ": cannot read the file");
    // The trace and the warnings would mix with the JSON; the warnings go into it.
    std::ostringstream log;
    ObjectReader reader(path);
    reader.setTrace(false);
    reader.setLog(log);
    reader.setCreateMeshes(false);
    std::unique_ptr<ORVScene> scene;
    Status read = reader.read(resource, scene);
    if (!read)
        return fail(read.reason());
    scene->update(0);
    const ObjectFile& file = reader.getFile();

    std::map<int, const ObjectFile::Node*> nodeById;
    for (const ObjectFile::Node* node : file.objectNodes())
        nodeById[node->id] = node;
    auto meshOf = [&](const ORVObject* obj) -> const ObjectFile::Mesh* {
        auto node = nodeById.find(obj->getId());
        if (node == nodeById.end() || node->second->type != ObjectFile::MeshNode)
            return nullptr;
        return file.findMesh(static_cast<uint32_t>(node->second->ref));
    };

    JsonWriter json;
    json.beginObject().key("file").value(path).key("objects").beginArray();
    // The scene's own box, taken over the objects' mesh boxes as the engine does.
    glm::vec3 low(0.0f), high(0.0f);
    bool first = true;
    for (const ORVObject* obj : scene->getObjectList()) {
        const ObjectFile::Mesh* mesh = meshOf(obj);
        json.beginObject().key("name").value(obj->getName()).key("id").value(obj->getId()).key("parent");
        if (obj->getParent())
            json.value(obj->getParent()->getName());
        else
            json.null();
        json.key("mesh");
        if (mesh) {
            json.value(mesh->name).key("vertexCount").value(mesh->vertexCount).key("attributes").beginArray(true);
            for (const std::string& name : mesh->attributeNames())
                json.value(name);
            json.endArray();
        } else {
            json.null();
        }
        json.key("material");
        if (obj->getMaterial())
            json.value(obj->getMaterial()->getName());
        else
            json.null();
        json.key("position");
        vec3(json, obj->getWorldPosition()).endObject();
        const glm::vec3 objLow = mesh ? mesh->boxMin : glm::vec3(0.0f);
        const glm::vec3 objHigh = mesh ? mesh->boxMax : glm::vec3(0.0f);
        low = first ? objLow : glm::min(low, objLow);
        high = first ? objHigh : glm::max(high, objHigh);
        first = false;
    }
    json.endArray().key("materials").beginArray();
    materialsJson(json, *scene);
    json.endArray().key("lights").beginArray();
    lightsJson(json, *scene);
    json.endArray().key("cameras").beginArray();
    for (const auto& entry : scene->getCameras()) {
        const glm::mat4 placement = glm::inverse(entry.second->getViewMatrix());
        json.beginObject().key("name").value(entry.second->getName()).key("position");
        vec3(json, glm::vec3(placement[3])).key("forward");
        vec3(json, -glm::vec3(placement[2])).endObject();
    }
    json.endArray().key("textures").beginArray();
    for (const ObjectFile::TextureRef& t : file.getTextures())
        json.beginObject(true)
            .key("id")
            .value(t.id)
            .key("name")
            .value(t.name)
            .key("file")
            .value(t.fileName)
            .endObject();
    json.endArray().key("boundingBox").beginObject(true).key("min");
    vec3(json, low).key("max");
    vec3(json, high).endObject().key("warnings").beginArray();
    for (const std::string& warning : file.getWarnings())
        json.value(warning);
    json.endArray().endObject();
    std::cout << json.str();
    return 0;
}

// Decodes every frame in order; the file is sound when its index reaches the end and
// every frame decodes.
int inspectVideo(const std::string& path)
{
    ResourceFile bytes(path, ResourceFile::Read);
    if (!bytes.isLoaded())
        return fail(path + ": cannot read the file");
    IvfFile ivf(bytes.copyBytes());
    Status parsed = ivf.parse(path);
    if (!parsed)
        return fail(parsed.reason());
    VideoStream stream(std::move(ivf));
    Status started = stream.init();
    if (!started)
        return fail(path + ": " + started.reason().substr(0, started.reason().find('\n')));
    const IvfFile& file = stream.file();

    std::vector<int> failed;
    std::vector<std::string> errors;
    for (int i = 0; i < stream.getFrameCount(); ++i) {
        const int decodes = stream.getDecodeCount();
        Status shown = stream.seek(i);
        if (shown)
            continue;
        failed.push_back(i);
        // The decoder's texts on one line; frames that need a failed one (nothing was
        // decoded for them) say nothing more.
        if (stream.getDecodeCount() == decodes)
            continue;
        std::string error = shown.reason();
        for (char& c : error)
            if (c == '\n')
                c = ' ';
        if (!error.empty())
            errors.push_back(error);
    }

    JsonWriter json;
    json.beginObject()
        .key("file").value(path)
        .key("version").value(file.getVersion())
        .key("headerSize").value(file.getHeaderSize())
        .key("fourcc").value(file.getFourcc())
        .key("width").value(file.getWidth())
        .key("height").value(file.getHeight())
        .key("rate").value(file.getRate())
        .key("scale").value(file.getScale())
        .key("headerFrameCount").value(file.getHeaderFrameCount())
        .key("timestampMode").value(stream.isTimestampMode())
        .key("frameCount").value(file.frameCount())
        .key("keyFrameCount").value(file.keyFrameCount())
        .key("keyFrames").beginArray(true);
    for (int i = 0; i < file.frameCount(); ++i)
        if (file.frames()[i].key)
            json.value(i);
    json.endArray()
        .key("lastTimestamp").value(static_cast<long long>(file.frameCount() ? file.frames().back().timestamp : 0))
        .key("complete").value(file.isComplete())
        .key("allFramesDecode").value(failed.empty())
        .key("failedFrames").beginArray(true);
    for (int i : failed)
        json.value(i);
    json.endArray().key("warnings").beginArray();
    for (const std::string& warning : file.getWarnings())
        json.value(warning);
    json.endArray().key("errors").beginArray();
    for (const std::string& error : errors)
        json.value(error);
    json.endArray().endObject();
    std::cout << json.str();

    if (!file.getWarnings().empty())
        return fail(file.getWarnings().front());
    if (!failed.empty())
        return fail(path + ": " + std::to_string(failed.size()) + " of " + std::to_string(file.frameCount()) +
                    " frames do not decode, the first is frame " + std::to_string(failed.front()));
    return 0;
}

// The image as a texture load decodes it: the same type detection and decoders.
int inspectImage(const std::string& path)
{
    ImageFile image;
    Status loaded = image.loadFromFile(path);
    if (!loaded) {
        const std::string type =
            image.getType() == ImageFile::Type::Unknown ? "" : std::string(" (") + ImageFile::typeName(image.getType()) + ")";
        return fail(path + ": " + loaded.reason() + type);
    }
    JsonWriter json;
    json.beginObject()
        .key("file").value(path)
        .key("type").value(ImageFile::typeName(image.getType()))
        .key("width").value(image.getWidth())
        .key("height").value(image.getHeight())
        .key("channels").value(image.getBytesPerPixel())
        .endObject();
    std::cout << json.str();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app("", "demosys-inspect");
    app.require_subcommand(1);
    std::string file;
    bool verify = false, files = false;
    long long row = -1;
    int rate = 0;
    CLI::App* archive = app.add_subcommand("archive");
    archive->add_option("FILE", file)->required();
    archive->add_flag("--verify", verify);
    CLI::App* tracks = app.add_subcommand("tracks");
    tracks->add_option("DIR", file)->required();
    tracks->add_flag("--files", files);
    tracks->add_option("--at", row)->check(CLI::Range(0ll, 0xFFFFFFFFll));
    tracks->add_option("--rate", rate)->check(CLI::Range(1, 1000));
    CLI::App* scene = app.add_subcommand("scene");
    CLI::App* video = app.add_subcommand("video");
    CLI::App* image = app.add_subcommand("image");
    for (CLI::App* command : {scene, video, image})
        command->add_option("FILE", file)->required();
    const int status = parseCommandLine(app, argc, argv, usage);
    if (status >= 0)
        return status;

    if (archive->parsed())
        return inspectArchive(file, verify);
    if (tracks->parsed())
        return inspectTracks(file, files ? TimelineDocument::Files : TimelineDocument::Packed, row, rate);
    if (scene->parsed())
        return inspectScene(file);
    if (video->parsed())
        return inspectVideo(file);
    return inspectImage(file);
}
