#pragma once

// Every test program links ScratchHome.cpp (tests/CMakeLists.txt sees to it).
// Before main() it gives the process a home of its own in a scratch folder:
// HOME, the XDG folders, the runtime folder and TMPDIR point into it, and the
// session bus's address is one where no bus listens, so none is started on
// the tests' X display. The programs the tests start (the window, Xvfb,
// openbox, xdotool, the validators) inherit all of it. What a test, a library
// or one of those programs keeps "for the user" (Qt's dialog settings, a
// window manager's log, a bus's address file, caches) lands there and goes
// with the process.
//
// It also checks that this held: the user's real home (HOME as the process
// found it, and the home of the user's account) is listed when the process
// starts, after the last test and at exit; anything made, changed or removed
// there fails the run, named. Left alone are what builds running beside the
// tests write (the project's source and build trees and the compiler cache,
// wherever they are) and the temporary folder, should it lie in the home.

#include <string>

namespace zub::test {

// The process's scratch folder, which HOME and the rest point into; removed
// when the process ends.
const std::string &ScratchRoot();

} // namespace zub::test
