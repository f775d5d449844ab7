#include "ServedPlant.h"

#include "LoadedConfig.h"
#include "editor/ConfigExport.h"
#include "editor/ConfigImport.h"
#include "editor/EditorState.h"
#include "modbus/ByteOrder.h"

#include <sstream>

namespace vorn::test {
namespace {

std::string deviceLine(const PlcDevice& device, const ServerConfig& config) {
    std::ostringstream line;
    line << "address " << device.address << " port " << device.tcpPort << " com " << device.portName
         << " id " << device.unitId << " timeout " << device.timeoutMs << " silent "
         << device.silentMs << " byteorder " << static_cast<int>(device.byteOrder);
    // The line as it is opened: any parity text but ODD and EVEN is none, any flow control
    // text but HARDWARE is none.
    if (const modbus::SerialPortSettings* port = config.serialPorts.find(device.portName)) {
        const std::string parity =
            port->parity == "ODD" || port->parity == "EVEN" ? port->parity : "none";
        line << " line " << port->baudRate << " " << parity << " "
             << static_cast<int>(port->dataBits) << " " << static_cast<int>(port->stopBits) << " "
             << (port->flowControl == "HARDWARE" ? "rts" : "none");
    }
    return line.str();
}

// `deviceKey` names the tag's device as ServedPlant::devices does.
std::string tagLine(const TagConfig& tag, const std::string& deviceKey) {
    // A count of elements means something to arrays and strings only; a scalar is served the
    // same whatever a file gives it.
    const bool counted = (tag.nativeType & VT_ARRAY) || tag.nativeType == VT_BSTR;
    const uint16_t elementsServed = counted ? tag.elements : 0;
    std::ostringstream line;
    line << "device " << deviceKey << " kind " << static_cast<int>(tag.kind) << " type "
         << tag.nativeType << " address " << tag.address << " bit " << tag.bitNumber << " elements "
         << elementsServed << " rights " << tag.accessRights << " comment \"" << tag.description
         << "\" byteorder " << static_cast<int>(tag.byteOrder);
    if (tag.scaling)
        line << " scaling " << tag.scaling->rawLow << " " << tag.scaling->rawHigh << " "
             << tag.scaling->euLow << " " << tag.scaling->euHigh << " units \"" << tag.units
             << "\"";
    return line.str();
}

} // namespace

std::string firstDifference(const std::map<std::string, std::string>& before,
                            const std::map<std::string, std::string>& after) {
    for (const auto& [key, line] : before) {
        auto found = after.find(key);
        if (found == after.end())
            return "\"" + key + "\" is no longer served (was: " + line + ")";
        if (found->second != line)
            return "\"" + key + "\" was: " + line + "\n now: " + found->second;
    }
    for (const auto& [key, line] : after)
        if (!before.count(key))
            return "\"" + key + "\" is served only after the save: " + line;
    return {};
}

ServedPlant servedPlant(format::ServerKind kind, const std::string& fileText) {
    ServedPlant plant;
    LoadedConfig loaded(kind);
    // Every tag the loader makes, with the settings it was made from; the ones it then added
    // to a branch are the ones served.
    std::vector<std::pair<SOCmnPointer<SODaSTag>, TagConfig>> made;
    ConfigLoader::TagFactory makeTag = modbusTagFactory(loaded.queues);
    ConfigLoader loader(
        kind, loaded.config,
        [&](const TagConfig& tag) {
            SOCmnPointer<SODaSTag> leaf = makeTag(tag);
            made.emplace_back(leaf, tag);
            return leaf;
        },
        Registry(loaded.dir.file("registry.ini")));
    plant.loaded = loader.loadConfiguration(loaded.dir.write("config.xml", fileText), *loaded.root);
    plant.skipped = loader.summary().skipped;
    plant.warnings = loader.summary().warnings;
    std::map<const PlcDevice*, std::string> deviceKeys;
    for (const auto& device : loaded.devices()) {
        std::string key = device->name;
        for (int count = 2; plant.devices.count(key); ++count)
            key = device->name + " #" + std::to_string(count);
        deviceKeys[device.get()] = key;
        plant.devices[key] = deviceLine(*device, loaded.config);
    }
    for (const auto& [leaf, tag] : made) {
        const std::string id = leaf->getItemID();
        if (loaded.root->findTag(id).get() == leaf.get())
            plant.tags[id] = tagLine(tag, deviceKeys[tag.device.get()]);
    }
    plant.traces = loaded.traces;
    return plant;
}

Resaved resavedByEditor(const std::string& fileText) {
    Resaved result;
    ScratchDir dir;
    ScriptedMessageBox boxes;
    ScopedMessageBoxes installed(boxes);
    const std::string in = dir.write("opened.xml", fileText);
    const std::string out = dir.file("saved.xml");
    editor::EditorState state;
    state.startConfiguration(in);
    result.opened = editor::ImportXML(state, in);
    result.saved = result.opened && editor::CreateXML(state, out);
    if (result.saved)
        result.text = contentsOf(out);
    for (const auto& shown : boxes.shown())
        result.messages.push_back(shown.text);
    return result;
}

} // namespace vorn::test
