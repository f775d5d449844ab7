// The standard nodes of namespace 0 the server offers: the root folders, the type trees that
// clients walk (reference types with their subtypes, the object, variable and data types the
// nodes use) and the Server object with its status, namespaces and operation limits.
#include "AddressSpace.h"
#include "toolkit/ua/UaIds.h"
#include "toolkit/ua/UaLimits.h"

namespace vorn::ua {
namespace {

// ValueRank of a variable type that takes scalars and arrays alike.
constexpr int32_t kValueRankAny = -2;

Node baseNode(uint32_t id, uint32_t nodeClass, const std::string& name) {
    Node node;
    node.id = NodeId(0, id);
    node.nodeClass = nodeClass;
    node.browseName = QualifiedName{0, name};
    node.displayName = LocalizedText{"", name};
    return node;
}

} // namespace

void AddressSpace::addStandardNodes(const ServerInfo& info) {
    using namespace NodeIds;
    auto ref = [this](uint32_t source, uint32_t type, uint32_t target) {
        addReference(NodeId(0, source), type, NodeId(0, target));
    };
    auto typed = [&](uint32_t id, uint32_t typeDefinition) {
        at(NodeId(0, id)).typeDefinition = typeDefinition;
        ref(id, RefType::kHasTypeDefinition, typeDefinition);
    };
    auto folder = [&](uint32_t id, const std::string& name, uint32_t parent) {
        add(baseNode(id, NodeClass::kObject, name));
        if (parent)
            ref(parent, RefType::kOrganizes, id);
    };
    auto referenceType = [&](uint32_t id, const std::string& name, uint32_t parent,
                             const std::string& inverse, bool isAbstract, bool symmetric) {
        Node node = baseNode(id, NodeClass::kReferenceType, name);
        node.inverseName = LocalizedText{"", inverse};
        node.isAbstract = isAbstract;
        node.symmetric = symmetric;
        add(std::move(node));
        if (parent)
            ref(parent, RefType::kHasSubtype, id);
        else
            ref(kReferenceTypesFolder, RefType::kOrganizes, id);
    };
    auto typeNode = [&](uint32_t id, uint32_t nodeClass, const std::string& name, uint32_t parent,
                        uint32_t folderIfTop, bool isAbstract) {
        Node node = baseNode(id, nodeClass, name);
        node.isAbstract = isAbstract;
        // A variable type's values: any data type, any rank, unless a type below says more.
        node.dataType = DataTypeId::kBaseDataType;
        node.valueRank = kValueRankAny;
        add(std::move(node));
        if (parent)
            ref(parent, RefType::kHasSubtype, id);
        else
            ref(folderIfTop, RefType::kOrganizes, id);
    };
    // A variable has one type definition: properties PropertyType, others the given one.
    auto variable = [&](uint32_t id, const std::string& name, uint32_t parent, uint32_t refType,
                        uint32_t dataType, int32_t valueRank, std::function<Variant()> value,
                        uint32_t typeDefinition = ObjectType::kBaseDataVariableType) {
        Node node = baseNode(id, NodeClass::kVariable, name);
        node.dataType = dataType;
        node.valueRank = valueRank;
        node.value = std::move(value);
        add(std::move(node));
        typed(id, refType == RefType::kHasProperty ? ObjectType::kPropertyType : typeDefinition);
        ref(parent, refType, id);
    };

    // Folders.
    folder(kRootFolder, "Root", 0);
    folder(kObjectsFolder, "Objects", kRootFolder);
    folder(kTypesFolder, "Types", kRootFolder);
    folder(kViewsFolder, "Views", kRootFolder);
    folder(kObjectTypesFolder, "ObjectTypes", kTypesFolder);
    folder(kVariableTypesFolder, "VariableTypes", kTypesFolder);
    folder(kDataTypesFolder, "DataTypes", kTypesFolder);
    folder(kReferenceTypesFolder, "ReferenceTypes", kTypesFolder);

    // Reference types.
    referenceType(RefType::kReferences, "References", 0, "", true, true);
    referenceType(RefType::kHierarchical, "HierarchicalReferences", RefType::kReferences, "", true,
                  false);
    referenceType(RefType::kNonHierarchical, "NonHierarchicalReferences", RefType::kReferences, "",
                  true, false);
    referenceType(RefType::kHasChild, "HasChild", RefType::kHierarchical, "", true, false);
    referenceType(RefType::kOrganizes, "Organizes", RefType::kHierarchical, "OrganizedBy", false,
                  false);
    referenceType(RefType::kHasEventSource, "HasEventSource", RefType::kHierarchical,
                  "EventSourceOf", false, false);
    referenceType(RefType::kAggregates, "Aggregates", RefType::kHasChild, "", true, false);
    referenceType(RefType::kHasSubtype, "HasSubtype", RefType::kHasChild, "SubtypeOf", false,
                  false);
    referenceType(RefType::kHasProperty, "HasProperty", RefType::kAggregates, "PropertyOf", false,
                  false);
    referenceType(RefType::kHasComponent, "HasComponent", RefType::kAggregates, "ComponentOf",
                  false, false);
    referenceType(RefType::kHasNotifier, "HasNotifier", RefType::kHasEventSource, "NotifierOf",
                  false, false);
    referenceType(RefType::kHasTypeDefinition, "HasTypeDefinition", RefType::kNonHierarchical,
                  "TypeDefinitionOf", false, false);
    referenceType(RefType::kHasModellingRule, "HasModellingRule", RefType::kNonHierarchical,
                  "ModellingRuleOf", false, false);
    referenceType(RefType::kHasEncoding, "HasEncoding", RefType::kNonHierarchical, "EncodingOf",
                  false, false);

    // Object and variable types.
    using namespace ObjectType;
    typeNode(kBaseObjectType, NodeClass::kObjectType, "BaseObjectType", 0, kObjectTypesFolder,
             false);
    typeNode(kFolderType, NodeClass::kObjectType, "FolderType", kBaseObjectType, 0, false);
    typeNode(kServerType, NodeClass::kObjectType, "ServerType", kBaseObjectType, 0, false);
    typeNode(kServerCapabilitiesType, NodeClass::kObjectType, "ServerCapabilitiesType",
             kBaseObjectType, 0, false);
    typeNode(kOperationLimitsType, NodeClass::kObjectType, "OperationLimitsType", kFolderType, 0,
             false);
    typeNode(kBaseVariableType, NodeClass::kVariableType, "BaseVariableType", 0,
             kVariableTypesFolder, true);
    typeNode(kBaseDataVariableType, NodeClass::kVariableType, "BaseDataVariableType",
             kBaseVariableType, 0, false);
    typeNode(kPropertyType, NodeClass::kVariableType, "PropertyType", kBaseVariableType, 0, false);
    typeNode(kServerStatusType, NodeClass::kVariableType, "ServerStatusType", kBaseDataVariableType,
             0, false);
    at(NodeId(0, kServerStatusType)).dataType = DataTypeId::kServerStatusDataType;
    at(NodeId(0, kServerStatusType)).valueRank = -1;
    typeNode(kBuildInfoType, NodeClass::kVariableType, "BuildInfoType", kBaseDataVariableType, 0,
             false);
    at(NodeId(0, kBuildInfoType)).dataType = DataTypeId::kBuildInfo;
    at(NodeId(0, kBuildInfoType)).valueRank = -1;
    // The types of tags with engineering units.
    typeNode(kDataItemType, NodeClass::kVariableType, "DataItemType", kBaseDataVariableType, 0,
             false);
    typeNode(kBaseAnalogType, NodeClass::kVariableType, "BaseAnalogType", kDataItemType, 0, false);
    typeNode(kAnalogItemType, NodeClass::kVariableType, "AnalogItemType", kBaseAnalogType, 0,
             false);

    // Data types: the built-in ones the tags use and those of the Server object.
    using namespace DataTypeId;
    typeNode(kBaseDataType, NodeClass::kDataType, "BaseDataType", 0, kDataTypesFolder, true);
    const std::pair<uint32_t, const char*> builtins[] = {
        {kBoolean, "Boolean"},   {kSByte, "SByte"},
        {kByte, "Byte"},         {kInt16, "Int16"},
        {kUInt16, "UInt16"},     {kInt32, "Int32"},
        {kUInt32, "UInt32"},     {kInt64, "Int64"},
        {kUInt64, "UInt64"},     {kFloat, "Float"},
        {kDouble, "Double"},     {kString, "String"},
        {kDateTime, "DateTime"}, {kLocalizedText, "LocalizedText"}};
    for (auto [id, name] : builtins)
        typeNode(id, NodeClass::kDataType, name, kBaseDataType, 0, false);
    typeNode(kStructure, NodeClass::kDataType, "Structure", kBaseDataType, 0, true);
    typeNode(kEnumeration, NodeClass::kDataType, "Enumeration", kBaseDataType, 0, true);
    typeNode(DataTypeId::kBuildInfo, NodeClass::kDataType, "BuildInfo", kStructure, 0, false);
    typeNode(kServerStatusDataType, NodeClass::kDataType, "ServerStatusDataType", kStructure, 0,
             false);
    typeNode(kServerState, NodeClass::kDataType, "ServerState", kEnumeration, 0, false);
    typeNode(kRange, NodeClass::kDataType, "Range", kStructure, 0, false);
    typeNode(kEUInformation, NodeClass::kDataType, "EUInformation", kStructure, 0, false);

    // The folders' type, now that it exists.
    for (uint32_t id : {kRootFolder, kObjectsFolder, kTypesFolder, kViewsFolder, kObjectTypesFolder,
                        kVariableTypesFolder, kDataTypesFolder, kReferenceTypesFolder})
        typed(id, ObjectType::kFolderType);

    // The Server object.
    add(baseNode(kServer, NodeClass::kObject, "Server"));
    typed(kServer, ObjectType::kServerType);
    ref(kObjectsFolder, RefType::kOrganizes, kServer);
    const ServerInfo* status = &info;
    auto text = [](std::string s) {
        return [s] { return Variant::scalar(BuiltinType::kString, s); };
    };
    variable(kServerArray, "ServerArray", kServer, RefType::kHasProperty, kString, 1,
             [status] { return Variant::array(BuiltinType::kString, {status->applicationUri()}); });
    at(NodeId(0, kServerArray)).arrayDimensions = {0};
    variable(kNamespaceArray, "NamespaceArray", kServer, RefType::kHasProperty, kString, 1,
             [status] {
                 std::vector<Scalar> uris{std::string("http://opcfoundation.org/UA/"),
                                          status->namespaceUri()};
                 for (const std::string& more : status->moreNamespaceUris())
                     uris.push_back(more);
                 return Variant::array(BuiltinType::kString, std::move(uris));
             });
    at(NodeId(0, kNamespaceArray)).arrayDimensions = {0};
    variable(
        kServerStatus, "ServerStatus", kServer, RefType::kHasComponent, kServerStatusDataType, -1,
        [status] { return Variant::scalar(BuiltinType::kExtensionObject, status->serverStatus()); },
        ObjectType::kServerStatusType);
    variable(kStartTime, "StartTime", kServerStatus, RefType::kHasComponent, kDateTime, -1,
             [status] { return Variant::scalar(BuiltinType::kDateTime, status->startTime()); });
    variable(kCurrentTime, "CurrentTime", kServerStatus, RefType::kHasComponent, kDateTime, -1,
             [] { return Variant::scalar(BuiltinType::kDateTime, nowDateTime()); });
    variable(kState, "State", kServerStatus, RefType::kHasComponent, kServerState, -1,
             [status] { return Variant::scalar(BuiltinType::kInt32, int64_t(status->state())); });
    variable(
        NodeIds::kBuildInfo, "BuildInfo", kServerStatus, RefType::kHasComponent,
        DataTypeId::kBuildInfo, -1,
        [status] { return Variant::scalar(BuiltinType::kExtensionObject, status->buildInfo()); },
        ObjectType::kBuildInfoType);
    const BuildInfoText& build = info.build();
    variable(kProductUri, "ProductUri", NodeIds::kBuildInfo, RefType::kHasComponent, kString, -1,
             text(build.productUri));
    variable(kManufacturerName, "ManufacturerName", NodeIds::kBuildInfo, RefType::kHasComponent,
             kString, -1, text(build.manufacturerName));
    variable(kProductName, "ProductName", NodeIds::kBuildInfo, RefType::kHasComponent, kString, -1,
             text(build.productName));
    variable(kSoftwareVersion, "SoftwareVersion", NodeIds::kBuildInfo, RefType::kHasComponent,
             kString, -1, text(build.softwareVersion));
    variable(kBuildNumber, "BuildNumber", NodeIds::kBuildInfo, RefType::kHasComponent, kString, -1,
             text(build.buildNumber));
    variable(kBuildDate, "BuildDate", NodeIds::kBuildInfo, RefType::kHasComponent, kDateTime, -1,
             [status] { return Variant::scalar(BuiltinType::kDateTime, status->startTime()); });
    variable(kSecondsTillShutdown, "SecondsTillShutdown", kServerStatus, RefType::kHasComponent,
             kUInt32, -1, [status] {
                 return Variant::scalar(BuiltinType::kUInt32,
                                        uint64_t(status->secondsTillShutdown()));
             });
    variable(kShutdownReason, "ShutdownReason", kServerStatus, RefType::kHasComponent,
             kLocalizedText, -1, [status] {
                 return Variant::scalar(BuiltinType::kLocalizedText,
                                        LocalizedText{"", status->shutdownReason()});
             });
    variable(kServiceLevel, "ServiceLevel", kServer, RefType::kHasProperty, kByte, -1, [status] {
        return Variant::scalar(BuiltinType::kByte, uint64_t(status->isShuttingDown() ? 0 : 255));
    });

    // Capabilities and operation limits.
    add(baseNode(kServerCapabilities, NodeClass::kObject, "ServerCapabilities"));
    typed(kServerCapabilities, ObjectType::kServerCapabilitiesType);
    ref(kServer, RefType::kHasComponent, kServerCapabilities);
    auto limit = [](uint32_t value) {
        return [value] { return Variant::scalar(BuiltinType::kUInt32, uint64_t(value)); };
    };
    variable(kMaxBrowseContinuationPoints, "MaxBrowseContinuationPoints", kServerCapabilities,
             RefType::kHasProperty, kUInt16, -1, [] {
                 return Variant::scalar(BuiltinType::kUInt16,
                                        uint64_t(Limits::kMaxBrowseContinuationPoints));
             });
    add(baseNode(kOperationLimits, NodeClass::kObject, "OperationLimits"));
    typed(kOperationLimits, ObjectType::kOperationLimitsType);
    ref(kServerCapabilities, RefType::kHasComponent, kOperationLimits);
    const std::tuple<uint32_t, const char*, uint32_t> limits[] = {
        {kMaxNodesPerRead, "MaxNodesPerRead", Limits::kMaxNodesPerRead},
        {kMaxNodesPerWrite, "MaxNodesPerWrite", Limits::kMaxNodesPerWrite},
        {kMaxNodesPerBrowse, "MaxNodesPerBrowse", Limits::kMaxNodesPerBrowse},
        {kMaxNodesPerRegisterNodes, "MaxNodesPerRegisterNodes", Limits::kMaxNodesPerRegister},
        {kMaxNodesPerTranslate, "MaxNodesPerTranslateBrowsePathsToNodeIds",
         Limits::kMaxNodesPerTranslate},
        {kMaxMonitoredItemsPerCall, "MaxMonitoredItemsPerCall", Limits::kMaxMonitoredItemsPerCall},
    };
    for (auto [id, name, value] : limits)
        variable(id, name, kOperationLimits, RefType::kHasProperty, kUInt32, -1, limit(value));
}

} // namespace vorn::ua
