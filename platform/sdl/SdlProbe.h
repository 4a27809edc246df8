// A start-up that can crash inside a library (SDL's drivers do on some desktops) is tried in a
// child process first, so that only the child dies.
#pragma once

// Runs attempt in a forked child; true when it returned true within the time. A child that
// crashes, fails or outlasts the time (it is then killed) gives false.
bool SucceedsInChild(bool (*attempt)(), int milliseconds);
