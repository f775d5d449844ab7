// Numeric ids of namespace 0 that the server uses: encodings of the services' requests and
// responses, standard nodes, reference types, data types, attributes and enumerations.
#pragma once

#include <cstdint>

namespace vorn::ua {

namespace TypeId {
constexpr uint32_t kServiceFault = 397;
constexpr uint32_t kAnonymousIdentityToken = 321;
constexpr uint32_t kUserNameIdentityToken = 324;
constexpr uint32_t kFindServersRequest = 422, kFindServersResponse = 425;
constexpr uint32_t kGetEndpointsRequest = 428, kGetEndpointsResponse = 431;
constexpr uint32_t kOpenSecureChannelRequest = 446, kOpenSecureChannelResponse = 449;
constexpr uint32_t kCloseSecureChannelRequest = 452, kCloseSecureChannelResponse = 455;
constexpr uint32_t kCreateSessionRequest = 461, kCreateSessionResponse = 464;
constexpr uint32_t kActivateSessionRequest = 467, kActivateSessionResponse = 470;
constexpr uint32_t kCloseSessionRequest = 473, kCloseSessionResponse = 476;
constexpr uint32_t kBrowseRequest = 527, kBrowseResponse = 530;
constexpr uint32_t kBrowseNextRequest = 533, kBrowseNextResponse = 536;
constexpr uint32_t kTranslateRequest = 554, kTranslateResponse = 557;
constexpr uint32_t kRegisterNodesRequest = 560, kRegisterNodesResponse = 563;
constexpr uint32_t kUnregisterNodesRequest = 566, kUnregisterNodesResponse = 569;
constexpr uint32_t kReadRequest = 631, kReadResponse = 634;
constexpr uint32_t kWriteRequest = 673, kWriteResponse = 676;
constexpr uint32_t kCreateMonitoredItemsRequest = 751, kCreateMonitoredItemsResponse = 754;
constexpr uint32_t kModifyMonitoredItemsRequest = 763, kModifyMonitoredItemsResponse = 766;
constexpr uint32_t kSetMonitoringModeRequest = 769, kSetMonitoringModeResponse = 772;
constexpr uint32_t kDeleteMonitoredItemsRequest = 781, kDeleteMonitoredItemsResponse = 784;
constexpr uint32_t kCreateSubscriptionRequest = 787, kCreateSubscriptionResponse = 790;
constexpr uint32_t kModifySubscriptionRequest = 793, kModifySubscriptionResponse = 796;
constexpr uint32_t kSetPublishingModeRequest = 799, kSetPublishingModeResponse = 802;
constexpr uint32_t kDataChangeFilter = 724;
constexpr uint32_t kDataChangeNotification = 811;
constexpr uint32_t kStatusChangeNotification = 820;
constexpr uint32_t kPublishRequest = 826, kPublishResponse = 829;
constexpr uint32_t kRepublishRequest = 832, kRepublishResponse = 835;
constexpr uint32_t kTransferSubscriptionsRequest = 841, kTransferSubscriptionsResponse = 844;
constexpr uint32_t kDeleteSubscriptionsRequest = 847, kDeleteSubscriptionsResponse = 850;
constexpr uint32_t kServerStatusDataType = 864;
constexpr uint32_t kBuildInfo = 340;
constexpr uint32_t kRange = 886, kEUInformation = 889; // default binary encodings
} // namespace TypeId

namespace NodeIds {
constexpr uint32_t kRootFolder = 84, kObjectsFolder = 85, kTypesFolder = 86, kViewsFolder = 87;
constexpr uint32_t kObjectTypesFolder = 88, kVariableTypesFolder = 89, kDataTypesFolder = 90,
                   kReferenceTypesFolder = 91;
constexpr uint32_t kServer = 2253, kServerArray = 2254, kNamespaceArray = 2255,
                   kServerStatus = 2256, kStartTime = 2257, kCurrentTime = 2258, kState = 2259,
                   kBuildInfo = 2260, kProductUri = 2261, kManufacturerName = 2262,
                   kProductName = 2263, kSoftwareVersion = 2264, kBuildNumber = 2265,
                   kBuildDate = 2266, kServiceLevel = 2267, kServerCapabilities = 2268,
                   kSecondsTillShutdown = 2992, kShutdownReason = 2993;
constexpr uint32_t kOperationLimits = 11704, kMaxNodesPerRead = 11705, kMaxNodesPerWrite = 11707,
                   kMaxNodesPerBrowse = 11710, kMaxNodesPerRegisterNodes = 11711,
                   kMaxNodesPerTranslate = 11712, kMaxMonitoredItemsPerCall = 11714;
constexpr uint32_t kMaxBrowseContinuationPoints = 2735;
} // namespace NodeIds

namespace RefType {
constexpr uint32_t kReferences = 31, kNonHierarchical = 32, kHierarchical = 33, kHasChild = 34,
                   kOrganizes = 35, kHasEventSource = 36, kHasModellingRule = 37, kHasEncoding = 38,
                   kHasTypeDefinition = 40, kAggregates = 44, kHasSubtype = 45, kHasProperty = 46,
                   kHasComponent = 47, kHasNotifier = 48;
} // namespace RefType

namespace ObjectType {
constexpr uint32_t kBaseObjectType = 58, kFolderType = 61, kBaseVariableType = 62,
                   kBaseDataVariableType = 63, kPropertyType = 68, kServerType = 2004,
                   kServerCapabilitiesType = 2013, kServerStatusType = 2138, kBuildInfoType = 3051,
                   kOperationLimitsType = 11564, kDataItemType = 2365, kBaseAnalogType = 15318,
                   kAnalogItemType = 2368;
} // namespace ObjectType

namespace DataTypeId {
constexpr uint32_t kBaseDataType = 24, kBoolean = 1, kSByte = 2, kByte = 3, kInt16 = 4, kUInt16 = 5,
                   kInt32 = 6, kUInt32 = 7, kInt64 = 8, kUInt64 = 9, kFloat = 10, kDouble = 11,
                   kString = 12, kDateTime = 13, kLocalizedText = 21, kStructure = 22,
                   kEnumeration = 29, kBuildInfo = 338, kServerState = 852,
                   kServerStatusDataType = 862, kRange = 884, kEUInformation = 887;
} // namespace DataTypeId

namespace NodeClass {
constexpr uint32_t kUnspecified = 0, kObject = 1, kVariable = 2, kMethod = 4, kObjectType = 8,
                   kVariableType = 16, kReferenceType = 32, kDataType = 64, kView = 128;
} // namespace NodeClass

namespace AttributeId {
constexpr uint32_t kNodeId = 1, kNodeClass = 2, kBrowseName = 3, kDisplayName = 4, kDescription = 5,
                   kWriteMask = 6, kUserWriteMask = 7, kIsAbstract = 8, kSymmetric = 9,
                   kInverseName = 10, kContainsNoLoops = 11, kEventNotifier = 12, kValue = 13,
                   kDataType = 14, kValueRank = 15, kArrayDimensions = 16, kAccessLevel = 17,
                   kUserAccessLevel = 18, kMinimumSamplingInterval = 19, kHistorizing = 20;
} // namespace AttributeId

namespace ServerState {
constexpr int32_t kRunning = 0, kShutdown = 4;
} // namespace ServerState

} // namespace vorn::ua
