#include "geometry/SharedFaces.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

namespace {

/// A shared face table: this header, then the face records, then their
/// corner lists laid out as allocateCornerBlock lays them out, in one block.
struct FaceBlock {
  std::uint64_t hash;
  /// Meshes that hold the table; changed under the registry's lock only.
  std::uint32_t holders;
  std::uint32_t numFaces;
  /// Length of the corner lists, in 32-bit words.
  std::uint32_t cornerWords;
};
constexpr std::size_t kFacesAt = (sizeof(FaceBlock) + alignof(mesh_face) - 1) / alignof(mesh_face) * alignof(mesh_face);

mesh_face* facesOf(FaceBlock* block) { return reinterpret_cast<mesh_face*>(reinterpret_cast<char*>(block) + kFacesAt); }
std::uint32_t* cornersOfBlock(FaceBlock* block) {
  return reinterpret_cast<std::uint32_t*>(facesOf(block) + block->numFaces);
}
FaceBlock* faceBlockOf(mesh_face* faces) {
  return reinterpret_cast<FaceBlock*>(reinterpret_cast<char*>(faces) - kFacesAt);
}

/// The corner words of the mesh's faces when they lie in its corner block
/// as allocateCornerBlock lays them out (three lists a face, each as long as
/// the face's capacity, then one spare word); 0 when they do not, and such
/// faces are not shared.
std::uint32_t canonicalCornerWords(const ZOVmesh& mesh) {
  if (mesh.faces == nullptr || mesh.faceCorners == nullptr || mesh.numFaces == 0) return 0;
  std::uint64_t next = 0;
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
    const mesh_face& face = mesh.faces[f];
    const std::uint32_t* at = mesh.faceCorners + next;
    if (face.cornerCapacity > kMaxFaceCorners || face.vertices != at || face.uvIndices != at + face.cornerCapacity ||
        face.edges != at + 2 * face.cornerCapacity) {
      return 0;
    }
    next += 3 * std::uint64_t{face.cornerCapacity};
  }
  return static_cast<std::uint32_t>(next + 1);
}

/// The words that say what the faces are: each record's counts and marks,
/// then the corner lists.
std::vector<std::uint32_t> contentOf(const ZOVmesh& mesh, std::uint32_t cornerWords) {
  std::vector<std::uint32_t> words;
  words.reserve(7 * std::size_t{mesh.numFaces} + cornerWords);
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
    const mesh_face& face = mesh.faces[f];
    words.insert(words.end(), {face.numVertices, face.cornerCapacity, face.numEdges, face.mark, face.faceFlags,
                               face.groupId, face.tag});
  }
  words.insert(words.end(), mesh.faceCorners, mesh.faceCorners + cornerWords);
  return words;
}

/// Word-by-word FNV-1a.
std::uint64_t hashOfWords(const std::vector<std::uint32_t>& words) {
  std::uint64_t hash = 14695981039346656037ull;
  for (std::uint32_t w : words) {
    hash ^= w;
    hash *= 1099511628211ull;
  }
  return hash;
}

bool sameFaces(FaceBlock* block, const ZOVmesh& mesh, std::uint32_t cornerWords) {
  if (block->numFaces != mesh.numFaces || block->cornerWords != cornerWords) return false;
  const mesh_face* faces = facesOf(block);
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
    const mesh_face& x = faces[f];
    const mesh_face& y = mesh.faces[f];
    if (x.numVertices != y.numVertices || x.cornerCapacity != y.cornerCapacity || x.numEdges != y.numEdges ||
        x.mark != y.mark || x.faceFlags != y.faceFlags || x.groupId != y.groupId || x.tag != y.tag) {
      return false;
    }
  }
  return std::equal(mesh.faceCorners, mesh.faceCorners + cornerWords, cornersOfBlock(block));
}

/// A block holding a copy of the mesh's faces, with one holder; null when
/// memory runs out.
FaceBlock* newFaceBlock(std::uint64_t hash, const ZOVmesh& mesh, std::uint32_t cornerWords) {
  const std::size_t bytes =
      kFacesAt + std::size_t{mesh.numFaces} * sizeof(mesh_face) + std::size_t{cornerWords} * sizeof(std::uint32_t);
  void* memory = std::malloc(bytes);
  if (memory == nullptr) return nullptr;
  FaceBlock* block = new (memory) FaceBlock{hash, 1, mesh.numFaces, cornerWords};
  mesh_face* faces = facesOf(block);
  std::uint32_t* corners = cornersOfBlock(block);
  std::memcpy(static_cast<void*>(faces), mesh.faces, std::size_t{mesh.numFaces} * sizeof(mesh_face));
  std::memcpy(corners, mesh.faceCorners, std::size_t{cornerWords} * sizeof(std::uint32_t));
  // The lists move with their block.
  for (std::uint32_t f = 0; f < mesh.numFaces; ++f) {
    const std::ptrdiff_t at = mesh.faces[f].vertices - mesh.faceCorners;
    faces[f].vertices = corners + at;
    faces[f].uvIndices = faces[f].vertices + faces[f].cornerCapacity;
    faces[f].edges = faces[f].vertices + 2 * faces[f].cornerCapacity;
  }
  return block;
}

/// The face tables some mesh holds, by their hash. Meshes are built and
/// freed on any thread; a table is freed when its last mesh lets go of it.
class FaceRegistry {
 public:
  static FaceRegistry& instance() {
    // Never destroyed, so that meshes freed during the process's exit still
    // find it.
    static FaceRegistry* registry = new FaceRegistry;
    return *registry;
  }

  /// A held table equal to the mesh's faces, held once more, or a new one;
  /// null when memory runs out.
  FaceBlock* share(const ZOVmesh& mesh, std::uint32_t cornerWords) {
    const std::uint64_t hash = hashOfWords(contentOf(mesh, cornerWords));
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto range = blocks_.equal_range(hash);
    for (auto it = range.first; it != range.second; ++it) {
      if (sameFaces(it->second, mesh, cornerWords)) {
        ++it->second->holders;
        return it->second;
      }
    }
    FaceBlock* block = newFaceBlock(hash, mesh, cornerWords);
    if (block == nullptr) return nullptr;
    try {
      blocks_.emplace(hash, block);
    } catch (const std::bad_alloc&) {
      std::free(block);
      return nullptr;
    }
    return block;
  }

  /// One holder fewer; the last one frees the block.
  void release(FaceBlock* block) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto range = blocks_.equal_range(block->hash);
    for (auto it = range.first; it != range.second; ++it) {
      if (it->second != block) continue;
      if (--block->holders == 0) {
        blocks_.erase(it);
        std::free(block);
      }
      return;
    }
  }

  std::size_t size() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return blocks_.size();
  }

 private:
  std::mutex mutex_;
  std::unordered_multimap<std::uint64_t, FaceBlock*> blocks_;
};

}  // namespace

bool shareFaceTables(ZOVmesh& mesh) {
  if (hasSharedFaces(mesh)) return true;
  const std::uint32_t cornerWords = canonicalCornerWords(mesh);
  if (cornerWords == 0) return false;
  FaceBlock* block = nullptr;
  try {
    block = FaceRegistry::instance().share(mesh, cornerWords);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (block == nullptr) return false;
  std::free(mesh.faces);
  std::free(mesh.faceCorners);
  mesh.faces = facesOf(block);
  mesh.faceCorners = cornersOfBlock(block);
  mesh.meshFlags = static_cast<std::uint16_t>(mesh.meshFlags | kMeshSharedFaces);
  return true;
}

bool ownFaceTables(ZOVmesh& mesh) {
  if (!hasSharedFaces(mesh)) return true;
  FaceBlock* block = faceBlockOf(mesh.faces);
  auto* faces = static_cast<mesh_face*>(std::calloc(block->numFaces, sizeof(mesh_face)));
  auto* corners = static_cast<std::uint32_t*>(std::calloc(block->cornerWords, sizeof(std::uint32_t)));
  if (faces == nullptr || corners == nullptr) {
    std::free(faces);
    std::free(corners);
    return false;
  }
  const mesh_face* shared = facesOf(block);
  const std::uint32_t* sharedCorners = cornersOfBlock(block);
  std::memcpy(static_cast<void*>(faces), shared, std::size_t{block->numFaces} * sizeof(mesh_face));
  std::memcpy(corners, sharedCorners, std::size_t{block->cornerWords} * sizeof(std::uint32_t));
  for (std::uint32_t f = 0; f < block->numFaces; ++f) {
    faces[f].vertices = corners + (shared[f].vertices - sharedCorners);
    faces[f].uvIndices = faces[f].vertices + faces[f].cornerCapacity;
    faces[f].edges = faces[f].vertices + 2 * faces[f].cornerCapacity;
  }
  FaceRegistry::instance().release(block);
  mesh.faces = faces;
  mesh.faceCorners = corners;
  mesh.meshFlags = static_cast<std::uint16_t>(mesh.meshFlags & ~kMeshSharedFaces);
  return true;
}

void releaseFaceTables(ZOVmesh& mesh) {
  if (hasSharedFaces(mesh)) {
    if (mesh.faces != nullptr) FaceRegistry::instance().release(faceBlockOf(mesh.faces));
  } else {
    std::free(mesh.faces);
    std::free(mesh.faceCorners);
  }
  mesh.faces = nullptr;
  mesh.faceCorners = nullptr;
  mesh.meshFlags = static_cast<std::uint16_t>(mesh.meshFlags & ~kMeshSharedFaces);
}

std::size_t sharedFaceTableCount() { return FaceRegistry::instance().size(); }
