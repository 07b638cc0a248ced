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

/// A body whose points may travel more than this share of its thickness in
/// a step is swept: its bounds and pair tests reach as far as it may travel,
/// so that it meets, as contacts standing apart, the bodies it would
/// otherwise pass into within the step before a contact is found.
constexpr double kSweptShare = 0.02;
/// How much further than its points' present speeds carry them a swept
/// body's reach goes (the step's forces and turning may take them further),
/// as a share and a fixed length (m).
constexpr double kSweptReachShare = 1.5;
constexpr double kSweptReachFixed = 1e-3;
