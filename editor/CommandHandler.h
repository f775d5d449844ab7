// Every command handler of the editor runs inside this guard: a run-time error ends the
// handler, is shown in the standard error message naming the handler, and the state reached
// so far stays.
#pragma once

#include <functional>

namespace vorn::editor {

// Runs `body`; true when it ran to its end, false after a reported error.
bool runHandler(const char* handlerName, const std::function<void()>& body);

} // namespace vorn::editor
