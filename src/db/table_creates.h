#pragma once

#include <span>

// Create statements in Jet SQL (UTF-8 text), as the database layer runs them on either back end.

// The bulletin tables События, Станционный бюллетень and Динамические замеры, in that order: each one
// refers to the one before it.
std::span<const char *const> BulletinTableCreates();

// The tables of an ORX database the program reads: origin, arrival, site, sitechan, networks and
// lastid. The program never creates them; the demo folder, the tests and the benchmarks do.
std::span<const char *const> OrxTableCreates();
