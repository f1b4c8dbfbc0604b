#include "windows/formsnr.h"

#include <cstring>

SnrHistory snrhistory;

void SnrHistory::clear() {
    std::memset(this, 0, sizeof *this);
}

void SnrHistory::add(double stamp, const std::uint8_t* status) {
    stamps[pos] = stamp;
    snr[pos] = status[1];
    limd[pos] = status[2];
    uimd[pos] = status[3];
    if (++pos == kSize) {
        pos = 0;
        wrapped = true;
    }
}
