#pragma once
// Times as a FAT directory entry keeps them: a 16-bit date (years from 1980, month, day) and a
// 16-bit time of day to 2 seconds, both in local time, as Windows keeps them. Apart from the
// entry's layout because the conversions to and from the host's clock are their own matter
// (the time zone, stamps that name no day).

#include <QDateTime>

#include <cstdint>
#include <ctime>

namespace stowix::fat {

struct FatStamp {
    uint16_t time = 0;
    uint16_t date = 0;
};

// The stamp of a moment, in the host's local time; years before 1980 and after 2107 are held at
// the ends of the range FAT can name.
FatStamp StampAt(time_t when);
FatStamp StampNow();

// The moment a stamp names, read as local time; invalid for a stamp that names no day (a date
// of 0, which some tools write).
QDateTime TimeOf(FatStamp stamp);

}  // namespace stowix::fat
