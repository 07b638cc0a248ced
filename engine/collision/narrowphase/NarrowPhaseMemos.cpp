#include "engine/collision/narrowphase/NarrowPhaseMemos.h"

#include <algorithm>
#include <tuple>

#include "engine/bodies/HardBody.h"

namespace {

/// Room for answers of pairs not kept yet, shared among a pass's threads: an
/// eighth of the answers kept, and at least kLeastRoom. A pile gains few
/// pairs a pass once it stands, and the answers that find no room are kept
/// by a later pass.
constexpr std::size_t kLeastRoom = 32;
constexpr std::size_t kRoomShare = 8;

bool before(const NarrowPhaseMemo& a, const NarrowPhaseMemo& b) {
  return std::tie(a.first, a.second) < std::tie(b.first, b.second);
}

}  // namespace

JumpFeatureLists NarrowPhaseMemo::lists() const {
  JumpFeatureLists out;
  for (int k = 0; k < 3; ++k) {
    out.a[k] = listA[k];
    out.b[k] = listB[k];
  }
  out.countA = countA;
  out.countB = countB;
  return out;
}

void NarrowPhaseMemos::enable(bool on) {
  enabled = on;
  if (!on) clear();
}

void NarrowPhaseMemos::beginPass(std::uint32_t helpers) {
  ++pass;
  const std::size_t room = std::max(kLeastRoom, kept.size() / kRoomShare) / (helpers + 1) + 1;
  for (std::uint32_t w = 0; w < static_cast<std::uint32_t>(kThreadSlotCount); ++w) {
    found[w].clear();
    if (w <= helpers) found[w].reserve(room);
  }
}

void NarrowPhaseMemos::endPass() {
  // Pairs the pass did not test have left the pile, or will be tested
  // afresh: their answers go.
  kept.erase(std::remove_if(kept.begin(), kept.end(), [&](const NarrowPhaseMemo& m) { return m.pass != pass; }),
             kept.end());
  std::size_t added = 0;
  for (const std::vector<NarrowPhaseMemo>& answers : found) added += answers.size();
  if (added == 0) return;
  // Room for the new answers and a few more, not twice as many: the answers
  // are kept for every pair of the pile.
  if (kept.size() + added > kept.capacity()) kept.reserve(kept.size() + added + kept.size() / 16);
  for (std::vector<NarrowPhaseMemo>& answers : found) {
    kept.insert(kept.end(), answers.begin(), answers.end());
    answers.clear();
  }
  std::sort(kept.begin(), kept.end(), before);
  // A pair tested twice by the pass keeps its later answer: versions only
  // grow, and equal versions give equal answers.
  std::size_t out = 0;
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (out != 0 && kept[out - 1].first == kept[i].first && kept[out - 1].second == kept[i].second) {
      const NarrowPhaseMemo& a = kept[out - 1];
      const NarrowPhaseMemo& b = kept[i];
      if (std::uint64_t{b.versions[0]} + b.versions[1] > std::uint64_t{a.versions[0]} + a.versions[1]) {
        kept[out - 1] = b;
      }
      continue;
    }
    kept[out++] = kept[i];
  }
  kept.resize(out);
}

void NarrowPhaseMemos::clear() {
  kept.clear();
  for (std::vector<NarrowPhaseMemo>& answers : found) answers.clear();
}

NarrowPhaseMemo* NarrowPhaseMemos::find(std::uint64_t first, std::uint64_t second) {
  NarrowPhaseMemo key;
  key.first = first;
  key.second = second;
  const auto at = std::lower_bound(kept.begin(), kept.end(), key, before);
  return at != kept.end() && at->first == first && at->second == second ? &*at : nullptr;
}

void NarrowPhaseMemos::beginTest(std::uint32_t worker, const HardBody* first, const HardBody* second) {
  if (worker >= static_cast<std::uint32_t>(kThreadSlotCount)) return;
  Test& test = tests[worker];
  test.first = first;
  test.second = second;
  test.memo = nullptr;
  test.stands = false;
  test.looked = false;
  test.keeps = enabled && first != nullptr && second != nullptr;
}

void NarrowPhaseMemos::lookUp(Test& test) {
  if (test.looked) return;
  test.looked = true;
  // Asked only by hull pairs whose bounds meet, after the cheap tests.
  test.keeps = test.keeps && test.first->atPassPose() && test.second->atPassPose();
  if (!test.keeps) return;
  test.versions[0] = test.first->getPassPoseVersion();
  test.versions[1] = test.second->getPassPoseVersion();
  test.memo = find(test.first->getIdentity(), test.second->getIdentity());
  test.stands =
      test.memo != nullptr && test.memo->versions[0] == test.versions[0] && test.memo->versions[1] == test.versions[1];
}

void NarrowPhaseMemos::endTest(std::uint32_t worker) {
  if (worker >= static_cast<std::uint32_t>(kThreadSlotCount)) return;
  Test& test = tests[worker];
  test.first = nullptr;
  test.second = nullptr;
  test.memo = nullptr;
  test.stands = false;
  test.looked = false;
  test.keeps = false;
}

bool NarrowPhaseMemos::runs(std::uint32_t worker, const HardBody* body1, const HardBody* body2) const {
  if (worker >= static_cast<std::uint32_t>(kThreadSlotCount)) return false;
  const Test& test = tests[worker];
  return test.keeps && test.first == body1 && test.second == body2;
}

const NarrowPhaseMemo* NarrowPhaseMemos::answerFor(std::uint32_t worker, const HardBody* body1, const HardBody* body2) {
  if (!runs(worker, body1, body2)) return nullptr;
  Test& test = tests[worker];
  lookUp(test);
  return test.stands ? test.memo : nullptr;
}

void NarrowPhaseMemos::keep(std::uint32_t worker, const HardBody* body1, const HardBody* body2, const JumpState& state,
                            const JumpFeatureLists& lists) {
  if (!runs(worker, body1, body2)) return;
  Test& test = tests[worker];
  lookUp(test);
  if (!test.keeps) return;
  if (test.stands) ++test.answered;
  // Lists of up to three vertices each, numbered below kMaxMemoVertex;
  // others are not kept, and an older answer of the pair, not marked by this
  // pass, goes at its end.
  const std::uint32_t limit = NarrowPhaseMemo::kMaxMemoVertex;
  bool fits = lists.countA <= 3 && lists.countB <= 3;
  for (std::uint32_t k = 0; k < 3 && fits; ++k) fits = lists.a[k] < limit && lists.b[k] < limit;
  if (!fits) return;
  // Only this thread tests this pair in the running pass: its kept answer
  // is this thread's to change, all but the bodies, which other threads'
  // lookups read.
  NarrowPhaseMemo fresh;
  NarrowPhaseMemo& answer = test.memo != nullptr ? *test.memo : fresh;
  answer.versions[0] = test.versions[0];
  answer.versions[1] = test.versions[1];
  answer.featureIds[0] = state.vertexA;
  answer.featureIds[1] = state.vertexB;
  answer.direction = state.direction;
  for (int k = 0; k < 3; ++k) {
    answer.listA[k] = static_cast<std::uint16_t>(lists.a[k]);
    answer.listB[k] = static_cast<std::uint16_t>(lists.b[k]);
  }
  answer.countA = static_cast<std::uint8_t>(lists.countA);
  answer.countB = static_cast<std::uint8_t>(lists.countB);
  answer.pass = pass;
  if (test.memo != nullptr) return;
  answer.first = body1->getIdentity();
  answer.second = body2->getIdentity();
  std::vector<NarrowPhaseMemo>& answers = found[worker];
  if (answers.size() < answers.capacity()) answers.push_back(answer);
}

std::uint64_t NarrowPhaseMemos::answered() const {
  std::uint64_t sum = 0;
  for (const Test& test : tests) sum += test.answered;
  return sum;
}
