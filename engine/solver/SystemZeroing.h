#pragma once

// Zeroing of entries of the dense impulse systems. A contact or unknown is
// taken out of a system by zeroing its rows and columns rather than by
// rebuilding the matrix, so that a re-solve can start from the last solution.

#include <cstdint>

struct dmat;
struct dvec;

/// Rows, and columns, of one contact's impulse in a vector system.
constexpr std::uint32_t kContactRows = 3;

/// Sets elements from .. to (inclusive) to 0 when both lie below the vector's
/// capacity; nothing otherwise.
void zeroVectorRange(dvec* v, std::uint32_t from, std::uint32_t to);

/// Sets columns from .. to (inclusive) of every row in use to 0 when both lie
/// below the row stride; nothing otherwise.
void zeroMatrixColumns(dmat* matrix, std::uint32_t from, std::uint32_t to);

/// Sets the rows 3i .. 3i + 2 of contact i and then the same columns to 0.
/// Rows past the matrix's row count are left alone.
void zeroContactRows(dmat* matrix, std::uint32_t contact);

/// Sets row i and column i to 0.
void zeroRowAndColumn(dmat* matrix, std::uint32_t index);
