// Texts of the product that both faces show.
#pragma once

namespace tarvik {

inline constexpr char kWindowTitle[] = "Tarvik Slave Emulator";
inline constexpr char kProgramName[] = "TarvikSlave";
inline constexpr char kAllSocketsBusy[] = "All sockets are busy!";

}  // namespace tarvik
