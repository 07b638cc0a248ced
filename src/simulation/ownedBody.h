#pragma once

#include "engine/bodies/HardBody.h"

/// An engine body that a node of the module owns: the node's body, a
/// solver's ground. The world deletes the bodies on its lists when it is
/// destroyed; owned bodies are known module-wide so that a world about to go
/// lets go of them first (destroyWorldKeepingOwnedBodies) and they stay their
/// nodes'. Deleting one takes it off theWorld first.
class OwnedBody {
 public:
  OwnedBody() = default;
  explicit OwnedBody(HardBody* body) { reset(body); }
  ~OwnedBody() { reset(); }
  OwnedBody(const OwnedBody&) = delete;
  OwnedBody& operator=(const OwnedBody&) = delete;

  HardBody* get() const { return held; }
  HardBody* operator->() const { return held; }
  explicit operator bool() const { return held != nullptr; }
  /// Deletes the body held (off theWorld first) and holds `body` instead.
  void reset(HardBody* body = nullptr);
  /// Lets go of the body without deleting it; the caller owns it from now on.
  HardBody* release();

 private:
  HardBody* held = nullptr;
};

/// Takes every owned body off theWorld, then destroys the world (nothing
/// without one). A fracture body leaving the world files its pieces there as
/// bodies of their own; they are taken off again.
void destroyWorldKeepingOwnedBodies();
