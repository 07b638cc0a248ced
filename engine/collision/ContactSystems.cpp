// The contact resolver's systems: the collision matrix of a pair's contacts
// and the extraction system's (as blocks, and written out dense as their
// reference), and the scalar systems of the normal impulses made from them.

#include "engine/collision/ContactResolver.h"

#include "engine/bodies/HardBody.h"
#include "engine/collision/CollisionPair.h"
#include "engine/solver/ContactBlocks.h"
#include "engine/solver/Lsqr.h"
#include "math/MgcMatrix3.h"

using Mgc::MgcMatrix3;
using Mgc::MgcVector3;

namespace {

/// m s, each element's product as MgcMatrix3's product with a scalar forms
/// it, inline: every collision solve makes two.
MgcMatrix3 matrixTimes(const MgcMatrix3& m, double s) {
  return MgcMatrix3(m[0][0] * s, m[0][1] * s, m[0][2] * s, m[1][0] * s, m[1][1] * s, m[1][2] * s, m[2][0] * s,
                    m[2][1] * s, m[2][2] * s);
}

/// [r]: the matrix with [r] v = r x v.
MgcMatrix3 crossProductMatrix(const MgcVector3& r) {
  return MgcMatrix3(0.0, -r.z, r.y, r.z, 0.0, -r.x, -r.y, r.x, 0.0);
}

/// block := block - [r] t, [r] = crossProductMatrix(r), with the products'
/// sums formed as [r] * t forms them.
void subtractProduct(MgcMatrix3& block, const MgcVector3& r, const MgcMatrix3& t) {
  const MgcMatrix3 a = crossProductMatrix(r);
  for (int i = 0; i < 3; ++i) {
    for (int c = 0; c < 3; ++c) block[i][c] -= a[i][0] * t[0][c] + a[i][1] * t[1][c] + a[i][2] * t[2][c];
  }
}

/// Hands each block (i, j) of the extraction system of n contacts to
/// put(i, j, block): block (i, j) is the velocity change at contact i of a
/// unit impulse at contact j, c I - [r_i] (s I^-1) [r_j] per body, [r] the
/// cross-product matrix.
template <typename Subtract, typename Put>
void extractionBlocks(std::uint32_t n, const HardBody* first, const MgcVector3* firstArms, const HardBody* second,
                      const MgcVector3* secondArms, double s, Subtract subtract, Put put) {
  const double c =
      (first != nullptr ? s * first->getInvMass() : 0.0) + (second != nullptr ? s * second->getInvMass() : 0.0);
  const MgcMatrix3 inertia1 = first != nullptr ? first->getDyn().worldInvInertia * s : MgcMatrix3::ZERO;
  const MgcMatrix3 inertia2 = second != nullptr ? second->getDyn().worldInvInertia * s : MgcMatrix3::ZERO;
  // (s I^-1) [r_j] is made once per contact j.
  MgcMatrix3 turned1[kMaxPairContacts];
  MgcMatrix3 turned2[kMaxPairContacts];
  const std::uint32_t count = n < kMaxPairContacts ? n : kMaxPairContacts;
  for (std::uint32_t j = 0; j < count; ++j) {
    if (first != nullptr) turned1[j] = inertia1 * crossProductMatrix(firstArms[j]);
    if (second != nullptr) turned2[j] = inertia2 * crossProductMatrix(secondArms[j]);
  }
  const MgcMatrix3 diagonal = MgcMatrix3::IDENTITY * c;
  for (std::uint32_t i = 0; i < count; ++i) {
    for (std::uint32_t j = 0; j < count; ++j) {
      // c I - [r1_i] turned1_j - [r2_i] turned2_j, entry by entry.
      MgcMatrix3 block = diagonal;
      if (first != nullptr) subtract(block, firstArms[i], turned1[j]);
      if (second != nullptr) subtract(block, secondArms[i], turned2[j]);
      put(i, j, block);
    }
  }
}

}  // namespace

// ---- Systems ------------------------------------------------------------------

void ContactResolver::buildExtractionMatrix(std::uint32_t n, const HardBody* first, const MgcVector3* firstArms,
                                            const HardBody* second, const MgcVector3* secondArms, double s,
                                            ContactBlocks* K) {
  // The factors of extractionBlocks' blocks, formed as it forms them.
  const double c =
      (first != nullptr ? s * first->getInvMass() : 0.0) + (second != nullptr ? s * second->getInvMass() : 0.0);
  const MgcMatrix3 inertia1 = first != nullptr ? matrixTimes(first->getDyn().worldInvInertia, s) : MgcMatrix3::ZERO;
  const MgcMatrix3 inertia2 = second != nullptr ? matrixTimes(second->getDyn().worldInvInertia, s) : MgcMatrix3::ZERO;
  K->reset(n < kMaxPairContacts ? n : kMaxPairContacts, c, first != nullptr ? &inertia1 : nullptr, firstArms,
           second != nullptr ? &inertia2 : nullptr, secondArms);
}

void ContactResolver::buildExtractionMatrix(std::uint32_t n, const HardBody* first, const MgcVector3* firstArms,
                                            const HardBody* second, const MgcVector3* secondArms, double s, dmat* K) {
  extractionBlocks(
      n, first, firstArms, second, secondArms, s,
      [](MgcMatrix3& block, const MgcVector3& r, const MgcMatrix3& t) { subtractProduct(block, r, t); },
      [K](std::uint32_t i, std::uint32_t j, const MgcMatrix3& block) {
        for (int r = 0; r < 3; ++r) {
          double* row = K->data + static_cast<std::size_t>(3 * i + r) * K->stride + 3 * j;
          row[0] = block[r][0];
          row[1] = block[r][1];
          row[2] = block[r][2];
        }
      });
}

void ContactResolver::buildCollisionMatrix(CollisionPair& pair, double s, ContactBlocks* K) {
  buildExtractionMatrix(pair.contactCount, pair.movesFirst() ? pair.firstBody : nullptr, pair.firstArms,
                        pair.movesSecond() ? pair.secondBody : nullptr, pair.secondArms, s, K);
}

void ContactResolver::normalMatrix(const CollisionPair& pair, const ContactBlocks* K, dmat* N) {
  K->project(pair.normals, pair.normals, N);
}

void ContactResolver::frictionNormalMatrix(const CollisionPair& pair, const ContactBlocks* K, double f, dmat* N) {
  ContactVectors directions;
  const std::uint32_t n = pair.contactCount < kMaxPairContacts ? pair.contactCount : kMaxPairContacts;
  for (std::uint32_t j = 0; j < n; ++j) directions[j] = pair.normals[j] + pair.tangents[j] * (f * pair.friction);
  K->project(pair.normals, directions, N);
}

void ContactResolver::normalComponents(const CollisionPair& pair, const dvec* rhs, dvec* out) {
  for (std::uint32_t i = 0; i < pair.contactCount; ++i) {
    const double* b = rhs->elements + 3 * i;
    out->elements[i] = pair.normals[i].Dot(MgcVector3(b[0], b[1], b[2]));
  }
}
