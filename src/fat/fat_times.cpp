#include "fat/fat_times.h"

#include <algorithm>

namespace stowix::fat {

namespace {

FatStamp StampOf(const struct tm& local) {
    FatStamp stamp;
    const int year = std::clamp(local.tm_year + 1900, 1980, 2107);
    stamp.date = uint16_t(((year - 1980) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
    stamp.time = uint16_t((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
    return stamp;
}

}  // namespace

FatStamp StampAt(time_t when) {
    struct tm local {};
    ::localtime_r(&when, &local);
    return StampOf(local);
}

FatStamp StampNow() { return StampAt(::time(nullptr)); }

QDateTime TimeOf(FatStamp stamp) {
    struct tm local {};
    local.tm_year = (stamp.date >> 9) + 80;
    local.tm_mon = ((stamp.date >> 5) & 15) - 1;
    local.tm_mday = stamp.date & 31;
    local.tm_hour = stamp.time >> 11;
    local.tm_min = (stamp.time >> 5) & 63;
    local.tm_sec = (stamp.time & 31) * 2;
    local.tm_isdst = -1;
    if (local.tm_mon < 0 || local.tm_mon > 11 || local.tm_mday == 0 || local.tm_hour > 23 ||
        local.tm_min > 59 || local.tm_sec > 59)
        return QDateTime();
    const time_t when = ::mktime(&local);
    if (when == time_t(-1)) return QDateTime();
    return QDateTime::fromSecsSinceEpoch(qint64(when), Qt::UTC);
}

}  // namespace stowix::fat
