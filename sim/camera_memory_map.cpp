#include "camera_memory_map.h"

namespace tarvex::sim {

namespace {

constexpr FirmwareInfo REV3{"rev3", 0xc0ab727a, 0xc0ab765a, 8};
constexpr FirmwareInfo REV4{"rev4", 0xc0ad717a, 0xc0ada612, 8};
constexpr FirmwareInfo REV1{"rev1", 0xc08e66a9, 0xc09df8aa, 7};

}  // namespace

const FirmwareInfo& firmware_info(Firmware firmware) {
    switch (firmware) {
        case Firmware::Rev4: return REV4;
        case Firmware::Rev1: return REV1;
        case Firmware::Rev3: break;
    }
    return REV3;
}

Firmware firmware_from_revision(int revision) {
    if (revision == 4) return Firmware::Rev4;
    if (revision == 1) return Firmware::Rev1;
    return Firmware::Rev3;
}

}  // namespace tarvex::sim
