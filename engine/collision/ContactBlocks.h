#pragma once

// The impulse system of a pair's contacts in its own shape: n x n blocks of
// 3 x 3, block (i, j) the velocity change at contact i of a unit impulse at
// contact j, each block's nine entries together, row by row. A contact that
// a solve takes out is skipped by the products instead of being zeroed, and
// contacts dropped after a solve leave the kept blocks where they are, so the
// blocks are made once per pair and read by every solve that follows on the
// same contacts.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/collision/Lsqr.h"
#include "math/MgcVector3.h"

class ContactBlocks {
 public:
  /// Entries of one block.
  static constexpr std::uint32_t kBlockEntries = 9;
  /// Contacts a solve over the blocks takes at most.
  static constexpr std::uint32_t kMaxContacts = 64;

  /// Room for the blocks of n contacts, all of them in use in order, their
  /// entries unset. The storage only grows (std::bad_alloc when memory runs
  /// out).
  void reset(std::uint32_t n);
  /// Contacts in use.
  std::uint32_t count() const { return used; }
  /// Block (i, j) of the contacts in use (i, j < count()): nine entries, row
  /// by row.
  double* block(std::uint32_t i, std::uint32_t j) { return entries.data() + offset(i, j); }
  const double* block(std::uint32_t i, std::uint32_t j) const { return entries.data() + offset(i, j); }
  /// Block (i, j) applied to v, each row's sum formed left to right.
  Mgc::MgcVector3 times(std::uint32_t i, std::uint32_t j, const Mgc::MgcVector3& v) const;
  /// Keeps the contacts in use whose mark is 0 (count() marks), in order.
  void keep(const std::uint8_t* marks);
  /// Every contact of the last reset in use again, in order.
  void restore();
  /// The entries; block (i, j) of the contacts in use starts at rowOffset(i)
  /// + columnOffset(j).
  const double* data() const { return entries.data(); }
  std::size_t rowOffset(std::uint32_t i) const { return std::size_t{order[i]} * built * kBlockEntries; }
  std::size_t columnOffset(std::uint32_t j) const { return std::size_t{order[j]} * kBlockEntries; }
  /// The contacts in use as the dense row-major matrix of 3 count() rows and
  /// columns, written into `matrix`, whose sizes must be those already.
  void expand(dmat* matrix) const;

 private:
  std::size_t offset(std::uint32_t i, std::uint32_t j) const { return rowOffset(i) + columnOffset(j); }

  std::vector<double> entries;       ///< built x built blocks, block (a, b) at (a built + b) 9
  std::vector<std::uint32_t> order;  ///< the stored contact of each contact in use
  std::uint32_t built = 0;           ///< contacts of the last reset
  std::uint32_t used = 0;            ///< contacts in use
};

/// The products of a solve over the contacts in use of `blocks` whose mark
/// is 0: a marked contact's rows and columns count as zero, as if zeroed in
/// the dense matrix, and its elements of u, v and x are left as they are
/// (zero in a solve that takes it out). Each sum is formed as the dense
/// product forms it on the same matrix, so the iterates are the dense ones.
class ContactBlockProducts final : public LsqrOperator {
 public:
  /// `takenOut` (blocks.count() marks) is read here and at every update(). The
  /// blocks hold at most ContactBlocks::kMaxContacts contacts in use.
  ContactBlockProducts(const ContactBlocks& system, const std::uint8_t* takenOut) : blocks(system), marks(takenOut) {
    update();
  }
  /// Reads the marks again: a contact marked since is out of the products.
  void update();

  void residual(dvec* u, const dvec* x) const override;
  void adjoint(dvec* v, const dvec* u) const override;
  double forward(dvec* u, const dvec* v, double alpha) const override;
  double backward(dvec* v, const dvec* u, double beta) const override;

 private:
  /// The unmarked contacts in use, at most ContactBlocks::kMaxContacts:
  /// their indices, and the offsets of their block rows and columns.
  struct Active {
    std::uint32_t count = 0;
    std::uint32_t contacts[ContactBlocks::kMaxContacts];
    std::size_t rows[ContactBlocks::kMaxContacts];
    std::size_t columns[ContactBlocks::kMaxContacts];
  };
  /// Each unmarked row's product with x, handed to finish(row, sum).
  template <typename Finish>
  void rowProducts(const double* x, Finish finish) const;

  const ContactBlocks& blocks;
  const std::uint8_t* marks;
  Active active;
};
