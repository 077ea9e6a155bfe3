#pragma once

#include <QByteArray>
#include <sys/stat.h>
#include <time.h>

// What a file looked like when it was read: a later stamp that differs means it changed, was replaced
// or removed.
struct TFileStamp {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{};
    timespec ctime{};
    bool operator==(const TFileStamp& other) const;
};

TFileStamp FileStampOf(const QByteArray& nativePath);

// File times tick every few milliseconds (whole seconds on some file systems), so a change made in the
// tick of our reading leaves the stamp as it was: a stamp proves "unchanged since read" only once the
// clock has clearly passed its times. readStart is the wall clock when the reading began.
bool StampSettled(const TFileStamp& stamp, const timespec& readStart);

// The wall clock, as readStart.
timespec WallClockNow();
