#include "commands/UndoQueue.h"

namespace zovhost {

namespace {

/// Marks the queue busy for the life of the guard.
class BusyGuard {
 public:
  explicit BusyGuard(bool& busy) : m_busy(busy) { m_busy = true; }
  ~BusyGuard() { m_busy = false; }

 private:
  bool& m_busy;
};

}  // namespace

void UndoQueue::push(std::unique_ptr<UndoEntry> entry) {
  if (!entry || !recording()) return;
  m_undo.push_back(std::move(entry));
  m_redo.clear();
}

bool UndoQueue::undo() {
  if (m_undo.empty() || m_busy) return false;
  std::unique_ptr<UndoEntry> entry = std::move(m_undo.back());
  m_undo.pop_back();
  const unsigned long flushes = m_flushes;
  {
    BusyGuard busy(m_busy);
    entry->undo();
  }
  // An entry that flushed the queue cannot be redone: nothing it stands on is kept.
  if (m_flushes == flushes) m_redo.push_back(std::move(entry));
  return true;
}

bool UndoQueue::redo() {
  if (m_redo.empty() || m_busy) return false;
  std::unique_ptr<UndoEntry> entry = std::move(m_redo.back());
  m_redo.pop_back();
  const unsigned long flushes = m_flushes;
  {
    BusyGuard busy(m_busy);
    entry->redo();
  }
  if (m_flushes == flushes) m_undo.push_back(std::move(entry));
  return true;
}

void UndoQueue::flush() {
  ++m_flushes;
  // Entries may run plug-in code when destroyed; take them out first.
  std::vector<std::unique_ptr<UndoEntry>> undo = std::move(m_undo);
  std::vector<std::unique_ptr<UndoEntry>> redo = std::move(m_redo);
  m_undo.clear();
  m_redo.clear();
  redo.clear();
  while (!undo.empty()) undo.pop_back();
}

void UndoQueue::setEnabled(bool enabled) {
  m_enabled = enabled;
  if (!enabled) flush();
}

}  // namespace zovhost
