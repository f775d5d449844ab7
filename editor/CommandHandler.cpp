#include "CommandHandler.h"

#include "EditorError.h"

#include <new>
#include <stdexcept>

namespace vorn::editor {

bool runHandler(const char* handlerName, const std::function<void()>& body) {
    try {
        body();
        return true;
    } catch (const EditorError& error) {
        reportError(error, handlerName);
    } catch (const std::bad_alloc&) {
        reportError(EditorError(kErrOutOfMemory, "Out of memory"), handlerName);
    } catch (const std::exception& error) {
        reportError(EditorError(kErrInvalidArgument,
                                std::string("Invalid procedure call or argument: ") + error.what()),
                    handlerName);
    }
    return false;
}

} // namespace vorn::editor
