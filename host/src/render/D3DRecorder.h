#pragma once

#include <d3d11.h>
#include <zovhost/D3DRecord.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace zovhost::d3d {

class ObjectBase;

/// The record of the stand-in's Direct3D device: every object made (live or
/// gone), the calls in order, the draws, and the failures tests inject.
class Recorder {
 public:
  /// Registers a new object; returns its id.
  unsigned add(ObjectBase* object, ObjectKind kind, unsigned references);
  void setReferences(unsigned id, unsigned references);
  /// The object is gone: its id stays in the record, its pointer no longer
  /// answers find.
  void remove(unsigned id);
  /// The live object behind an interface pointer handed out, or null for
  /// null and for pointers that name no live object (released ones).
  ObjectBase* find(const IUnknown* pointer) const;
  /// The live object of an id, or null.
  ObjectBase* live(unsigned id) const;
  /// The id of a pointer handed out (0 for null or unknown).
  unsigned idOf(const IUnknown* pointer) const;

  Call& record(const std::string& function, unsigned object);
  /// True (and one failure used up) when a failure of this function was injected.
  bool takeFailure(const std::string& function);

  /// Clears the calls, draws and injected failures; objects stay.
  void clear();

  std::vector<ObjectInfo> objects;
  std::vector<Call> calls;
  std::vector<Draw> draws;
  std::map<std::string, unsigned> injectedFailures;
  /// Compile targets ("vs_5_0") whose compilations fail.
  std::set<std::string> failingTargets;

 private:
  std::map<const IUnknown*, ObjectBase*> m_live;
};

/// What every stand-in object has besides its interface: its id and record.
class ObjectBase {
 public:
  ObjectBase(Recorder& recorder, ObjectKind kind) : m_recorder(recorder), m_kind(kind) {}
  virtual ~ObjectBase() = default;
  ObjectBase(const ObjectBase&) = delete;
  ObjectBase& operator=(const ObjectBase&) = delete;

  unsigned id() const { return m_id; }
  ObjectKind kind() const { return m_kind; }
  virtual IUnknown* unknown() = 0;

 protected:
  Recorder& m_recorder;
  ObjectKind m_kind;
  unsigned m_id = 0;
};

/// Reference counting for an interface: each AddRef and Release is
/// recorded; at the last Release the object is deleted, unless the host
/// owns it (the device and its context), which then only counts.
template <typename Interface>
class Counted : public Interface, public ObjectBase {
 public:
  Counted(Recorder& recorder, ObjectKind kind, unsigned references = 1, bool hostOwned = false)
      : ObjectBase(recorder, kind), m_references(references), m_hostOwned(hostOwned) {
    m_id = recorder.add(this, kind, references);
  }
  ~Counted() override { m_recorder.remove(m_id); }

  IUnknown* unknown() override { return this; }

  ULONG AddRef() override {
    ++m_references;
    m_recorder.setReferences(m_id, m_references);
    m_recorder.record("AddRef", m_id).values = {m_references};
    return m_references;
  }
  ULONG Release() override {
    if (m_references > 0) --m_references;
    const unsigned left = m_references;
    m_recorder.setReferences(m_id, left);
    m_recorder.record("Release", m_id).values = {left};
    if (left == 0 && !m_hostOwned) delete this;
    return left;
  }

 private:
  unsigned m_references;
  bool m_hostOwned;
};

}  // namespace zovhost::d3d
