#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zovhost {

/// One undoable step: a plug-in command or a host command's modifier.
class UndoEntry {
 public:
  virtual ~UndoEntry() = default;
  virtual void undo() = 0;
  /// False, with nothing changed and after saying why, when the step cannot
  /// be done again as things stand (a node it deletes was locked since, say).
  virtual bool redo() = 0;
  virtual std::string name() const = 0;
};

/// The undo and redo stacks. Recording is on unless turned off ("undoInfo
/// -state off" also flushes, "-stateWithoutFlush off" does not); nothing is
/// recorded while an undo or redo runs. An entry whose undo or redo flushes
/// the queue goes with the flush: neither stack keeps it.
class UndoQueue {
 public:
  /// What a redo did.
  enum class Outcome { kNothing, kDone, kRefused };

  /// What a new entry does to the steps that wait to be redone.
  enum class Redo {
    /// They go: they were recorded on a scene the new step changed.
    kCleared,
    /// They stay, to be redone after it: the new step changes nothing they
    /// depend on, and can only let one go through that was refused (an
    /// unlock of a node whose deletion waits).
    kKept,
  };

  /// Takes the entry when recording, else drops it.
  void push(std::unique_ptr<UndoEntry> entry, Redo redo = Redo::kCleared);
  /// Undoes the newest entry and moves it to the redo stack (unless its
  /// undo flushed the queue); false when there is none.
  bool undo();
  /// Redoes the newest undone entry and moves it back to the undo stack; an
  /// entry that refuses stays to be redone.
  Outcome redo();
  /// Drops every entry (objects kept only for undo are released).
  void flush();
  bool recording() const { return m_enabled && !m_suspended && !m_busy; }
  void setEnabled(bool enabled);
  void setSuspended(bool suspended) { m_suspended = suspended; }
  bool enabled() const { return m_enabled; }
  bool suspended() const { return m_suspended; }
  size_t undoCount() const { return m_undo.size(); }
  size_t redoCount() const { return m_redo.size(); }
  std::string nextUndoName() const { return m_undo.empty() ? std::string() : m_undo.back()->name(); }

 private:
  /// Takes the last entry of `from`, runs `step` on it and files it on `to`
  /// (back on `from` when the step refuses), unless the step flushed the
  /// queue; kNothing when `from` is empty or the queue is busy.
  Outcome runLast(std::vector<std::unique_ptr<UndoEntry>>& from, std::vector<std::unique_ptr<UndoEntry>>& to,
                  const std::function<bool(UndoEntry&)>& step);

  std::vector<std::unique_ptr<UndoEntry>> m_undo;
  std::vector<std::unique_ptr<UndoEntry>> m_redo;
  bool m_enabled = true;
  bool m_suspended = false;
  bool m_busy = false;
  /// Counts the flushes, so that an undo or redo can tell whether its entry
  /// flushed the queue.
  unsigned long m_flushes = 0;
};

/// The undo queue of the host's commands; owned by the host's composition root.
UndoQueue& undoQueue();

}  // namespace zovhost
