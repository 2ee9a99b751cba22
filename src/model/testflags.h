#pragma once

// Raised by the shell for a whole self-test or snapshot run, so the program leaves the user's
// environment alone (no view-toggle writes, alerts as text). Main thread only; never stored.
namespace VELKTestFlags {
extern bool running;
}
