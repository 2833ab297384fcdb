#include "dos/name_case.h"

namespace stowix {

bool SameNameIgnoringCase(QStringView left, QStringView right) {
    if (left.size() != right.size()) return false;
    for (qsizetype i = 0; i < left.size(); ++i) {
        if (FoldCase(left[i].unicode()) != FoldCase(right[i].unicode())) return false;
    }
    return true;
}

}  // namespace stowix
