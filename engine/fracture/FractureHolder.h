#pragma once

#include <cstdint>

class HardBody;

/// What a fracture body asks of the world whose lists hold it: to file a
/// fragment or piece it lets go of, to take the fracture body itself off the
/// lists when it is destroyed, and to settle the lists after joints broke
/// outside the world's step. The world implements it and hands itself to the
/// fracture bodies it files, so the fracture layer never reaches into the
/// world's own code.
class FractureHolder {
 public:
  /// Files `body` on the world's lists at `layer`; false when it was refused.
  virtual bool addBody(HardBody* body, std::int32_t layer) = 0;
  /// Takes `body` off every list and releases its collision records; the
  /// caller owns the body again.
  virtual bool unlinkBody(HardBody* body) = 0;
  /// Files the parts of every fracture body that split since the last step.
  virtual void postStep() = 0;

 protected:
  FractureHolder() = default;
  FractureHolder(const FractureHolder&) = default;
  FractureHolder& operator=(const FractureHolder&) = default;
  ~FractureHolder() = default;
};
