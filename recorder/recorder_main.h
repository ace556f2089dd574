#pragma once

namespace tarvex {

// The daemon: returns -1 on a fatal start-up or accessory error, else never.
int recorder_main();

}  // namespace tarvex
