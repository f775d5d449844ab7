// Helpers shared by the window tests and the screenshot program: the engine rig's devices,
// a plant with one device per register kind, and waiting while Qt processes events.
#pragma once

#include "EngineRig.h"

#include <functional>
#include <string>

class QTreeWidget;
class QTreeWidgetItem;

namespace vorn::test {

// The engine's device at `index` (configuration order).
PlcDevice* engineDevice(EngineRig& rig, size_t index);

// Processes Qt events until `condition` holds, at most `timeoutMs`.
bool processEventsUntil(const std::function<bool()>& condition, int timeoutMs);

// Starts `rig` with one device "P1" on a simulator holding a float 1.5 (HREG 100-101, tags
// Level and Spare up to 109), coils 1 and 0 (Run, Stop) and 16 input bits (Inputs, an array),
// all active at 100 ms; returns once every tag has been polled.
void startPlant(EngineRig& rig, modbus::EngineObserver* reportTo = nullptr);

// The first item of `tree` whose text is `text`, or null.
QTreeWidgetItem* findItem(const QTreeWidget& tree, const std::string& text);
// Texts of the children of `item`, in order.
std::vector<std::string> childTexts(const QTreeWidgetItem& item);

} // namespace vorn::test
