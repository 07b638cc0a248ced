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

void UndoQueue::push(std::unique_ptr<UndoEntry> entry, Redo redo) {
  if (!entry || !recording()) return;
  m_undo.push_back(std::move(entry));
  if (redo == Redo::kCleared) m_redo.clear();
}

bool UndoQueue::undo() {
  return runLast(m_undo, m_redo, [](UndoEntry& entry) {
           entry.undo();
           return true;
         }) != Outcome::kNothing;
}

UndoQueue::Outcome UndoQueue::redo() {
  return runLast(m_redo, m_undo, [](UndoEntry& entry) { return entry.redo(); });
}

UndoQueue::Outcome UndoQueue::runLast(std::vector<std::unique_ptr<UndoEntry>>& from,
                                      std::vector<std::unique_ptr<UndoEntry>>& to,
                                      const std::function<bool(UndoEntry&)>& step) {
  if (from.empty() || m_busy) return Outcome::kNothing;
  std::unique_ptr<UndoEntry> entry = std::move(from.back());
  from.pop_back();
  const unsigned long flushes = m_flushes;
  bool done = false;
  {
    BusyGuard busy(m_busy);
    done = step(*entry);
  }
  // An entry that flushed the queue cannot be run back: nothing it stands on is kept.
  if (m_flushes == flushes) (done ? to : from).push_back(std::move(entry));
  return done ? Outcome::kDone : Outcome::kRefused;
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
