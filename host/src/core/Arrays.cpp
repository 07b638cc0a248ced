// The out-of-line members of the host's array classes; the rest, with the
// index checks of insert, remove and set, is in zovhost::ValueArray.
#include <maya/MStringArray.h>

int MStringArray::indexOf(const MString& item) const {
  for (size_t i = 0; i < items().size(); ++i)
    if (items()[i] == item) return static_cast<int>(i);
  return -1;
}
