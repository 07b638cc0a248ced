#pragma once

#include <cstdint>
#include <vector>

/// The waits of tasks that read and write numbered slots (the bodies of a
/// pass), so that tasks run at once wherever they can and each still meets
/// its slots as a run in order would: a task waits for the last earlier task
/// that wrote a slot it uses, and a task that writes a slot for the earlier
/// tasks that read it since. Readers of a slot do not wait for each other.
/// Tasks are added in their order, from task 0.
class AccessOrder {
 public:
  /// Starts over for `tasks` tasks on slots below `slots` (a slot past them
  /// is made room for when it comes).
  void begin(std::uint32_t tasks, std::uint32_t slots);
  /// Adds the next task, which uses slots[k] for k < count and writes those
  /// whose writes[k] is set: the earlier tasks it waits for, each once, in
  /// increasing order (valid until the next call).
  const std::vector<std::uint32_t>& add(const std::uint32_t* slots, const bool* writes, std::uint32_t count);
  /// Ends the order: its bookkeeping, a few words a slot and a read, is
  /// freed unless small (clearScratch).
  void end();

 private:
  /// A task that reads a slot, and the slot's earlier reader (-1 for none).
  struct Read {
    std::uint32_t task;
    std::int32_t next;
  };
  /// The task being added.
  std::uint32_t added = 0;
  /// Each slot's last writer (-1 for none) and its readers since, as a
  /// chain through `reads` from the slot's head (-1 ends it).
  std::vector<std::int32_t> lastWriter;
  std::vector<std::int32_t> readerHead;
  std::vector<Read> reads;
  std::vector<std::uint32_t> before;
  /// The slots the order gave a writer or readers.
  std::vector<std::uint32_t> touched;
};
