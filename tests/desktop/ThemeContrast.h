#pragma once

#include <QString>

namespace zub::test {
// The desktop theme of this run: "plain", "light" or "dark".
extern QString theme;
} // namespace zub::test
