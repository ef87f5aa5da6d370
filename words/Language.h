#pragma once

namespace zub {

// The language the front ends speak: the window always Chinese, the
// command line its user's (Chinese under a zh_* locale, else English).
enum class Language { Chinese, English };

} // namespace zub
