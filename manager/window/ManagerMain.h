#pragma once

namespace marvek::manager {

// The program Mandex: the start routine, then the main window until it ends the program.
int Main(int argc, char** argv);

} // namespace marvek::manager
