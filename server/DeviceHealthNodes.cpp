#include "DeviceHealthNodes.h"

#include "toolkit/ua/DaMapping.h"
#include "toolkit/ua/NamedNodes.h"
#include "toolkit/ua/UaIds.h"

#include <set>

namespace vorn {
namespace {

using ua::AddressSpace;
namespace BuiltinType = ua::BuiltinType;
namespace DataTypeId = ua::DataTypeId;
using ua::namedNode;
using ua::Node;
namespace NodeClass = ua::NodeClass;
using ua::NodeId;
namespace NodeIds = ua::NodeIds;
namespace ObjectType = ua::ObjectType;
namespace RefType = ua::RefType;

struct HealthVariable {
    const char* name;
    uint32_t dataType;
    ua::Variant (*read)(const modbus::DeviceHealthSnapshot&);
    bool tcpOnly = false; // Tarnvale devices only
};

const HealthVariable kVariables[] = {
    {"Connected", DataTypeId::kBoolean,
     [](const modbus::DeviceHealthSnapshot& s) {
         return ua::Variant::scalar(BuiltinType::kBoolean, s.connected);
     }},
    {"LastErrorCode", DataTypeId::kUInt32,
     [](const modbus::DeviceHealthSnapshot& s) {
         return ua::Variant::scalar(BuiltinType::kUInt32, uint64_t{s.lastErrorCode});
     }},
    {"LastErrorText", DataTypeId::kString,
     [](const modbus::DeviceHealthSnapshot& s) {
         return ua::Variant::scalar(BuiltinType::kString, s.lastErrorText);
     }},
    {"ErrorCount", DataTypeId::kUInt64,
     [](const modbus::DeviceHealthSnapshot& s) {
         return ua::Variant::scalar(BuiltinType::kUInt64, s.errorCount);
     }},
    {"RequestCount", DataTypeId::kUInt64,
     [](const modbus::DeviceHealthSnapshot& s) {
         return ua::Variant::scalar(BuiltinType::kUInt64, s.requestCount);
     }},
    {"LastGoodTime", DataTypeId::kDateTime,
     [](const modbus::DeviceHealthSnapshot& s) {
         return ua::Variant::scalar(BuiltinType::kDateTime,
                                    int64_t{ua::toDateTime(s.lastGoodTime)});
     }},
    {"RoundTripMs", DataTypeId::kDouble,
     [](const modbus::DeviceHealthSnapshot& s) {
         return ua::Variant::scalar(BuiltinType::kDouble, s.roundTripMs);
     }},
    {"ReadIntervalP50Ms", DataTypeId::kDouble,
     [](const modbus::DeviceHealthSnapshot& s) {
         return ua::Variant::scalar(BuiltinType::kDouble, s.readIntervalP50Ms);
     }},
    {"ReadIntervalP95Ms", DataTypeId::kDouble,
     [](const modbus::DeviceHealthSnapshot& s) {
         return ua::Variant::scalar(BuiltinType::kDouble, s.readIntervalP95Ms);
     }},
    {"ReducedRate", DataTypeId::kBoolean,
     [](const modbus::DeviceHealthSnapshot& s) {
         return ua::Variant::scalar(BuiltinType::kBoolean, s.reducedRate);
     }},
    {"SplitBlocks", DataTypeId::kUInt32,
     [](const modbus::DeviceHealthSnapshot& s) {
         return ua::Variant::scalar(BuiltinType::kUInt32, uint64_t{s.splitBlocks});
     }},
    {"ActiveAddress", DataTypeId::kString,
     [](const modbus::DeviceHealthSnapshot& s) {
         return ua::Variant::scalar(BuiltinType::kString, s.activeAddress);
     },
     true},
};

void addDevices(AddressSpace& space, uint16_t ns,
                const std::vector<const modbus::CommThread*>& engines) {
    const NodeId folderId = NodeId::ofString(ns, kDeviceHealthFolder);
    space.add(namedNode(ns, kDeviceHealthFolder, kDeviceHealthFolder, NodeClass::kObject,
                        ObjectType::kFolderType));
    space.addReference(NodeId(0, NodeIds::kObjectsFolder), RefType::kOrganizes, folderId);
    space.addReference(folderId, RefType::kHasTypeDefinition, NodeId(0, ObjectType::kFolderType));

    std::set<std::string> taken;
    for (const modbus::CommThread* engine : engines) {
        const auto& devices = engine->devices();
        for (size_t position = 0; position < devices.size(); ++position) {
            const std::string& name = devices[position].device->name;
            // Two devices may share a name (they share one branch of tags); their health differs.
            std::string key = name;
            for (int n = 2; !taken.insert(key).second; ++n)
                key = name + "#" + std::to_string(n);
            const std::string objectPath = std::string(kDeviceHealthFolder) + "." + key;
            const NodeId objectId = NodeId::ofString(ns, objectPath);
            space.add(
                namedNode(ns, objectPath, key, NodeClass::kObject, ObjectType::kBaseObjectType));
            space.addReference(folderId, RefType::kOrganizes, objectId);
            space.addReference(objectId, RefType::kHasTypeDefinition,
                               NodeId(0, ObjectType::kBaseObjectType));

            const modbus::DeviceHealth* health = &engine->health(position);
            const bool tcp = !devices[position].device->address.empty();
            for (const HealthVariable& v : kVariables) {
                if (v.tcpOnly && !tcp)
                    continue;
                Node variable = namedNode(ns, objectPath + "." + v.name, v.name,
                                          NodeClass::kVariable, ObjectType::kBaseDataVariableType);
                variable.dataType = v.dataType;
                variable.accessLevel = 0x01; // read only
                variable.value = [health, read = v.read] { return read(health->snapshot()); };
                const NodeId variableId = variable.id;
                space.add(std::move(variable));
                space.addReference(objectId, RefType::kHasComponent, variableId);
                space.addReference(variableId, RefType::kHasTypeDefinition,
                                   NodeId(0, ObjectType::kBaseDataVariableType));
            }
        }
    }
}

} // namespace

ua::ExtraNodes deviceHealthNodes(std::vector<const modbus::CommThread*> engines,
                                 const std::string& applicationUri) {
    return {applicationUri + ":health",
            [engines = std::move(engines)](AddressSpace& space, uint16_t ns) {
                addDevices(space, ns, engines);
            }};
}

} // namespace vorn
