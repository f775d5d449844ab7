// Applying a changed configuration file to a running server without a restart. The file is
// loaded aside and checked whole first: a file that does not load, or loads no device, changes
// nothing. Otherwise its difference to the running configuration is applied in one step, while
// the engine is between two cycles and the name space's change lock is held, so the engine
// never polls and no client looks up a half-changed plant:
//
// - unchanged devices and tags stay the same objects: their connections, cached values, poll
//   blocks and clients' items go on untouched;
// - removed tags leave the tree and their blocks, and clients still watching them are told the
//   node is unknown; removed devices' connections close;
// - a changed tag is a new tag object in the old one's place, and the clients' items on the old
//   one move to it (polled with its new definition from its next poll);
// - a changed device is a new device object (its connection opens anew), with new objects for
//   all its tags; a serial line whose settings changed closes and opens with the new ones,
//   others stay open.
#pragma once

#include "config/ConfigSummary.h"
#include "config/ServerConfig.h"
#include "engine/CommThread.h"
#include "engine/EngineQueues.h"
#include "server/ConfigDifference.h"
#include "toolkit/SODaSNode.h"

#include <string>
#include <vector>

namespace vorn {

// A configuration loaded aside for a reload, not yet serving.
struct LoadedPlant {
    ServerConfig config;
    SOCmnPointer<SODaSNameSpaceRoot> root = makeObject<SODaSNameSpaceRoot>();
    ConfigSummary summary;
    std::vector<std::string> warnings; // its "CFG" lines (with their line numbers)
    // Why it cannot replace the running configuration; empty when it can.
    std::string refusal;
};

// What a reload did, for the trace, the status line and the window.
struct ReloadOutcome {
    bool applied = false;
    std::string file;
    std::string refusal; // why nothing changed
    ConfigDifference difference;
    ConfigSummary summary;
    std::vector<std::string> warnings;

    // "Tarnvale: reloaded /srv/plant/Tarnvale.xml: 1 device added, 50 tags added, ..." or
    // "Tarnvale: reload of /srv/plant/Tarnvale.xml refused: <why>; the running configuration
    // stays".
    std::string statusLine(const char* program) const;
};

// Why a loaded configuration may not replace the running one (not well-formed, the structural
// faults of its root, no device), naming the file's line where the load traced one; empty when
// it may.
std::string refusalOf(const ConfigSummary& summary, bool loaded,
                      const std::vector<std::string>& warnings);

// What a reload applies to: the running configuration, its tree, the engine polling it, and
// how that engine's tags are made.
struct RunningPlant {
    ServerConfig& config;
    SODaSNameSpaceRoot& root;
    modbus::CommThread& engine;
    modbus::EngineQueues& queues;
    std::function<SOCmnPointer<SODaSTag>(const TagConfig&)> makeTag;
};

// Applies `loaded` to `running` as the header says; returns the difference.
ConfigDifference applyConfiguration(const RunningPlant& running, LoadedPlant& loaded);

} // namespace vorn
