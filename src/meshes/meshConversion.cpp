#include "src/meshes/meshConversion.h"

#include <maya/MColorArray.h>
#include <maya/MFloatArray.h>
#include <maya/MFloatPointArray.h>
#include <maya/MFloatVectorArray.h>
#include <maya/MItMeshPolygon.h>
#include <maya/MPointArray.h>
#include <maya/MVector.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "engine/MeshFactory.h"
#include "geometry/PolygonHelpers.h"
#include "math/Tolerances.h"
#include "src/hostEngineConversions.h"
#include "src/meshes/cutFaceTags.h"

namespace {

/// UV sets an engine mesh carries at most: the first and its further layers.
constexpr unsigned int kMaxCarriedUVSets = kMaxExtraUVLayers;
/// A shader index of -1 is stored as 255, the low byte of any value.
constexpr int kByteMask = 0xFF;

using MeshPtr = DFmeshPtr;

bool degenerate(const MVector& normal) { return normal * normal < zov::kTolerance; }

/// The per-face byte of a host polygon: 0 past the end of the values.
std::uint8_t faceByteOf(const MIntArray& values, unsigned int polygon) {
  return polygon < values.length() ? static_cast<std::uint8_t>(values[polygon] & kByteMask) : 0;
}

/// What the converters read per host corner besides its vertex.
struct CornerReader {
  const MStringArray* uvSetNames = nullptr;
  unsigned int carriedSets = 0;
  bool colours = false;
  /// Null: the current colour set.
  const MString* colorSet = nullptr;
  int colourCount = 0;

  /// Writes corner k of the polygon under the iterator into slot `slot` of the face.
  void write(const MItMeshPolygon& polygon, int k, DFface& face, unsigned int slot) const {
    face.cornerData[slot] = static_cast<std::uint32_t>(std::max(polygon.normalIndex(k), 0));
    if (colours) {
      int colour = 0;
      if (!polygon.getColorIndex(k, colour, colorSet) || colour < 0 || colour >= colourCount) colour = 0;
      face.extraIndices[slot] = static_cast<std::uint32_t>(colour);
    }
    // The first set by its name (an empty name, the current set, when the mesh has none).
    const MString first = uvSetNames->length() > 0 ? (*uvSetNames)[0] : MString();
    int uv = 0;
    if (polygon.getUVIndex(k, uv, &first)) face.uvIndices[slot] = static_cast<std::uint32_t>(uv);
    for (unsigned int set = 1; set < carriedSets; ++set) {
      uv = 0;
      polygon.getUVIndex(k, uv, &(*uvSetNames)[set]);
      face.layerUVIndices[set - 1][slot] = static_cast<std::uint32_t>(std::max(uv, 0));
    }
  }
};

/// Writes the engine faces of one host polygon from record f on: the whole
/// polygon when convex, else its host triangles. Returns the records written.
std::uint32_t writePolygon(const MItMeshPolygon& polygon, bool convex, const CornerReader& reader, ZOV_DFmesh& mesh,
                           std::uint32_t f) {
  const unsigned int corners = polygon.polygonVertexCount();
  MIntArray vertices;
  polygon.getVertices(vertices);
  if (convex) {
    DFface& face = mesh.faces[f];
    allocateBufferChannels(&face, corners, reader.carriedSets, reader.colours);
    for (unsigned int k = 0; k < corners; ++k) {
      face.vertices[k] = static_cast<std::uint32_t>(vertices[k]);
      reader.write(polygon, static_cast<int>(k), face, k);
    }
    face.numVertices = corners;
    return 1;
  }
  int triangles = 0;
  polygon.numTriangles(triangles);
  MPointArray points;
  MIntArray triangle;
  for (int t = 0; t < triangles; ++t) {
    polygon.getTriangle(t, points, triangle, MSpace::kObject);
    // The polygon corners that carry the triangle's vertices; a later match wins.
    int carrier[3] = {0, 0, 0};
    for (unsigned int k = 0; k < corners; ++k) {
      if (vertices[k] == triangle[0])
        carrier[0] = static_cast<int>(k);
      else if (vertices[k] == triangle[1])
        carrier[1] = static_cast<int>(k);
      else if (vertices[k] == triangle[2])
        carrier[2] = static_cast<int>(k);
    }
    DFface& face = mesh.faces[f + static_cast<std::uint32_t>(t)];
    allocateBufferChannels(&face, 3, reader.carriedSets, reader.colours);
    for (unsigned int c = 0; c < 3; ++c) {
      face.vertices[c] = static_cast<std::uint32_t>(triangle[c]);
      reader.write(polygon, carrier[c], face, c);
    }
    face.numVertices = 3;
  }
  return static_cast<std::uint32_t>(std::max(triangles, 0));
}

/// The cut-face value of a polygon; 0 when it has none.
int cutFaceValue(const MFnMesh& mesh, bool hasTags, unsigned int polygon) {
  int value = 0;
  if (!hasTags || !mesh.getIntBlindData(static_cast<int>(polygon), MFn::kMeshPolygonComponent, kCutFaceBlindDataId,
                                        kCutFaceAttribute, value))
    return 0;
  return value;
}

/// Normal (in the mesh's arrays and the record), byte and tags of records [first, end).
void finishPolygonFaces(ZOV_DFmesh& mesh, std::uint32_t first, std::uint32_t end, const MVector& normal,
                        std::uint8_t byte, std::uint16_t flags) {
  for (std::uint32_t f = first; f < end; ++f) {
    mesh.faceNormals[f] = mesh.worldFaceNormals[f] = mesh.faces[f].normal = toEngine(normal);
    mesh.faces[f].faceByte = byte;
    mesh.faces[f].faceFlags = flags;
  }
}

/// The carried UV sets: the host's count, at most eight; and the largest UV
/// count among them (the first set's alone when fewer than two are carried).
void uvCapacity(const MFnMesh& host, const MStringArray& names, unsigned int& carried, std::uint32_t& capacity) {
  carried = std::min(names.length(), kMaxCarriedUVSets);
  capacity = names.length() > 0 ? static_cast<std::uint32_t>(host.numUVs(names[0])) : 0;
  if (carried >= 2)
    for (unsigned int i = 1; i < carried; ++i)
      capacity = std::max(capacity, static_cast<std::uint32_t>(host.numUVs(names[i])));
}

/// A new engine mesh for `vertices` points, `faces` faces, the carried UV
/// sets of `names` (their count in `carried`) and `colours` colours; null
/// when it cannot be made.
MeshPtr newEngineMesh(const MFnMesh& host, const MStringArray& names, unsigned int vertices, std::uint32_t faces,
                      int colours, unsigned int& carried) {
  std::uint32_t uvs = 0;
  uvCapacity(host, names, carried, uvs);
  return MeshPtr(createDFmesh(vertices, uvs, faces, carried, colours));
}

/// Stores a host UV set as (u, v, 0) entries, at most the mesh's capacity.
void storeUVs(const MFloatArray& u, const MFloatArray& v, std::uint32_t capacity, Mgc::MgcVector3* out) {
  const unsigned int n = std::min({u.length(), v.length(), capacity});
  for (unsigned int i = 0; i < n; ++i) out[i] = Mgc::MgcVector3(u[i], v[i], 0.0);
}

void copyUVs(const MFnMesh& host, const MStringArray& names, unsigned int carried, ZOV_DFmesh& mesh) {
  if (mesh.numUVs == 0 || mesh.uvs == nullptr) return;
  MFloatArray u, v;
  if (carried < 2) {
    host.getUVs(u, v);
    storeUVs(u, v, mesh.numUVs, mesh.uvs);
    return;
  }
  host.getUVs(u, v, &names[0]);
  storeUVs(u, v, mesh.numUVs, mesh.uvs);
  for (unsigned int set = 1; set < carried; ++set) {
    u.clear();
    v.clear();
    host.getUVs(u, v, &names[set]);
    if (mesh.uvLayers[set - 1]) storeUVs(u, v, mesh.numUVs, mesh.uvLayers[set - 1]);
  }
  mesh.dfFlags |= kDFmeshMultipleUVLayers;
}

void copyColours(const MFnMesh& host, const MString* colorSet, ZOV_DFmesh& mesh) {
  MColorArray colours;
  host.getColors(colours, colorSet);
  const unsigned int n = std::min(colours.length(), mesh.numExtraPoints);
  for (unsigned int i = 0; i < n; ++i) mesh.extraPoints[i] = Mgc::MgcVector3(colours[i].r, colours[i].g, colours[i].b);
  mesh.numExtraPoints = n;
  mesh.dfFlags |= kDFmeshHasExtraPoints;
}

void copyNormals(const MFloatVectorArray& normals, ZOV_DFmesh& mesh, const MMatrix* matrix) {
  if (!allocMeshExtra(&mesh, normals.length())) return;
  for (unsigned int i = 0; i < normals.length(); ++i) {
    MVector n(normals[i]);
    if (matrix) n = n * *matrix;
    mesh.auxPoints[i] = toEngine(n);
  }
  mesh.numAuxPoints = normals.length();
}

/// World copy, centre and identity transform.
void finishMesh(ZOV_DFmesh& mesh, std::uint32_t faces) {
  mesh.numFaces = faces;
  Mgc::MgcVector3 sum(0.0, 0.0, 0.0);
  for (std::uint32_t i = 0; i < mesh.numVertices; ++i) {
    mesh.worldVertices[i] = mesh.vertices[i];
    sum += mesh.vertices[i];
  }
  mesh.center = mesh.worldCenter = sum / static_cast<double>(mesh.numVertices);
  mesh.translation = Mgc::MgcVector3(0.0, 0.0, 0.0);
  mesh.rotation = Mgc::MgcMatrix3::IDENTITY;
  mesh.scale = Mgc::MgcVector3(1.0, 1.0, 1.0);
}

}  // namespace

ZOV_DFmesh* mayaMeshToEngineMesh(MFnMesh& host, const MIntArray& perFaceValues, MStringArray& uvSetNames,
                                 const MString& colorSetName) {
  MFloatPointArray points;
  MFloatVectorArray normals;
  host.getPoints(points, MSpace::kWorld);
  host.getNormals(normals, MSpace::kWorld);
  uvSetNames.clear();
  host.getUVSetNames(uvSetNames);

  int colourCount = 0;
  if (host.numColorSets() > 0) colourCount = host.numColors(colorSetName);
  const bool colours = colourCount > 0;

  // Capacity: a convex polygon is one face, any other its host triangles;
  // degenerate polygons are counted too.
  MItMeshPolygon polygon(host.dagPath());
  std::uint32_t capacity = 0;
  for (polygon.reset(); !polygon.isDone(); polygon.next()) {
    int triangles = 1;
    if (!polygon.isConvex()) polygon.numTriangles(triangles);
    capacity += static_cast<std::uint32_t>(std::max(triangles, 0));
  }
  unsigned int carried = 0;
  MeshPtr mesh = newEngineMesh(host, uvSetNames, points.length(), capacity, colours ? colourCount : 0, carried);
  if (!mesh) return nullptr;
  try {
    mesh->numVertices = points.length();
    for (unsigned int i = 0; i < points.length(); ++i) mesh->vertices[i] = toEngine(points[i]);
    copyNormals(normals, *mesh, nullptr);
    if (colours) copyColours(host, &colorSetName, *mesh);
    copyUVs(host, uvSetNames, carried, *mesh);
    const bool hasTags = host.hasBlindData(MFn::kMeshPolygonComponent, kCutFaceBlindDataId);

    const CornerReader reader{&uvSetNames, carried, colours, &colorSetName, colourCount};
    std::uint32_t f = 0;
    for (polygon.reset(); !polygon.isDone(); polygon.next()) {
      const unsigned int p = polygon.index();
      MVector normal;
      host.getPolygonNormal(static_cast<int>(p), normal, MSpace::kWorld);
      const int value = cutFaceValue(host, hasTags, p);
      // A cut face of no area is a cap sliver that closes its shard: it stays, whole.
      const bool sliver = degenerate(normal);
      if (sliver && value < 1) continue;
      const std::uint32_t written = writePolygon(polygon, sliver || polygon.isConvex(), reader, *mesh, f);
      const std::uint16_t flags = (value == 1 ? kCutFaceFlag : 0) | (value >= 2 ? kSecondCutFaceFlag : 0);
      finishPolygonFaces(*mesh, f, f + written, normal, faceByteOf(perFaceValues, p), flags);
      f += written;
    }
    finishMesh(*mesh, f);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return mesh.release();
}

namespace {

/// mayaMeshToEngineMeshWorld on a function set and a polygon iterator of one mesh.
ZOV_DFmesh* convertMesh(MFnMesh& host, MItMeshPolygon& polygon, const MIntArray& perFaceValues,
                        MStringArray& uvSetNames, const MMatrix* matrix) {
  const MSpace::Space space = matrix ? MSpace::kObject : MSpace::kWorld;
  MPointArray points;
  MFloatVectorArray normals;
  host.getPoints(points, space);
  host.getNormals(normals, space);
  uvSetNames.clear();
  host.getUVSetNames(uvSetNames);
  std::vector<Mgc::MgcVector3> positions;
  try {
    positions.resize(points.length());
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  for (unsigned int i = 0; i < points.length(); ++i) {
    MPoint p(MFloatPoint(points[i]));
    if (matrix) p = p * *matrix;
    positions[i] = toEngine(p);
  }
  int colourCount = 0;
  if (host.numColorSets() > 0) colourCount = host.numColors();
  const bool colours = colourCount > 0;

  const auto polygonNormal = [&]() {
    MVector normal;
    if (matrix) {
      polygon.getNormal(normal, MSpace::kObject);
      return normal * *matrix;
    }
    polygon.getNormal(normal, MSpace::kWorld);
    return normal;
  };
  // The engine's convexity test on the converted corners, in a scratch record
  // prepared again only when a polygon outgrows it.
  DFface scratch;
  const auto convex = [&](const MVector& normal) {
    MIntArray vertices;
    polygon.getVertices(vertices);
    if (vertices.length() > scratch.capacity) allocateBufferChannels(&scratch, vertices.length(), 1, false);
    for (unsigned int k = 0; k < vertices.length(); ++k) scratch.vertices[k] = static_cast<std::uint32_t>(vertices[k]);
    scratch.numVertices = vertices.length();
    scratch.normal = toEngine(normal);
    return isFaceConvex(scratch, positions.data());
  };

  try {
    const bool hasTags = host.hasBlindData(MFn::kMeshPolygonComponent, kCutFaceBlindDataId);
    std::uint32_t capacity = 0;
    for (polygon.reset(); !polygon.isDone(); polygon.next()) {
      const MVector normal = polygonNormal();
      const bool sliver = degenerate(normal);
      if (sliver && cutFaceValue(host, hasTags, polygon.index()) < 1) continue;
      int triangles = 1;
      if (!sliver && !convex(normal)) polygon.numTriangles(triangles);
      capacity += static_cast<std::uint32_t>(std::max(triangles, 0));
    }
    unsigned int carried = 0;
    MeshPtr mesh = newEngineMesh(host, uvSetNames, points.length(), capacity, colours ? colourCount : 0, carried);
    if (!mesh) return nullptr;
    mesh->numVertices = points.length();
    std::copy(positions.begin(), positions.end(), mesh->vertices);
    copyNormals(normals, *mesh, matrix);
    if (colours) copyColours(host, nullptr, *mesh);
    copyUVs(host, uvSetNames, carried, *mesh);

    const CornerReader reader{&uvSetNames, carried, colours, nullptr, colourCount};
    std::uint32_t f = 0;
    for (polygon.reset(); !polygon.isDone(); polygon.next()) {
      const unsigned int p = polygon.index();
      const MVector normal = polygonNormal();
      const int value = cutFaceValue(host, hasTags, p);
      const bool sliver = degenerate(normal);
      if (sliver && value < 1) continue;
      const std::uint32_t written = writePolygon(polygon, sliver || convex(normal), reader, *mesh, f);
      const std::uint16_t flags = (value == 1 ? kCutFaceFlag : 0) | (value == 2 ? kSecondCutFaceFlag : 0);
      finishPolygonFaces(*mesh, f, f + written, normal, faceByteOf(perFaceValues, p), flags);
      f += written;
    }
    finishMesh(*mesh, f);
    return mesh.release();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

ZOV_DFmesh* mayaMeshToEngineMeshWorld(const MDagPath& meshPath, const MIntArray& perFaceValues,
                                      MStringArray& uvSetNames, const MMatrix* matrix) {
  MFnMesh host(meshPath);
  MItMeshPolygon polygon(meshPath);
  return convertMesh(host, polygon, perFaceValues, uvSetNames, matrix);
}

ZOV_DFmesh* mayaMeshToEngineMeshWorld(const MObject& mesh, const MIntArray& perFaceValues, MStringArray& uvSetNames,
                                      const MMatrix* matrix) {
  MFnMesh host(mesh);
  MItMeshPolygon polygon(mesh);
  return convertMesh(host, polygon, perFaceValues, uvSetNames, matrix);
}
