#pragma once

/// Base of plug-in tool contexts (made by context commands).
class MPxContext {
 public:
  MPxContext() = default;
  virtual ~MPxContext() = default;
};
