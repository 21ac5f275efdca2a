#pragma once

#include <span>

// Create statements in Jet SQL (UTF-8 text), as the database layer runs them on either back end.

// The bulletin tables События, Станционный бюллетень and Динамические замеры, in that order: each one
// refers to the one before it.
std::span<const char *const> BulletinTableCreates();
