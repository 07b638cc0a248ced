#pragma once

// The impulse system of a pair's contacts in its own shape. Block (i, j), the
// velocity change at contact i of a unit impulse at contact j, is
// c I - [r_i] T [r_j] summed over the bodies that turn: c the pair's linear
// response, T a body's inverse inertia and r_i its arm at contact i, [r] the
// cross-product matrix. The system keeps those factors rather than its n x n
// blocks, so that a product costs O(n) rather than O(n^2): every impulse adds
// to one linear change and, through its arm, to one turn of each body, which
// every contact then feels. A contact that a solve takes out is skipped by the
// products, and contacts dropped after a solve leave the kept ones in order,
// so the factors are set once per pair and read by every solve that follows
// on the same contacts.

#include <cstdint>

#include "engine/solver/Lsqr.h"
#include "math/MgcMatrix3.h"
#include "math/MgcVector3.h"

class ContactBlocks {
 public:
  /// Contacts the system takes at most.
  static constexpr std::uint32_t kMaxContacts = 64;

  /// The system of n contacts (at most kMaxContacts; more are cut), all in
  /// use in order: linear response c, and per body its inverse inertia in the
  /// system's units and its n arms. A body whose inertia is null does not
  /// turn (its arms are not read).
  void reset(std::uint32_t n, double c, const Mgc::MgcMatrix3* firstInertia, const Mgc::MgcVector3* firstArms,
             const Mgc::MgcMatrix3* secondInertia, const Mgc::MgcVector3* secondArms);
  /// Contacts in use.
  std::uint32_t count() const { return used; }
  /// Block (i, j) of the contacts in use (i, j < count()): c I, less
  /// [r_i] (T [r_j]) per turning body, formed entry by entry.
  Mgc::MgcMatrix3 block(std::uint32_t i, std::uint32_t j) const;
  /// Block (i, j) applied to v: c v - r_i x (T (r_j x v)) per turning body.
  Mgc::MgcVector3 times(std::uint32_t i, std::uint32_t j, const Mgc::MgcVector3& v) const;
  /// out_ij = left_i . (block(i, j) right_j) for i, j < count(), into the
  /// first count() rows and columns of `out`: c left_i . right_j plus
  /// (r_i x left_i) . T (r_j x right_j) per turning body, O(n) products
  /// before the n^2 dot products.
  void project(const Mgc::MgcVector3* left, const Mgc::MgcVector3* right, dmat* out) const;
  /// out_i += times(i, j, in_j) for j = 0, 1, ... in turn, for every i <
  /// count(): the same sums, with T (r_j x in_j) formed once per contact j
  /// rather than once per block.
  void addProducts(const Mgc::MgcVector3* in, Mgc::MgcVector3* out) const;
  /// Keeps the contacts in use whose mark is 0 (count() marks), in order.
  void keep(const std::uint8_t* marks);
  /// Every contact of the last reset in use again, in order.
  void restore();
  /// The contacts in use as the dense row-major matrix of 3 count() rows and
  /// columns (block by block), written into `matrix`, whose sizes must be
  /// those already.
  void expand(dmat* matrix) const;

  /// The factors, for the products: the linear response, whether body b (0
  /// or 1) turns, its inverse inertia, and its arm at contact i in use.
  double linear() const { return response; }
  bool turns(int b) const { return turning[b]; }
  const Mgc::MgcMatrix3& inertia(int b) const { return inertias[b]; }
  const Mgc::MgcVector3& arm(int b, std::uint32_t i) const { return arms[b][order[i]]; }

 private:
  double response = 0.0;
  bool turning[2] = {false, false};
  Mgc::MgcMatrix3 inertias[2];
  Mgc::MgcVector3 arms[2][kMaxContacts];   ///< by stored contact
  std::uint32_t order[kMaxContacts] = {};  ///< the stored contact of each contact in use
  std::uint32_t built = 0;                 ///< contacts of the last reset
  std::uint32_t used = 0;                  ///< contacts in use
};

/// The products of a solve over the contacts in use of `blocks` whose mark
/// is 0: a marked contact's rows and columns count as zero, as if zeroed in
/// the dense matrix, and its elements of u, v and x are left as they are
/// (zero in a solve that takes it out). The sums differ from the dense
/// matrix's only by rounding.
class ContactBlockProducts final : public LsqrOperator {
 public:
  /// `takenOut` (blocks.count() marks) is read here and at every update().
  ContactBlockProducts(const ContactBlocks& system, const std::uint8_t* takenOut) : blocks(system), marks(takenOut) {
    update();
  }
  /// Reads the marks again: a contact marked since is out of the products.
  void update();

  void residual(dvec* u, const dvec* x) const override;
  void adjoint(dvec* v, const dvec* u) const override;
  double forward(dvec* u, const dvec* v, double alpha) const override;
  double backward(dvec* v, const dvec* u, double beta) const override;

  /// lsqr on the problem's records with these products, its vector passes
  /// fused over the unmarked contacts: the same iterates and stopping tests
  /// as lsqr() but for rounding. The standard errors are not estimated (the
  /// output's are left as they are). The records' vectors have 3
  /// blocks.count() elements. Runs in four-lane registers where the
  /// processor has them (ContactBlocksWide.h), to the same bits as
  /// solveBaseline().
  void solve(lsqr_input* input, lsqr_output* output, lsqr_work* work) const;
  /// solve() in the instructions every x86-64 processor has (two-lane
  /// registers), whatever this one has.
  void solveBaseline(lsqr_input* input, lsqr_output* output, lsqr_work* work) const;

  /// The unmarked contacts in use, at most ContactBlocks::kMaxContacts:
  /// their indices, and each turning body's arms at them.
  struct Active {
    std::uint32_t count = 0;
    double linear = 0.0;
    bool turns[2] = {false, false};
    Mgc::MgcMatrix3 inertias[2];
    std::uint32_t contacts[ContactBlocks::kMaxContacts];
    /// Each arm as r1 r2 r0 0 r2 r0 r1 0: its elements turned yzx and zxy,
    /// one four-lane register each (kArmYzx, kArmZxy), among which the
    /// pairs (r0, r1), (r1, r2) and (r2, r0) of the two-lane products sit.
    alignas(32) double arms[2][ContactBlocks::kMaxContacts][8];
  };
  /// Where an arm's turns start in Active::arms.
  static constexpr int kArmYzx = 0;
  static constexpr int kArmZxy = 4;
  /// The contacts the products read, as of the last update().
  const Active& activeContacts() const { return active; }

 private:
  const ContactBlocks& blocks;
  const std::uint8_t* marks;
  Active active;
};
