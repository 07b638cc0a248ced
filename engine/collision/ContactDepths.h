#pragma once

// The depths at which contacts rest: how deep extraction leaves bodies in
// each other, and how much of a gap a contact may close in a solve step;
// extraction and the classification of contacts share them.

/// How deep extraction leaves penetrating bodies in each other (m): twice
/// the depth at which the pair test finds a hull on a barrier plane, so that
/// a body set down by extraction is found on its support in the next step
/// instead of falling through a step of free fall.
constexpr double kRestingOverlap = 2e-5;
/// How far (m) a contact extraction left kRestingOverlap deep may stand
/// from there by rounding.
constexpr double kTouchRounding = 1e-7;
/// The gap a contact whose points stand `depth` apart along its normal
/// (negative where they overlap) may close in a solve step: down to an
/// overlap of kRestingOverlap less its rounding, so that a contact left
/// where extraction leaves it stays put to the bit.
inline double closingGap(double depth) {
  const double gap = depth + (kRestingOverlap - kTouchRounding);
  return gap > 0.0 ? gap : 0.0;
}
