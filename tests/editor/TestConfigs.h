// Configurations built from editor objects, as the dialogs would build them, for the writer
// and round-trip tests and the example files under data/.
#pragma once

#include "editor/EditorState.h"

#include <memory>
#include <string>

namespace vorn::editor::test {

// Empty configuration of `serverKind` with its root and Modbus types folder.
void startNew(EditorState& state, const std::string& serverKind);

std::shared_ptr<clsModBusType> modbusType(const std::string& name, int read, int write, int single);
std::shared_ptr<clsItem> item(const std::string& parentKey, const std::string& name,
                              const std::string& dataType, int address,
                              const std::string& access = "READWRITE", int bit = 0,
                              int elements = 0, const std::string& comment = "");
TreeNode& branch(EditorState& state, TreeNode& parent, const std::string& name);
std::shared_ptr<clsPLC> tcpDevice(const std::string& name, const std::string& address, int id,
                                  int timeout, int port);

// Tarnvale: holding registers of every register data type, coils of both bit types, two
// devices (one on TCP port 5020), nested branches.
void buildTarnvaleRoundTrip(EditorState& state);
// Rennick: input registers of every register data type, input statuses and coils of both bit
// types, two devices on one port.
void buildRennickRoundTrip(EditorState& state);

// 10 Tarnvale devices, each with 10 branches of 10 sub-branches of `itemsPerBranch` items
// (100,000 items at 100): the shape of the editor's import and export benchmark.
void buildLargeConfiguration(EditorState& state, int itemsPerBranch);

std::string readFile(const std::string& path);
std::string dataPath(const std::string& name);

} // namespace vorn::editor::test
