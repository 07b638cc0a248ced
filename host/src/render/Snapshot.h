#pragma once

namespace zovhost {

class Interpreter;

/// Registers the host command "snapshot", which draws the scene through a
/// camera into a PNG file.
void addSnapshotCommand(Interpreter& interpreter);

}  // namespace zovhost
