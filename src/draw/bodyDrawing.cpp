#include "src/draw/bodyDrawing.h"

#include <algorithm>

#include "src/hostEngineConversions.h"

namespace zovdraw {

namespace {

using Colour = std::array<float, 4>;

constexpr Colour kNotLive = {0.0f, 0.0f, 0.0f, 1.0f};
constexpr Colour kSelected = {0.0f, 1.0f, 0.0f, 1.0f};
constexpr Colour kStaticSelected = {0.0f, 1.0f, 1.0f, 1.0f};
constexpr Colour kDynamic = {0.0f, 0.5f, 0.0f, 1.0f};
constexpr Colour kStatic = {0.0f, 0.0f, 1.0f, 1.0f};
constexpr Colour kClusterSelected = {1.0f, 1.0f, 0.0f, 1.0f};
constexpr Colour kPieceOfSelected = {0.9f, 0.6f, 0.0f, 1.0f};
constexpr Colour kPiece = {0.6f, 0.3f, 0.0f, 1.0f};

/// Thousandths: the stress colours' bit arithmetic works on them.
constexpr float kThousand = 1000.0f;
constexpr float kThousandth = 0.001f;

Colour pieceColour(const BodyLook& look, bool selectedRow) {
  if (selectedRow) return look.isStatic ? kStaticSelected : kPieceOfSelected;
  return look.isStatic ? kStatic : kPiece;
}

}  // namespace

std::array<float, 4> bodyColour(const BodyLook& look, ColourRules rules) {
  if (!look.live) return kNotLive;
  if (!look.piece) {
    if (look.selected) return look.isStatic ? kStaticSelected : kSelected;
    return look.isStatic ? kStatic : kDynamic;
  }
  if (rules == ColourRules::Direct3D) {
    if (look.clusterSelected) return kClusterSelected;
    return pieceColour(look, look.fractureSelected);
  }
  if (look.hasCluster) return look.clusterSelected ? kClusterSelected : kPiece;
  const bool selectedRow = look.fractureSelected || (rules == ColourRules::Legacy && look.selected);
  return pieceColour(look, selectedRow);
}

int highlightOf(const BodyLook& look) {
  return look.clusterSelected || (look.selected && look.fractureSelected) ? 1 : 0;
}

void highlightedStressColour(const MColor& colour, int highlight, float rgb[3]) {
  const int bits = static_cast<int>(kThousand * static_cast<float>(highlight));
  rgb[0] = static_cast<float>(static_cast<int>(kThousand * colour.r) & ~bits) * kThousandth;
  rgb[1] = static_cast<float>(static_cast<int>(kThousand * colour.g) | bits) * kThousandth;
  rgb[2] = colour.b;
}

unsigned int facePoints(const ZOVmesh& mesh, const mesh_face& face, const MMatrix& transform, float* out) {
  if (mesh.vertices == nullptr) return 0;
  const unsigned int count = heldCorners(face);
  for (unsigned int i = 0; i < count; ++i) {
    const std::uint32_t index = face.vertices[i];
    if (index >= mesh.numVertices) return 0;
    storePoint(toHostPoint(mesh.vertices[index]) * transform, out + 3 * i);
  }
  return count;
}

std::array<MPoint, 2> capsuleEnds(const ZOVcapsule& capsule, const MMatrix& transform) {
  const Mgc::MgcVector3 low = lowerEnd(capsule), high = upperEnd(capsule);
  return {toHostPoint(low) * transform, toHostPoint(high) * transform};
}

}  // namespace zovdraw
