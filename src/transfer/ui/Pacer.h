#pragma once

#include <time.h>

// Says when an interval of the monotonic clock has passed since it last said so. A clock reading
// costs no system call, so a loop may ask after every row.
class TPacer {
public:
    explicit TPacer(long long intervalNs) : interval_(intervalNs) {}

    bool Due() {
        const long long now = NowNs();
        if (now - last_ < interval_)
            return false;
        last_ = now;
        return true;
    }
    void Restart() { last_ = NowNs(); }

private:
    static long long NowNs() {
        timespec t{};
        clock_gettime(CLOCK_MONOTONIC, &t);
        return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
    }

    long long interval_;
    long long last_ = -(1LL << 62);
};
