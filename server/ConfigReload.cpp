#include "ConfigReload.h"

#include "engine/PolledTag.h"
#include "toolkit/SODaSTag.h"

#include <algorithm>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>

namespace vorn {
namespace {

using modbus::PolledTag;

SOCmnPointer<PolledTag> polled(const SOCmnPointer<SODaSTag>& tag) {
    return SOCmnPointer<PolledTag>::share(dynamic_cast<PolledTag*>(tag.get()));
}

// The names of the branches from below the root down to `node`.
std::vector<std::string> branchPath(const SODaSNode* node) {
    std::vector<std::string> names;
    for (; node && !node->isRoot(); node = node->getParentBranch())
        names.push_back(node->getName());
    std::reverse(names.begin(), names.end());
    return names;
}

// The branch of `names` below `root`, made where missing.
SOCmnPointer<SODaSNode> ensureBranch(SODaSNameSpaceRoot& root,
                                     const std::vector<std::string>& names) {
    SOCmnPointer<SODaSNode> at = SOCmnPointer<SODaSNode>::share(&root);
    for (const std::string& name : names) {
        SOCmnPointer<SODaSNode> next = at->findBranch(name);
        if (!next) {
            next = makeObject<SODaSNodeDefault>(name);
            if (!at->addBranch(next.get()))
                return nullptr; // the loaded tree held it, so the running one takes it
        }
        at = next;
    }
    return at;
}

void takeOutOfTree(SODaSElement& element) {
    if (SODaSNode* parent = element.getParentBranch())
        parent->removeChild(element.getName());
}

// Running branches the loaded tree no longer has go, with what they hold (their tags were
// taken out as removed already); loaded branches the running tree lacks come, empty ones too.
void followBranches(SODaSNameSpaceRoot& running, const SODaSNameSpaceRoot& loaded) {
    std::vector<SOCmnPointer<SODaSNode>> pending = running.getBranches();
    while (!pending.empty()) {
        SOCmnPointer<SODaSNode> branch = std::move(pending.back());
        pending.pop_back();
        if (!loaded.findNode(branch->getItemID())) {
            takeOutOfTree(*branch);
            continue;
        }
        for (auto& child : branch->getBranches())
            pending.push_back(std::move(child));
    }
    pending = loaded.getBranches();
    while (!pending.empty()) {
        SOCmnPointer<SODaSNode> branch = std::move(pending.back());
        pending.pop_back();
        ensureBranch(running, branchPath(branch.get()));
        for (auto& child : branch->getBranches())
            pending.push_back(std::move(child));
    }
}

// A tag coming into the running tree: made anew for the device it will run with.
struct Incoming {
    std::string itemId;
    std::vector<std::string> branches;
    SOCmnPointer<SODaSTag> tag;
    bool replaces = false;
};

} // namespace

std::string refusalOf(const ConfigSummary& summary, bool loaded,
                      const std::vector<std::string>& warnings) {
    auto firstWithLine = [&warnings]() -> std::string {
        for (const std::string& line : warnings)
            if (line.find("line ") != std::string::npos)
                return line;
        return warnings.empty() ? std::string() : warnings.front();
    };
    if (!summary.parsed) {
        const std::string why = firstWithLine();
        return why.empty() ? "the file could not be read" : why;
    }
    if (!loaded)
        return "the file's root is not a configuration of this server";
    if (summary.devices == 0) {
        const std::string why = firstWithLine();
        return "no device loads from it" + (why.empty() ? std::string() : " (" + why + ")");
    }
    return {};
}

std::string ReloadOutcome::statusLine(const char* program) const {
    std::string line = std::string(program) + ": ";
    if (!applied)
        return line + "reload of " + (file.empty() ? "the configuration" : file) +
               " refused: " + refusal + "; the running configuration stays";
    line += "reloaded " + file + ": " + difference.describe();
    if (summary.skipped || summary.warnings)
        line += " (" + std::to_string(summary.skipped) + " skipped, " +
                std::to_string(summary.warnings) + " warnings: CFG lines above)";
    return line;
}

ConfigDifference applyConfiguration(const RunningPlant& running, LoadedPlant& loaded) {
    ConfigDifference difference =
        compareConfigurations(running.config, running.root, loaded.config, *loaded.root);

    // Unchanged devices run on as the objects they are; the others come from the new file.
    const RunningDevices runningDevices(devicesOf(running.config));
    std::vector<SOCmnPointer<PlcDevice>> devices;
    std::unordered_map<const PlcDevice*, SOCmnPointer<PlcDevice>> runsAs;
    for (auto& device : devicesOf(loaded.config)) {
        SOCmnPointer<PlcDevice> kept = runningDevices.keptFor(*device);
        runsAs[device.get()] = kept ? kept : device;
        devices.push_back(runsAs[device.get()]);
    }

    // New and changed tags are made before the engine pauses, for the devices they run with.
    std::vector<Incoming> incoming;
    auto take = [&](const std::string& itemId, bool replaces) {
        SOCmnPointer<PolledTag> tag = polled(loaded.root->findTag(itemId));
        if (!tag)
            return;
        TagConfig config = tag->config();
        config.device = runsAs[config.device.get()];
        incoming.push_back(
            {itemId, branchPath(tag->getParentBranch()), running.makeTag(config), replaces});
    };
    for (const std::string& itemId : difference.addedTags)
        take(itemId, false);
    for (const std::string& itemId : difference.changedTags)
        take(itemId, true);

    std::vector<std::pair<SOCmnPointer<PolledTag>, SOCmnPointer<PolledTag>>> moves;
    running.engine.betweenCycles([&] {
        std::unique_lock whole(running.root.changeLock());
        std::lock_guard engineLock(running.queues.engineLock());
        modbus::EnginePlant plant;
        for (const std::string& itemId : difference.removedTags) {
            SOCmnPointer<PolledTag> tag = polled(running.root.findTag(itemId));
            if (!tag)
                continue;
            takeOutOfTree(*tag);
            tag->markRemoved(); // its clients' items hear that the node is gone
            plant.retired.push_back(tag);
        }
        for (Incoming& in : incoming) {
            if (in.replaces) {
                SOCmnPointer<PolledTag> old = polled(running.root.findTag(in.itemId));
                if (old) {
                    takeOutOfTree(*old);
                    plant.retired.push_back(old);
                    moves.emplace_back(old, polled(in.tag));
                }
            }
            if (SOCmnPointer<SODaSNode> branch = ensureBranch(running.root, in.branches))
                branch->addLeaf(in.tag.get());
        }
        followBranches(running.root, *loaded.root);

        running.config.devices.removeAll();
        for (const auto& device : devices)
            running.config.devices.add(device);
        running.config.modbusTypes = loaded.config.modbusTypes;
        running.config.serialPorts = loaded.config.serialPorts;
        plant.devices = devices;
        plant.lines = loaded.config.serialPorts;
        plant.changedLines = difference.changedLines;
        running.engine.adoptPlant(plant);
    });
    // The clients' items of a changed tag follow it to its new definition (outside the engine
    // lock, which their activation takes).
    for (auto& [old, replacement] : moves)
        if (replacement)
            for (const SOCmnPointer<SODaSItem>& item : old->activeItems().snapshot())
                item->moveToTag(replacement.get());
    return difference;
}

} // namespace vorn
