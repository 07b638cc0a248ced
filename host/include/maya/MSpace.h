#pragma once

/// The coordinate spaces of transform and geometry queries. Object space is
/// the space of a shape's own points; world space applies every transform
/// above it; transform space is the space of a transform's own values.
class MSpace {
 public:
  enum Space {
    kInvalid = 0,
    kTransform = 1,
    kPreTransform = 2,
    kPostTransform = 3,
    kWorld = 4,
    kLast = 5,
    kObject = kPreTransform
  };
};
