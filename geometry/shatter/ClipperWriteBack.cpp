// Writing a cut back into the mesh: the surviving and new vertices, the
// attributes that kept faces still use, and every kept face turned to face
// the way its source face (or, for a cap, the reversed plane normal) did.
// Every new array is built before the first old one is freed, so that a
// failed allocation leaves the mesh as it was.

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <new>
#include <utility>

#include "geometry/shatter/Clipper.h"
#include "math/MgcMatrix3.h"
#include "math/Tolerances.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

// Named rather than anonymous: Clipper::WriteBack below holds its types.
namespace clipper_write_back {

/// A malloc'd array that frees itself unless released into a mesh record.
template <typename T>
class MallocArray {
 public:
  explicit MallocArray(std::size_t n) : data_(nullptr) {
    if (n == 0) return;
    data_ = static_cast<T*>(std::calloc(n, sizeof(T)));
    if (data_ == nullptr) throw std::bad_alloc();
  }
  MallocArray(const MallocArray&) = delete;
  MallocArray& operator=(const MallocArray&) = delete;
  ~MallocArray() { std::free(data_); }
  T* get() const { return data_; }
  T* release() {
    T* data = data_;
    data_ = nullptr;
    return data;
  }

 private:
  T* data_;
};

/// Replaces a record's array by a new one, freeing the old.
template <typename T>
void replaceArray(T*& field, MallocArray<T>& array) {
  std::free(field);
  field = array.release();
}

void copyVectors(MallocArray<MgcVector3>& out, const std::vector<MgcVector3>& values) {
  if (!values.empty()) std::memcpy(static_cast<void*>(out.get()), values.data(), values.size() * sizeof(MgcVector3));
}

/// One face as written: its working record, whether its corners run the other
/// way round, and its world normal.
struct OutputFace {
  std::uint32_t face;
  bool reversed;
  MgcVector3 normal;
};

/// The position of corner k of a face in output order.
std::size_t cornerAt(const OutputFace& out, std::size_t k, std::size_t n) { return out.reversed ? n - 1 - k : k; }

/// The inverse of the mesh transform, in the clipper's scale: the local
/// position of a scaled world position.
struct LocalFrame {
  MgcMatrix3 inverseRotation;
  MgcVector3 translation;
  MgcVector3 scale;

  LocalFrame(const MgcMatrix3& rotation, const MgcVector3& meshTranslation, const MgcVector3& meshScale,
             double workingScale)
      : inverseRotation(rotation.Transpose()), translation(meshTranslation * workingScale), scale(meshScale) {
    // A zero scale component has no inverse; that axis is left unscaled.
    for (int i = 0; i < 3; ++i)
      if (scale[i] == 0.0) scale[i] = 1.0;
  }
  MgcVector3 local(const MgcVector3& world) const {
    const MgcVector3 p = inverseRotation * (world - translation);
    return {p.x / scale.x, p.y / scale.y, p.z / scale.z};
  }
  MgcVector3 localNormal(const MgcVector3& world) const {
    MgcVector3 n = inverseRotation * world;
    n.Unitize(zov::kUnitizeTolerance);
    return n;
  }
};

}  // namespace clipper_write_back

using namespace clipper_write_back;

namespace {

/// Keeps the entries of `values` that the given ids use, in order, and
/// renumbers the ids; ids outside the array first become 0. At least one
/// entry is kept. `id(face, corner)` gives a pointer to a corner's id, or
/// null when the face has no such id.
template <typename Id>
std::vector<MgcVector3> compactValues(const std::vector<MgcVector3>& values, std::deque<ClipFace>& faces,
                                      const std::vector<OutputFace>& outputs, Id id) {
  std::vector<std::uint32_t> newIndex(values.size(), zov::kNoIndex);
  for (const OutputFace& out : outputs) {
    ClipFace& face = faces[out.face];
    for (ClipCorner& corner : face.corners) {
      std::uint32_t* value = id(face, corner);
      if (value == nullptr) continue;
      if (*value >= values.size()) *value = 0;
      if (!values.empty()) newIndex[*value] = 0;
    }
  }
  std::vector<MgcVector3> kept;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (newIndex[i] == zov::kNoIndex) continue;
    newIndex[i] = static_cast<std::uint32_t>(kept.size());
    kept.push_back(values[i]);
  }
  if (!values.empty()) {
    for (const OutputFace& out : outputs) {
      ClipFace& face = faces[out.face];
      for (ClipCorner& corner : face.corners) {
        std::uint32_t* value = id(face, corner);
        if (value != nullptr) *value = newIndex[*value];
      }
    }
  }
  if (kept.empty()) kept.emplace_back();
  return kept;
}

/// Whether the corners name at least 3 different vertices.
bool hasThreeVertices(const std::vector<ClipCorner>& corners) {
  const std::size_t n = corners.size();
  if (n < 3) return false;
  const std::uint32_t first = corners[0].vertex;
  std::size_t k = 1;
  while (k < n && corners[k].vertex == first) ++k;
  if (k == n) return false;
  const std::uint32_t second = corners[k].vertex;
  for (; k < n; ++k)
    if (corners[k].vertex != first && corners[k].vertex != second) return true;
  return false;
}

}  // namespace

// Shared first half of both write-backs: vertex numbering, positions and the
// faces that are written.
struct Clipper::WriteBack {
  std::vector<std::uint32_t> remap;
  std::vector<MgcVector3> positions;
  MgcVector3 centroid;
  std::vector<OutputFace> outputs;
};

void Clipper::prepareWriteBack(WriteBack& out) {
  // The faces that stay: kept, with at least 3 distinct corners (a face of
  // fewer has no area and no edge that another face needs).
  std::vector<std::uint32_t> kept;
  std::vector<std::uint8_t> used(vertices_.size(), 0);
  for (std::uint32_t f = 0; f < faces_.size(); ++f) {
    const ClipFace& face = faces_[f];
    if (face.keep == 0 || !hasThreeVertices(face.corners)) continue;
    bool inRange = true;
    for (const ClipCorner& corner : face.corners) inRange = inRange && corner.vertex < vertices_.size();
    if (!inRange) continue;
    kept.push_back(f);
    for (const ClipCorner& corner : face.corners) used[corner.vertex] = 1;
  }

  // The vertices they use: pre-cut vertices in their order, then new ones in
  // theirs. Vertices no face uses any more (on-plane points of faces that
  // went, copies at their place) are left out.
  out.remap.assign(vertices_.size(), zov::kNoIndex);
  for (std::uint32_t v = 0; v < vertices_.size(); ++v) {
    if (used[v] == 0) continue;
    out.remap[v] = static_cast<std::uint32_t>(out.positions.size());
    out.positions.push_back(vertices_[v]);
    out.centroid += vertices_[v];
  }
  if (!out.positions.empty()) out.centroid /= static_cast<double>(out.positions.size());

  for (const std::uint32_t f : kept) {
    ClipFace& face = faces_[f];
    for (ClipCorner& corner : face.corners) corner.vertex = out.remap[corner.vertex];

    // The area vector of the face (the sum over its fan triangles): unlike
    // any single fan triangle it points the right way for a concave face too.
    const std::vector<ClipCorner>& V = face.corners;
    MgcVector3 N;
    for (std::size_t k = 2; k < V.size(); ++k) {
      const MgcVector3& a = out.positions[V[0].vertex];
      const MgcVector3& b = out.positions[V[k - 1].vertex];
      const MgcVector3& c = out.positions[V[k].vertex];
      N += (b - a).Cross(c - b);
    }
    MgcVector3 reference = f >= baseFaceCount_ ? -normal_ : face.normal;
    if (reference.SquaredLength() < zov::kTolerance) {
      // A source face without a usable normal keeps the winding it has.
      reference = N;
      reference.Unitize(zov::kUnitizeTolerance);
    }
    // A sliver keeps the winding it was built with (that of its source face
    // or its cap loop): its own normal says nothing, and dropping it would
    // open the mesh.
    const bool reversed = N.SquaredLength() >= zov::kTolerance && N.Dot(reference) < 0.0;
    face.flags &= static_cast<std::uint16_t>(~kDFfaceCrossing);
    out.outputs.push_back(OutputFace{f, reversed, reference});
  }
}

void Clipper::rebuildMesh(ZOVmesh& mesh) {
  WriteBack wb;
  prepareWriteBack(wb);
  const LocalFrame frame(mesh.rotation, mesh.translation, mesh.scale, scale_);

  std::vector<MgcVector3> uvs;
  if (hasUVs_)
    uvs = compactValues(uvs_, faces_, wb.outputs, [](ClipFace&, ClipCorner& corner) { return &corner.uvId; });

  // A face record holds kMaxFaceCorners corners: larger faces become fans
  // that share their first corner.
  constexpr std::size_t kFanStep = kMaxFaceCorners - 2;
  std::size_t faceCount = 0;
  for (const OutputFace& out : wb.outputs) {
    const std::size_t n = faces_[out.face].corners.size();
    faceCount += n <= kMaxFaceCorners ? 1 : (n - 2 + kFanStep - 1) / kFanStep;
  }

  const std::size_t vertexCount = wb.positions.size();
  MallocArray<MgcVector3> world(vertexCount), local(vertexCount);
  MallocArray<MgcVector3> vertexData(mesh.vertexData != nullptr ? vertexCount : 0);
  MallocArray<MgcVector3> uvArray(uvs.size());
  MallocArray<mesh_face> faces(faceCount);
  std::unique_ptr<std::uint32_t, void (*)(void*)> corners(
      allocateCornerBlock(faces.get(), static_cast<std::uint32_t>(faceCount)), &std::free);
  if (!corners) throw std::bad_alloc();
  MallocArray<MgcVector3> worldNormals(faceCount), localNormals(faceCount);

  for (std::size_t v = 0; v < vertexCount; ++v) {
    world.get()[v] = wb.positions[v];
    local.get()[v] = frame.local(wb.positions[v]);
  }
  copyVectors(uvArray, uvs);

  std::size_t written = 0;
  std::vector<std::size_t> order;
  for (const OutputFace& out : wb.outputs) {
    const ClipFace& face = faces_[out.face];
    const std::size_t n = face.corners.size();
    order.resize(n);
    for (std::size_t k = 0; k < n; ++k) order[k] = cornerAt(out, k, n);
    const bool cap = out.face >= baseFaceCount_;
    for (std::size_t start = 1; start + 1 < n; start += kFanStep) {
      const std::size_t end = std::min(n, start + kMaxFaceCorners - 1);
      // Records and their corners start zeroed (calloc).
      mesh_face& record = faces.get()[written];
      auto put = [&](std::size_t k) {
        const ClipCorner& corner = face.corners[order[k]];
        record.vertices[record.numVertices] = corner.vertex;
        record.uvIndices[record.numVertices] = hasUVs_ ? corner.uvId : 0;
        ++record.numVertices;
      };
      put(0);
      for (std::size_t k = start; k < end; ++k) put(k);
      record.mark = 1;
      // The cut-face bit of a mesh face record marks caps.
      record.faceFlags = cap ? kMeshFaceCut : face.flags;
      record.groupId = firstFaceTag_;
      record.tag = face.kind;
      worldNormals.get()[written] = out.normal;
      localNormals.get()[written] = frame.localNormal(out.normal);
      ++written;
      if (end == n) break;
    }
  }

  // Nothing below allocates.
  replaceArray(mesh.worldVertices, world);
  replaceArray(mesh.vertices, local);
  if (mesh.vertexData != nullptr) {
    replaceArray(mesh.vertexData, vertexData);
    mesh.hasVertexData = 0;
  }
  if (hasUVs_) {
    replaceArray(mesh.uvs, uvArray);
    mesh.numUVs = static_cast<std::uint32_t>(uvs.size());
  }
  replaceArray(mesh.faces, faces);
  std::free(mesh.faceCorners);
  mesh.faceCorners = corners.release();
  replaceArray(mesh.worldFaceNormals, worldNormals);
  replaceArray(mesh.faceNormals, localNormals);
  mesh.numVertices = static_cast<std::uint32_t>(vertexCount);
  mesh.numFaces = static_cast<std::uint32_t>(written);
  mesh.worldCenter = wb.centroid;
}

void Clipper::rebuildMesh(ZOV_DFmesh& mesh) {
  WriteBack wb;
  prepareWriteBack(wb);
  const LocalFrame frame(mesh.rotation, mesh.translation, mesh.scale, scale_);

  std::vector<MgcVector3> normals, colors, uvs;
  std::vector<MgcVector3> layers[kMaxExtraUVLayers];
  if (hasNormals_)
    normals =
        compactValues(normals_, faces_, wb.outputs, [](ClipFace&, ClipCorner& corner) { return &corner.normalId; });
  if (hasColors_)
    colors = compactValues(colors_, faces_, wb.outputs, [](ClipFace&, ClipCorner& corner) { return &corner.colorId; });
  std::size_t uvCount = 0;
  if (hasUVs_) {
    uvs = compactValues(uvs_, faces_, wb.outputs, [](ClipFace&, ClipCorner& corner) { return &corner.uvId; });
    uvCount = uvs.size();
    for (std::uint32_t l = 0; l < uvSetCount_; ++l) {
      layers[l] = compactValues(uvSets_[l], faces_, wb.outputs, [l](ClipFace& face, ClipCorner& corner) {
        return l + 1 < face.channelCount ? &corner.uvSetIds[l] : nullptr;
      });
      uvCount = std::max(uvCount, layers[l].size());
    }
    // Every layer holds the mesh's one UV count.
    uvs.resize(uvCount);
    for (std::uint32_t l = 0; l < uvSetCount_; ++l) layers[l].resize(uvCount);
  }

  const std::size_t vertexCount = wb.positions.size();
  const std::size_t faceCount = wb.outputs.size();
  MallocArray<MgcVector3> world(vertexCount), local(vertexCount);
  MallocArray<MgcVector3> vertexData(mesh.vertexData != nullptr ? vertexCount : 0);
  MallocArray<MgcVector3> normalArray(normals.size()), colorArray(colors.size()), uvArray(uvs.size());
  std::unique_ptr<MallocArray<MgcVector3>> layerArrays[kMaxExtraUVLayers];
  for (std::uint32_t l = 0; l < uvSetCount_; ++l) {
    layerArrays[l] = std::make_unique<MallocArray<MgcVector3>>(uvCount);
    copyVectors(*layerArrays[l], layers[l]);
  }
  MallocArray<MgcVector3> worldNormals(faceCount), localNormals(faceCount);
  std::unique_ptr<DFface[]> faces(faceCount != 0 ? new DFface[faceCount] : nullptr);

  for (std::size_t v = 0; v < vertexCount; ++v) {
    world.get()[v] = wb.positions[v];
    local.get()[v] = frame.local(wb.positions[v]);
  }
  copyVectors(normalArray, normals);
  copyVectors(colorArray, colors);
  copyVectors(uvArray, uvs);

  for (std::size_t i = 0; i < faceCount; ++i) {
    const OutputFace& out = wb.outputs[i];
    const ClipFace& face = faces_[out.face];
    const auto n = static_cast<std::uint32_t>(face.corners.size());
    DFface& record = faces[i];
    allocateBufferChannels(&record, n, face.channelCount, hasColors_);
    for (std::uint32_t k = 0; k < n; ++k) {
      const ClipCorner& corner = face.corners[cornerAt(out, k, n)];
      record.vertices[k] = corner.vertex;
      record.cornerData[k] = hasNormals_ ? corner.normalId : 0;
      record.uvIndices[k] = hasUVs_ ? corner.uvId : 0;
      if (record.extraIndices != nullptr) record.extraIndices[k] = hasColors_ ? corner.colorId : 0;
      for (std::uint32_t l = 0; l + 1 < face.channelCount; ++l)
        record.layerUVIndices[l][k] = l < uvSetCount_ ? corner.uvSetIds[l] : 0;
    }
    record.numVertices = n;
    record.numList = 0;
    record.normal = out.normal;
    record.mark = 1;
    record.faceFlags = face.flags;
    record.pieceId = firstFaceTag_;
    record.faceByte = face.kind;
    worldNormals.get()[i] = out.normal;
    localNormals.get()[i] = frame.localNormal(out.normal);
  }

  // Nothing below allocates.
  replaceArray(mesh.worldVertices, world);
  replaceArray(mesh.vertices, local);
  if (mesh.vertexData != nullptr) {
    replaceArray(mesh.vertexData, vertexData);
    mesh.hasVertexData = 0;
  }
  if (hasNormals_) {
    replaceArray(mesh.auxPoints, normalArray);
    mesh.numAuxPoints = static_cast<std::uint32_t>(normals.size());
  }
  if (hasColors_) {
    replaceArray(mesh.extraPoints, colorArray);
    mesh.numExtraPoints = static_cast<std::uint32_t>(colors.size());
  }
  if (hasUVs_) {
    replaceArray(mesh.uvs, uvArray);
    for (std::uint32_t l = 0; l < uvSetCount_; ++l) replaceArray(mesh.uvLayers[l], *layerArrays[l]);
    mesh.numUVs = static_cast<std::uint32_t>(uvCount);
  }
  delete[] mesh.faces;
  mesh.faces = faces.release();
  replaceArray(mesh.worldFaceNormals, worldNormals);
  replaceArray(mesh.faceNormals, localNormals);
  mesh.numVertices = static_cast<std::uint32_t>(vertexCount);
  mesh.numFaces = static_cast<std::uint32_t>(faceCount);
  mesh.center = wb.centroid;
}
