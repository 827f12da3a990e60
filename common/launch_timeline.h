#pragma once
// The steps of a launch, for the launch benchmark's timeline (sh bench/window.sh timeline). With
// DRALMIK_LAUNCH_TIMELINE set in the environment each step is written to standard error as
//   launch-step <milliseconds since the epoch> <CPU milliseconds of the process so far> <step>
// and otherwise nothing is done. POSIX only, for the application's core and its platform.

namespace dralmik {

void launchStep(const char* step);

}  // namespace dralmik
