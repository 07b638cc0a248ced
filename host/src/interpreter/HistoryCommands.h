#pragma once

#include <maya/MStatus.h>

#include "interpreter/Interpreter.h"

#include <memory>
#include <vector>

namespace zovhost {

class NodeImpl;

/// delete -ch: every listed shape (or the shapes of a listed transform)
/// keeps the geometry its history gives it now and loses that history: the
/// nodes that feed it through geometry connections, intermediate shapes
/// among them, go. One undo step.
MStatus deleteHistory(HostCall& call, const std::vector<std::shared_ptr<NodeImpl>>& nodes);

/// Registers constructionHistory and dgeval.
void addHistoryCommands(Interpreter& interpreter);

}  // namespace zovhost
