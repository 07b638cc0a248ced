#include "src/moduleCommand.h"

#include "src/nodeLinks.h"

MStatus ModuleCommand::doIt(const MArgList& list) {
  const MStatus parsed = arguments.parse(syntax(), list);
  return parsed ? redoIt() : parsed;
}

MStatus OneWayCommand::undoIt() { return flushUndoQueue(); }
