#include "MqttStatusNodes.h"

#include "toolkit/ua/NamedNodes.h"
#include "toolkit/ua/UaIds.h"

namespace vorn::north::mqtt {
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

struct StatusVariable {
    const char* name;
    uint32_t dataType;
    ua::Variant (*read)(const MqttStatus&);
};

ua::Variant count(const std::atomic<uint64_t>& value) {
    return ua::Variant::scalar(BuiltinType::kUInt64, value.load());
}

const StatusVariable kVariables[] = {
    {"Connected", DataTypeId::kBoolean,
     [](const MqttStatus& s) {
         return ua::Variant::scalar(BuiltinType::kBoolean, s.connected.load());
     }},
    {"State", DataTypeId::kString,
     [](const MqttStatus& s) { return ua::Variant::scalar(BuiltinType::kString, s.state()); }},
    {"BufferedRecords", DataTypeId::kUInt64,
     [](const MqttStatus& s) { return count(s.bufferedRecords); }},
    {"BufferedBytes", DataTypeId::kUInt64,
     [](const MqttStatus& s) { return count(s.bufferedBytes); }},
    {"BufferCapacity", DataTypeId::kUInt64,
     [](const MqttStatus& s) { return count(s.bufferCapacity); }},
    {"DroppedCount", DataTypeId::kUInt64,
     [](const MqttStatus& s) { return count(s.droppedValues); }},
    {"PublishedMessages", DataTypeId::kUInt64,
     [](const MqttStatus& s) { return count(s.publishedMessages); }},
    {"PublishedValues", DataTypeId::kUInt64,
     [](const MqttStatus& s) { return count(s.publishedValues); }},
    {"ConnectAttempts", DataTypeId::kUInt64,
     [](const MqttStatus& s) { return count(s.connectAttempts); }},
};

void addNodes(AddressSpace& space, uint16_t ns, const MqttStatus* status) {
    const NodeId folderId = NodeId::ofString(ns, kMqttFolder);
    space.add(namedNode(ns, kMqttFolder, kMqttFolder, NodeClass::kObject, ObjectType::kFolderType));
    space.addReference(NodeId(0, NodeIds::kObjectsFolder), RefType::kOrganizes, folderId);
    space.addReference(folderId, RefType::kHasTypeDefinition, NodeId(0, ObjectType::kFolderType));
    for (const StatusVariable& v : kVariables) {
        Node variable = namedNode(ns, std::string(kMqttFolder) + "." + v.name, v.name,
                                  NodeClass::kVariable, ObjectType::kBaseDataVariableType);
        variable.dataType = v.dataType;
        variable.accessLevel = 0x01; // read only
        variable.value = [status, read = v.read] { return read(*status); };
        const NodeId variableId = variable.id;
        space.add(std::move(variable));
        space.addReference(folderId, RefType::kHasComponent, variableId);
        space.addReference(variableId, RefType::kHasTypeDefinition,
                           NodeId(0, ObjectType::kBaseDataVariableType));
    }
}

} // namespace

ua::ExtraNodes mqttStatusNodes(const MqttStatus& status, const std::string& applicationUri) {
    return {applicationUri + ":mqtt",
            [status = &status](AddressSpace& space, uint16_t ns) { addNodes(space, ns, status); }};
}

} // namespace vorn::north::mqtt
