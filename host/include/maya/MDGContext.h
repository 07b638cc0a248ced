#pragma once

/// The context of a graph evaluation. This host evaluates in the normal
/// context (the current time) only.
class MDGContext {
 public:
  MDGContext() = default;
  bool isNormal() const { return true; }
  static MDGContext fsNormal;
};
