#pragma once

// The narrow phase's answers for pairs of hulls that did not move. Two
// hulls whose meshes stand where they stood when the pair was last tested
// (the same poses, scales and meshes, to the bit) give the same overlap and
// the same feature pair again: the pair's next test takes the feature pair
// kept here instead of running the overlap and polytope searches, and only
// the feature rules, cheap beside the searches, make its contacts again. A
// pile at rest has most of its pairs so.
//
// A body names its pose by a version that it counts up whenever the pose
// noted at a pass differs from the one noted before (HardBody::notePassPose);
// an answer is kept with the versions of both bodies and taken only while
// both stand at the poses of those versions.

#include <cstdint>
#include <vector>

#include "engine/ThreadSlots.h"
#include "engine/collision/narrowphase/PkJump.h"
#include "math/MgcVector3.h"

class HardBody;

/// One pair's kept answer: the bodies (by identity), the versions of their
/// poses, the search's final state and the feature pair it found (vertex
/// numbers below kMaxMemoVertex).
struct NarrowPhaseMemo {
  static constexpr std::uint32_t kMaxMemoVertex = 0xFFFF;
  std::uint64_t first = 0;
  std::uint64_t second = 0;
  std::uint32_t versions[2] = {0, 0};
  std::uint32_t featureIds[2] = {0, 0};
  Mgc::MgcVector3 direction;
  std::uint16_t listA[3] = {0, 0, 0};
  std::uint16_t listB[3] = {0, 0, 0};
  std::uint8_t countA = 0;
  std::uint8_t countB = 0;
  /// The low bits of the number of the pass that last tested the pair.
  std::uint8_t pass = 0;

  /// The feature pair as the feature rules take it.
  JumpFeatureLists lists() const;
};

/// The kept answers of the hull pairs of the last contact pass, and the
/// answers each thread slot finds in the running one. Lookups read the kept
/// answers while a pass runs; a pair's answer is changed in place only by
/// the thread testing that pair, and answers of pairs not kept yet go to
/// the tester's slot, whose room the calling thread makes before the pass
/// (threads allocate nothing: an answer that finds no room is not kept, and
/// a later pass keeps it).
class NarrowPhaseMemos {
 public:
  /// Whether answers are kept and taken (on by default).
  void enable(bool on);
  bool isEnabled() const { return enabled; }

  /// Before a pass with `helpers` helpers: room for the answers they find.
  void beginPass(std::uint32_t helpers);
  /// After it: the answers of pairs the pass did not test are dropped and
  /// the new ones join the kept ones.
  void endPass();
  /// Drops every answer.
  void clear();

  /// The test of first and second on thread slot `worker` begins: whether
  /// a kept answer stands for it, and whether its own may be kept.
  void beginTest(std::uint32_t worker, const HardBody* first, const HardBody* second);
  /// The test on `worker` has ended.
  void endTest(std::uint32_t worker);
  /// The kept answer that stands for the running test of body1 and body2 on
  /// `worker`, or null: then the searches must run.
  const NarrowPhaseMemo* answerFor(std::uint32_t worker, const HardBody* body1, const HardBody* body2);
  /// The answer the running test of body1 and body2 on `worker` found (or
  /// took), kept when the test may keep one.
  void keep(std::uint32_t worker, const HardBody* body1, const HardBody* body2, const JumpState& state,
            const JumpFeatureLists& lists);

  /// Tests answered from kept answers so far.
  std::uint64_t answered() const;
  /// Kept answers.
  std::size_t size() const { return kept.size(); }

 private:
  /// The running test of one thread slot.
  struct alignas(64) Test {
    const HardBody* first = nullptr;
    const HardBody* second = nullptr;
    /// The pair's kept answer, if any; `stands` when it answers this test.
    NarrowPhaseMemo* memo = nullptr;
    bool stands = false;
    /// Whether `memo` was looked up: only hull pairs whose bounds meet ask.
    bool looked = false;
    /// Both bodies stand at their noted poses (once looked up): the answer
    /// may be kept.
    bool keeps = false;
    std::uint32_t versions[2] = {0, 0};
    std::uint64_t answered = 0;
  };
  NarrowPhaseMemo* find(std::uint64_t first, std::uint64_t second);
  /// Looks up the kept answer of the test's pair, once a test.
  void lookUp(Test& test);
  bool runs(std::uint32_t worker, const HardBody* body1, const HardBody* body2) const;

  bool enabled = true;
  std::uint8_t pass = 0;
  /// Sorted by (first, second).
  std::vector<NarrowPhaseMemo> kept;
  std::vector<NarrowPhaseMemo> found[kThreadSlotCount];
  Test tests[kThreadSlotCount];
};
