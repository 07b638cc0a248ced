// Closing the faces the plane cut: each cut face split into the pieces on
// either side of the plane, along the gap that the cut edges leave in it,
// and the pieces' corners rebuilt.

#include <algorithm>
#include <utility>
#include <vector>

#include "geometry/shatter/Clipper.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;

void Clipper::closeCutFaces() {
  std::vector<ClipFace> pieces;
  const auto faceCount = static_cast<std::uint32_t>(faces_.size());
  for (std::uint32_t f = 0; f < faceCount; ++f)
    if (faces_[f].keep != 0 && (faces_[f].flags & kDFfaceCrossing) != 0) closeFace(f, pieces);
  for (ClipFace& piece : pieces) faces_.push_back(std::move(piece));
  baseFaceCount_ = static_cast<std::uint32_t>(faces_.size());
}

void Clipper::closeFace(std::uint32_t f, std::vector<ClipFace>& pieces) {
  {
    ClipFace& face = faces_[f];
    std::vector<std::uint32_t> live;
    std::vector<std::uint8_t> liveForward;
    for (std::size_t i = 0; i < face.edges.size(); ++i) {
      const ClipEdge& edge = edges_[face.edges[i]];
      if (edge.valid == 0) continue;
      if ((vertices_[edge.to] - vertices_[edge.from]).SquaredLength() < zov::kTolerance) {
        face.changed = true;
        continue;
      }
      // A side lying in the plane bounds what is kept of the face only when
      // the face reaches above the plane from it.
      if (isInPlane(edge)) {
        const MgcVector3 along = face.edgeForward[i] != 0 ? vertices_[edge.to] - vertices_[edge.from]
                                                          : vertices_[edge.from] - vertices_[edge.to];
        if (normal_.Dot(face.normal.Cross(along)) <= 0.0) {
          face.changed = true;
          continue;
        }
      }
      live.push_back(face.edges[i]);
      liveForward.push_back(face.edgeForward[i]);
    }
    // An edge followed by itself or its reverse is a spike of no width.
    face.edges.clear();
    face.edgeForward.clear();
    for (std::size_t i = 0; i < live.size(); ++i) {
      const std::size_t next = (i + 1) % live.size();
      if (next != i) {
        const ClipEdge& a = edges_[live[i]];
        const ClipEdge& b = edges_[live[next]];
        if ((a.from == b.from && a.to == b.to) || (a.from == b.to && a.to == b.from)) {
          face.changed = true;
          continue;
        }
      }
      face.edges.push_back(live[i]);
      face.edgeForward.push_back(liveForward[i]);
    }
    if (face.edges.empty()) {
      face.keep = 0;
      return;
    }
  }

  std::uint32_t added = 0;
  std::uint32_t ends[2], edgeOf[2];
  int slots[2];
  // Each closing edge turns two open ends into used ones, so the search ends.
  const std::size_t maxGaps = faces_[f].edges.size();
  while (added <= maxGaps && findCutGap(f, ends, edgeOf, slots)) {
    ClipFace& face = faces_[f];
    ClipEdge closing{};
    closing.from = ends[0];
    closing.to = ends[1];
    for (int end = 0; end < 2; ++end) {
      const ClipEdge& source = edges_[edgeOf[end]];
      const int s = slots[end];
      const int first = end == 0 ? kSlotFromFace1 : kSlotToFace1;
      const int second = end == 0 ? kSlotFromFace2 : kSlotToFace2;
      closing.normalIds[first] = closing.normalIds[second] = source.normalIds[s];
      closing.colorIds[first] = closing.colorIds[second] = source.colorIds[s];
      closing.uvIds[first] = closing.uvIds[second] = source.uvIds[s];
      for (std::uint32_t l = 0; l < kMaxExtraUVLayers; ++l)
        closing.uvSetIds[l][first] = closing.uvSetIds[l][second] = source.uvSetIds[l][s];
    }
    closing.face[0] = static_cast<std::int32_t>(f);
    closing.face[1] = -1;
    closing.place[0] = closing.place[1] = zov::kNoIndex;
    closing.valid = 1;
    closing.channelCount = std::max<std::uint8_t>(face.channelCount, 1);
    const auto index = static_cast<std::uint32_t>(edges_.size());
    edges_.push_back(closing);
    edgeEnd_ = index + 1;

    // Into the gap: after the edge that the face leaves through one of its
    // ends, running on to the other end.
    std::size_t at = face.edges.size();
    std::uint8_t forward = 1;
    for (std::size_t i = 0; i < face.edges.size(); ++i) {
      const std::uint32_t exit = exitVertex(face, i);
      if (exit == ends[0] || exit == ends[1]) {
        at = i + 1;
        forward = exit == ends[0] ? 1 : 0;
        break;
      }
    }
    face.edges.insert(face.edges.begin() + static_cast<std::ptrdiff_t>(at), index);
    face.edgeForward.insert(face.edgeForward.begin() + static_cast<std::ptrdiff_t>(at), forward);
    ++added;
  }

  ClipFace& face = faces_[f];
  if (added == 0 && !face.changed) return;
  if (added >= 2) {
    // Start right after the first break, so that each piece of a concave face
    // comes out as one run of the list.
    const std::size_t n = face.edges.size();
    for (std::size_t i = 0; i < n; ++i) {
      if (exitVertex(face, i) != entryVertex(face, (i + 1) % n)) {
        const auto first = static_cast<std::ptrdiff_t>((i + 1) % n);
        std::rotate(face.edges.begin(), face.edges.begin() + first, face.edges.end());
        std::rotate(face.edgeForward.begin(), face.edgeForward.begin() + first, face.edgeForward.end());
        break;
      }
    }
  }
  rebuildCorners(f, pieces);
}

bool Clipper::findCutGap(std::uint32_t f, std::uint32_t ends[2], std::uint32_t edgeOf[2], int slots[2]) {
  const ClipFace& face = faces_[f];
  for (const std::uint32_t e : face.edges) vertexUse_[edges_[e].from] = vertexUse_[edges_[e].to] = 0;
  for (const std::uint32_t e : face.edges) {
    ++vertexUse_[edges_[e].from];
    ++vertexUse_[edges_[e].to];
  }

  auto edgeVector = [&](std::uint32_t e) { return vertices_[edges_[e].to] - vertices_[edges_[e].from]; };
  MgcVector3 faceNormal;
  if (face.edges.size() == 2) {
    faceNormal = edgeVector(face.edges[0]).Cross(edgeVector(face.edges[1]));
  } else {
    MgcVector3 longest;
    for (const std::uint32_t e : face.edges) {
      const MgcVector3 v = edgeVector(e);
      if (v.SquaredLength() > longest.SquaredLength()) longest = v;
    }
    double best = -1.0;
    for (const std::uint32_t e : face.edges) {
      const MgcVector3 v = edgeVector(e);
      if ((longest - v).SquaredLength() < zov::kTolerance) continue;
      const MgcVector3 c = longest.Cross(v);
      if (c.SquaredLength() > best) {
        best = c.SquaredLength();
        faceNormal = c;
      }
    }
  }
  faceNormal.Unitize(zov::kUnitizeTolerance);
  // What is left of a face may be one side, or sides along one line: the
  // sliver between it and the cut has no width to take a normal from. Its
  // side still bounds the cut, so the gap is found along the normal of the
  // face it came from.
  if (faceNormal.SquaredLength() < zov::kTolerance) {
    faceNormal = face.normal;
    faceNormal.Unitize(zov::kUnitizeTolerance);
  }
  if (faceNormal.SquaredLength() < zov::kTolerance) return false;
  const MgcVector3 D = faceNormal.UnitCross(normal_);

  // The two lowest open ends along the cut line.
  ends[0] = ends[1] = zov::kNoIndex;
  double low[2] = {0.0, 0.0};
  for (int pass = 0; pass < 2; ++pass) {
    for (const std::uint32_t e : face.edges) {
      const ClipEdge& edge = edges_[e];
      for (const std::uint32_t vertex : {edge.from, edge.to}) {
        if (vertexUse_[vertex] != 1 || (pass == 1 && vertex == ends[0])) continue;
        const double along = D.Dot(vertices_[vertex]);
        if (ends[pass] == zov::kNoIndex || along < low[pass]) {
          ends[pass] = vertex;
          low[pass] = along;
          edgeOf[pass] = e;
          slots[pass] = slotOf(edge, f, vertex);
        }
      }
    }
    if (ends[pass] == zov::kNoIndex) return false;
  }
  return true;
}

bool Clipper::isInPlane(const ClipEdge& edge) const {
  return edge.from < baseVertexCount_ && edge.to < baseVertexCount_ && distance_[edge.from] == 0.0 &&
         distance_[edge.to] == 0.0;
}

std::uint32_t Clipper::exitVertex(const ClipFace& face, std::size_t i) const {
  const ClipEdge& edge = edges_[face.edges[i]];
  return face.edgeForward[i] != 0 ? edge.to : edge.from;
}

std::uint32_t Clipper::entryVertex(const ClipFace& face, std::size_t i) const {
  const ClipEdge& edge = edges_[face.edges[i]];
  return face.edgeForward[i] != 0 ? edge.from : edge.to;
}

void Clipper::rebuildCorners(std::uint32_t f, std::vector<ClipFace>& pieces) {
  ClipFace& face = faces_[f];
  const std::size_t n = face.edges.size();
  const std::size_t firstPiece = pieces.size();
  ClipFace chain;
  chain.channelCount = face.channelCount;

  std::uint32_t uvSet[kMaxExtraUVLayers];
  for (std::size_t i = 0; i < n; ++i) {
    // Each side ends at the next corner, which takes the side's ids there.
    const std::uint32_t corner = exitVertex(face, i);
    const ClipEdge& edge = edges_[face.edges[i]];
    const int s = slotOf(edge, f, corner);
    for (std::uint32_t l = 0; l < kMaxExtraUVLayers; ++l) uvSet[l] = edge.uvSetIds[l][s];
    chain.addCorner(corner, edge.normalIds[s], edge.uvIds[s], edge.colorIds[s], uvSet);
    if (corner == entryVertex(face, (i + 1) % n)) continue;
    // The chain breaks here: what was gathered becomes a face of its own.
    if (chain.corners.size() >= 3) {
      chain.flags = face.flags;
      chain.tag = face.tag;
      chain.kind = face.kind;
      chain.normal = face.normal;
      chain.keep = 1;
      pieces.push_back(std::move(chain));
    }
    chain = ClipFace();
    chain.channelCount = face.channelCount;
  }

  // The face keeps the last chain; when that was closed off as a piece, the
  // last piece takes its place.
  if (chain.corners.empty() && pieces.size() > firstPiece) {
    chain = std::move(pieces.back());
    pieces.pop_back();
  }
  face.corners.swap(chain.corners);
  if (face.corners.empty()) face.keep = 0;
}
