#pragma once

#include "Language.h"
#include "PayloadProblem.h"

#include <string>

namespace zub {

// What `problem` asks of the user, as one clause in `language` without a
// full stop: "请填写网络名称", "the network name is empty". The window
// shows it under the form; zubqr after the option it concerns.
std::string PayloadProblemWords(PayloadProblem problem, Language language);

} // namespace zub
