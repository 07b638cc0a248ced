// The contact-set filters: opposed, duplicate and outlying contacts, and the
// cut to extreme points.

#include <gtest/gtest.h>

#include <vector>

#include "engine/collision/CollisionPair.h"
#include "engine/collision/ContactSet.h"
#include "math/Tolerances.h"

using Mgc::MgcVector3;

namespace {

struct Contact {
  MgcVector3 point;
  MgcVector3 normal;
  double depth;
};

// A set over its own arrays; feature ids number the contacts in the order
// given, so that the survivors can be told apart.
struct OwnedSet {
  MgcVector3 points[kMaxPairContacts];
  MgcVector3 normals[kMaxPairContacts];
  double depths[kMaxPairContacts] = {};
  ContactFeature features[kMaxPairContacts];
  std::uint32_t count = 0;
  ContactSet set{points, normals, depths, features, &count};

  explicit OwnedSet(const std::vector<Contact>& contacts) {
    for (const Contact& c : contacts) set.append(c.point, c.normal, c.depth, count, 100 + count);
  }
  std::vector<std::uint32_t> survivors() const {
    std::vector<std::uint32_t> ids;
    for (std::uint32_t i = 0; i < count; ++i) ids.push_back(features[i].firstFeature);
    return ids;
  }
};

const MgcVector3 kUp(0.0, 1.0, 0.0);
const MgcVector3 kDown(0.0, -1.0, 0.0);

TEST(ContactSet, FiltersKeepTheRightContact) {
  using Ids = std::vector<std::uint32_t>;
  struct Case {
    const char* name;
    std::vector<Contact> contacts;
    void (ContactSet::*filter)();
    Ids kept;
  };
  const MgcVector3 p(1.0, 2.0, 3.0);
  const MgcVector3 q(4.0, 2.0, 3.0);
  const Case cases[] = {
      {"opposed, equal depths: the earlier goes", {{p, kUp, -0.1}, {q, kDown, -0.1}}, &ContactSet::removeOpposing, {1}},
      {"opposed: the deeper goes", {{p, kUp, -0.3}, {q, kDown, -0.1}}, &ContactSet::removeOpposing, {1}},
      {"opposed: the deeper goes (second)", {{p, kUp, -0.1}, {q, kDown, -0.3}}, &ContactSet::removeOpposing, {0}},
      {"across, not opposed", {{p, kUp, -0.1}, {q, MgcVector3(1, 0, 0), -0.2}}, &ContactSet::removeOpposing, {0, 1}},
      {"coincident, equal depths: the later goes",
       {{p, kUp, -0.1}, {p, kUp, -0.1}},
       &ContactSet::removeDuplicates,
       {0}},
      {"coincident: the later stays when deeper", {{p, kUp, -0.3}, {p, kUp, -0.1}}, &ContactSet::removeDuplicates, {1}},
      {"within 1e-5 squared",
       {{p, kUp, -0.1}, {p + MgcVector3(0.003, 0, 0), kUp, -0.1}},
       &ContactSet::removeDuplicates,
       {0}},
      {"apart", {{p, kUp, -0.1}, {p + MgcVector3(0.004, 0, 0), kUp, -0.1}}, &ContactSet::removeDuplicates, {0, 1}},
      {"equal depths keep everything",
       {{p, kUp, -0.1}, {q, kUp, -0.1}, {p * 2.0, kUp, -0.1}, {q * 2.0, kUp, -0.1}, {p * 3.0, kUp, -0.1}},
       &ContactSet::removeDepthOutliers,
       {0, 1, 2, 3, 4}},
      {"one deep outlier",
       {{p, kUp, 0.0}, {q, kUp, 0.0}, {p * 2.0, kUp, 0.0}, {q * 2.0, kUp, -1.0}},
       &ContactSet::removeDepthOutliers,
       {0, 1, 2}},
  };
  for (const Case& c : cases) {
    OwnedSet owned(c.contacts);
    (owned.set.*c.filter)();
    EXPECT_EQ(owned.survivors(), c.kept) << c.name;
  }
}

// Depths whose variance rounds to a hair below zero keep every contact.
TEST(ContactSet, OutlierTestSurvivesRoundingOfEqualDepths) {
  for (const double depth : {-0.1, -1.0 / 3.0, -0.7, -1e-7, -123.456}) {
    for (std::uint32_t n = 2; n <= kMaxPairContacts; ++n) {
      std::vector<double> depths(n, depth);
      std::uint8_t marks[kMaxPairContacts] = {};
      EXPECT_FALSE(markDepthOutliers(depths.data(), n, marks)) << depth << " x " << n;
    }
  }
}

TEST(ContactSet, FullSetsAreCutToTheirExtremePointsBeforeNewOnes) {
  std::vector<Contact> grid;
  for (int i = 0; i < 30; ++i) grid.push_back({MgcVector3(i % 6, 0.0, i / 6), kUp, -0.01});
  OwnedSet owned(grid);
  EXPECT_EQ(owned.set.makeRoom(1), 1u);  // 31 < 32: nothing cut
  EXPECT_EQ(owned.count, 30u);
  const std::uint32_t fit = owned.set.makeRoom(5);
  EXPECT_LE(owned.count, kExtremeContacts);
  EXPECT_EQ(fit, 5u);
  // The extreme points lie on the grid's border.
  for (std::uint32_t i = 0; i < owned.count; ++i) {
    const MgcVector3& point = owned.points[i];
    EXPECT_TRUE(point.x == 0.0 || point.x == 5.0 || point.z == 0.0 || point.z == 4.0);
  }
  EXPECT_FALSE(OwnedSet(std::vector<Contact>(32, {MgcVector3(), kUp, 0.0})).set.append(MgcVector3(), kUp, 0, 0, 0));
}

// A pair's set starts with no room and grows as it appends: all 32 contacts
// are kept in order with their data, the 33rd is refused, and a copy of the
// pair holds every one of them too.
TEST(ContactSet, PairSetsGrowToHoldEveryContact) {
  CollisionPair pair;
  EXPECT_EQ(pair.contactCapacity(), 0u);
  for (std::uint32_t i = 0; i < kMaxPairContacts; ++i) {
    ContactSet set = pair.contactSet();
    ASSERT_TRUE(set.append(MgcVector3(i, 0.0, 0.0), MgcVector3(0.0, 1.0, 0.0), -0.001 * i, i, 100 + i)) << i;
    ASSERT_GE(pair.contactCapacity(), pair.contactCount);
  }
  ContactSet set = pair.contactSet();
  EXPECT_FALSE(set.append(MgcVector3(), MgcVector3(0.0, 1.0, 0.0), 0.0, 0, 0));
  CollisionPair copy;
  copy.copyFrom(pair);
  for (const CollisionPair* p : {&pair, &copy}) {
    ASSERT_EQ(p->contactCount, kMaxPairContacts);
    for (std::uint32_t i = 0; i < kMaxPairContacts; ++i) {
      EXPECT_EQ(p->points[i], MgcVector3(i, 0.0, 0.0)) << i;
      EXPECT_EQ(p->depths[i], -0.001 * i) << i;
    }
  }
  for (std::uint32_t i = 0; i < kMaxPairContacts; ++i) EXPECT_EQ(pair.features[i].secondFeature, 100 + i) << i;
}

}  // namespace
