#include "ConfigExport.h"

#include "EditorError.h"
#include "EditorState.h"
#include "FileText.h"
#include "NameRules.h"
#include "fileformat/ConfigFormat.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vorn::editor {
namespace {

// A branch is written as an element named after it.
void checkBranchName(const std::string& name) {
    if (!isWritableBranchName(name))
        throw EditorError(kErrInvalidValue, "Invalid property value: branch name \"" + name +
                                                "\" cannot be written as an XML element name");
}

[[noreturn]] void throwWriteError(const std::string& path, int error) {
    throw EditorError(kErrFileAccess, "Path/File access error: cannot write " + path + " (" +
                                          std::strerror(error) + ")");
}

mode_t modeForNewFile(const std::string& path) {
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0)
        return old.st_mode & 07777;
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

void writeFileAtomically(const std::string& path, const std::string& content) {
    std::string temporary = path + ".XXXXXX";
    int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        throwWriteError(path, errno);
    int error = 0;
    if (::fchmod(fd, modeForNewFile(path)) != 0)
        error = errno;
    for (size_t done = 0; error == 0 && done < content.size();) {
        ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno != EINTR)
            error = errno;
        else if (n > 0)
            done += static_cast<size_t>(n);
    }
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        throwWriteError(path, error);
    }
}

} // namespace

void PrintBranch(std::string& out, const EditorState& state, const TreeNode& node, int level) {
    // An explicit stack of open branches, so deep nesting cannot exhaust the call stack.
    struct Open {
        const TreeNode* node;
        size_t next;
        int level;
    };
    std::vector<Open> open{{&node, 0, level}};
    while (!open.empty()) {
        Open& top = open.back();
        if (top.next == top.node->children.size()) {
            const TreeNode* closed = top.node;
            int childLevel = top.level;
            open.pop_back();
            if (!open.empty())
                out += indent(childLevel - 1) + "</" + fileText(closed->text) + ">" + kLineEnd;
            continue;
        }
        const TreeNode* child = top.node->children[top.next++];
        int childLevel = top.level;
        if (child->tag == kTagItem) {
            out += state.items.item(child->key).GetXmlTag(childLevel);
        } else {
            checkBranchName(child->text);
            out += indent(childLevel) + "<" + fileText(child->text) + ">" + kLineEnd;
            open.push_back({child, 0, childLevel + 1});
        }
    }
}

std::string configurationText(const EditorState& state) {
    if (state.serverKind != format::kTarnvaleName && state.serverKind != format::kRennickName)
        throw EditorError(kErrInvalidValue,
                          "Invalid property value: server kind \"" + state.serverKind + "\"");
    const bool tcp = state.serverKind == format::kTarnvaleName;
    const std::string root = tcp ? format::kTarnvaleRoot : format::kRennickRoot;
    std::string out = std::string("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>") + kLineEnd;
    out += "<" + root + ">" + kLineEnd;
    out += indent(1) + "<MODBUS>" + kLineEnd;
    for (const auto& [key, type] : state.modbusTypes)
        out += type->GetXmlTag();
    out += indent(1) + "</MODBUS>" + kLineEnd;
    out += indent(1) + "<OPC_DA>" + kLineEnd;
    for (const auto& [key, device] : state.devices) {
        out += device->GetXmlTag(state.serverKind);
        out += indent(3) + "<tags>" + kLineEnd;
        const TreeNode* node = state.tree.find(device->sKey());
        if (!node)
            throw EditorError(kErrElementNotFound, "Element not found: " + device->sKey());
        PrintBranch(out, state, *node, 4);
        out += indent(3) + "</tags>" + kLineEnd;
        out += indent(2) + "</PLC>" + kLineEnd;
    }
    out += indent(1) + "</OPC_DA>" + kLineEnd;
    out += "</" + root + ">" + kLineEnd;
    return out;
}

bool CreateXML(const EditorState& state, const std::string& path) {
    try {
        writeFileAtomically(path, configurationText(state));
        return true;
    } catch (const EditorError& error) {
        reportError(error, "CreateXML");
    } catch (const std::bad_alloc&) {
        reportError(EditorError(kErrOutOfMemory, "Out of memory"), "CreateXML");
    }
    return false;
}

} // namespace vorn::editor
