#include "commands/ActiveSelection.h"

#include "core/CallbackRegistry.h"

namespace zovhost {

void setActiveSelection(const MSelectionList& list) {
  activeSelection() = list;
  callbackRegistry().raiseEvent("SelectionChanged");
}

}  // namespace zovhost
