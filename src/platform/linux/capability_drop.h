#pragma once

namespace quorvane {

// Empties the calling thread's permitted, effective and inheritable capability sets (and
// with them the ambient set); the bounding set stays, so a program started later still
// receives its file capabilities. Call before any other thread exists, so that the whole
// process holds none. 0, or the errno of the refusal.
int DropAllCapabilities();

}  // namespace quorvane
