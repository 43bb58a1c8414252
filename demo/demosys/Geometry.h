#pragma once

#include <string>

class VAO;

// The engine's shared meshes, reached through process-wide pointers. Every attribute
// is in its own vertex buffer, mapped as "in_Position" (3), "in_UV0" (2) and
// "in_Normal" (3). Triangles wind counter-clockwise seen from the side their normal
// points to (outward for the closed shapes). The client arrays are temporary: only
// the GL buffers stay.
//
// The meshes belong to the GL context current when they were built: release() them
// while it is still current, before it is destroyed; a later build() makes them again
// in whichever context is current then.
class Geometry {
public:
    // Centred unit quad, -1..1 in x and y at z = 0 ("Geometry::Quad").
    static VAO* quad;
    // Corner-anchored unit quad, top-left at the origin, extending to +x and -y
    // ("Geometry::Quad" as well): pos + position * scale with pos (-1, 1) and scale
    // (2, 2) covers the screen.
    static VAO* cornerQuad;
    // The corner-anchored square's outline as four line segments ("Geometry::QuadLines").
    static VAO* quadLines;
    // Textured cube of half-extent 1 ("Cube"), 36 vertices.
    static VAO* cube;
    // The deferred renderer's closed light volumes (positions and indices only).
    static VAO* lightCube;      // "deferred:cube", -1..1
    static VAO* lightCubeLines; // "deferred:cubeLines"
    static VAO* lightCone;      // "deferred:cone", apex at the origin, base at z = -1
    static VAO* lightConeLines; // "deferred:coneLines"
    // Tighter volumes that the renderer draws, since every pixel a volume covers costs a
    // light's whole program: a polyhedron around the unit sphere (42 corners, 80
    // triangles) for point lights, and an 8-sided pyramid around the round cone inside
    // "deferred:cone" for spot lights without a picture.
    static VAO* lightSphere;    // "deferred:sphere"
    static VAO* lightRoundCone; // "deferred:roundCone"

    // The quads, the outline and the cube, in that order; nothing when already built.
    static void build();
    // The six light volumes; nothing when already built.
    static void buildLightVolumes();
    // Deletes every shared mesh and clears the pointers.
    static void release();

    // A new uploaded cube (36 vertices: position, normal, uv) of the given half-extent;
    // the caller owns it.
    static VAO* createCube(const std::string& name, float halfExtent);
    // A new uploaded centred quad spanning -halfSize..halfSize at z = 0 with uv 0..1
    // and normal +Z; the caller owns it.
    static VAO* createQuad(const std::string& name, float halfSize);
};
