#include "platform/posix/name_case.h"

#include "platform/posix/host_names.h"

namespace stowix::posix {

bool SameNameIgnoringCase(QStringView left, QStringView right)
{
    if (left.size() != right.size())
        return false;
    for (qsizetype i = 0; i < left.size(); ++i) {
        if (FoldCase(left[i].unicode()) != FoldCase(right[i].unicode()))
            return false;
    }
    return true;
}

bool HostNameMatches(std::string_view hostName, QStringView name)
{
    if (!IsAscii(hostName))
        return SameNameIgnoringCase(NameFromHost(hostName), name);
    // An ASCII host name decodes to one unit per byte, so the lengths must agree.
    if (qsizetype(hostName.size()) != name.size())
        return false;
    for (size_t i = 0; i < hostName.size(); ++i) {
        if (FoldCase(char16_t(hostName[i])) != FoldCase(name[qsizetype(i)].unicode()))
            return false;
    }
    return true;
}

}  // namespace stowix::posix
