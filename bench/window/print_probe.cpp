// Prints the application's page-state probe, for the bare window to run the same script.
#include <cstdio>

#include "app/statusbar/probe.h"

int main() { std::fputs(dralmik::kPageStateProbe, stdout); }
