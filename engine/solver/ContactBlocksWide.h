#pragma once

// The contact-block solve in four-lane registers, for processors that have
// them (AVX2). Each contact's three impulse components sit in one register,
// so a cross product is two lane turns, two products and a difference, where
// two-lane registers need a scalar and a pair for each. Every lane takes the
// operations that the two-lane solve takes on its element, in the same
// order, and every sum over contacts keeps its order: the two solves give
// the same bits, and the engine takes this one wherever it runs.

#include "engine/solver/ContactBlocks.h"
#include "engine/solver/Lsqr.h"

namespace contactblockswide {

/// Whether this build and processor run the wide solve.
bool available();

/// ContactBlockProducts::solve over the active contacts `a`, with the same
/// results. The records' vectors have columnCount = 3 n elements, n the
/// contacts in use; contacts not in `a` keep their elements of u, and their
/// x, v and w elements take the same (zero-impulse) updates. False, with
/// nothing done, when the wide solve is not available or the sizes do not
/// fit (more than ContactBlocks::kMaxContacts contacts, or a column count
/// that is not 3 n).
bool solve(const ContactBlockProducts::Active& a, lsqr_input* input, lsqr_output* output, lsqr_work* work);

}  // namespace contactblockswide
