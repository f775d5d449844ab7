// The OPC UA status codes this server answers with, named once.
#pragma once

#include <cstdint>

namespace vorn::ua {

using StatusCode = uint32_t;

namespace Status {
// A DataValue's InfoBits: the info type DataValue, and the Overflow bit that tells a client a
// monitored item's queue lost a value.
constexpr StatusCode kInfoTypeDataValue = 0x00000400;
constexpr StatusCode kOverflow = 0x00000080;
constexpr StatusCode kGood = 0x00000000;
constexpr StatusCode kGoodSubscriptionTransferred = 0x002D0000;
constexpr StatusCode kUncertain = 0x40000000;
constexpr StatusCode kBad = 0x80000000;
constexpr StatusCode kBadUnexpectedError = 0x80010000;
constexpr StatusCode kBadInternalError = 0x80020000;
constexpr StatusCode kBadOutOfMemory = 0x80030000;
constexpr StatusCode kBadCommunicationError = 0x80050000;
constexpr StatusCode kBadDecodingError = 0x80070000;
constexpr StatusCode kBadEncodingLimitsExceeded = 0x80080000;
constexpr StatusCode kBadTimeout = 0x800A0000;
constexpr StatusCode kBadServiceUnsupported = 0x800B0000;
constexpr StatusCode kBadShutdown = 0x800C0000;
constexpr StatusCode kBadNothingToDo = 0x800F0000;
constexpr StatusCode kBadTooManyOperations = 0x80100000;
constexpr StatusCode kBadSecurityChecksFailed = 0x80130000;
constexpr StatusCode kBadCertificateInvalid = 0x80120000;
constexpr StatusCode kBadCertificateTimeInvalid = 0x80140000;
constexpr StatusCode kBadCertificateUriInvalid = 0x80170000;
constexpr StatusCode kBadCertificateRevoked = 0x801D0000;
constexpr StatusCode kBadIdentityTokenRejected = 0x80210000;
constexpr StatusCode kBadNonceInvalid = 0x80240000;
constexpr StatusCode kBadApplicationSignatureInvalid = 0x80580000;
constexpr StatusCode kBadUserAccessDenied = 0x801F0000;
constexpr StatusCode kBadIdentityTokenInvalid = 0x80200000;
constexpr StatusCode kBadSecureChannelIdInvalid = 0x80220000;
constexpr StatusCode kBadSessionIdInvalid = 0x80250000;
constexpr StatusCode kBadSessionClosed = 0x80260000;
constexpr StatusCode kBadSessionNotActivated = 0x80270000;
constexpr StatusCode kBadSubscriptionIdInvalid = 0x80280000;
constexpr StatusCode kBadTimestampsToReturnInvalid = 0x802B0000;
constexpr StatusCode kBadNoCommunication = 0x80310000;
constexpr StatusCode kBadNodeIdInvalid = 0x80330000;
constexpr StatusCode kBadNodeIdUnknown = 0x80340000;
constexpr StatusCode kBadAttributeIdInvalid = 0x80350000;
constexpr StatusCode kBadIndexRangeInvalid = 0x80360000;
constexpr StatusCode kBadIndexRangeNoData = 0x80370000;
constexpr StatusCode kBadDataEncodingUnsupported = 0x80390000;
constexpr StatusCode kBadNotReadable = 0x803A0000;
constexpr StatusCode kBadNotWritable = 0x803B0000;
constexpr StatusCode kBadOutOfRange = 0x803C0000;
constexpr StatusCode kBadMonitoringModeInvalid = 0x80410000;
constexpr StatusCode kBadMonitoredItemIdInvalid = 0x80420000;
constexpr StatusCode kBadMonitoredItemFilterInvalid = 0x80430000;
constexpr StatusCode kBadMonitoredItemFilterUnsupported = 0x80440000;
constexpr StatusCode kBadFilterNotAllowed = 0x80450000;
constexpr StatusCode kBadContinuationPointInvalid = 0x804A0000;
constexpr StatusCode kBadNoContinuationPoints = 0x804B0000;
constexpr StatusCode kBadReferenceTypeIdInvalid = 0x804C0000;
constexpr StatusCode kBadBrowseDirectionInvalid = 0x804D0000;
constexpr StatusCode kBadSecurityModeRejected = 0x80540000;
constexpr StatusCode kBadSecurityPolicyRejected = 0x80550000;
constexpr StatusCode kBadTooManySessions = 0x80560000;
constexpr StatusCode kBadBrowseNameInvalid = 0x80600000;
constexpr StatusCode kBadNoMatch = 0x806F0000;
constexpr StatusCode kBadMaxAgeInvalid = 0x80700000;
constexpr StatusCode kBadWriteNotSupported = 0x80730000;
constexpr StatusCode kBadTypeMismatch = 0x80740000;
constexpr StatusCode kBadTooManySubscriptions = 0x80770000;
constexpr StatusCode kBadTooManyPublishRequests = 0x80780000;
constexpr StatusCode kBadNoSubscription = 0x80790000;
constexpr StatusCode kBadSequenceNumberUnknown = 0x807A0000;
constexpr StatusCode kBadMessageNotAvailable = 0x807B0000;
constexpr StatusCode kBadTcpMessageTypeInvalid = 0x807E0000;
constexpr StatusCode kBadTcpSecureChannelUnknown = 0x807F0000;
constexpr StatusCode kBadTcpMessageTooLarge = 0x80800000;
constexpr StatusCode kBadTcpNotEnoughResources = 0x80810000;
constexpr StatusCode kBadTcpInternalError = 0x80820000;
constexpr StatusCode kBadDeadbandFilterInvalid = 0x808E0000;
constexpr StatusCode kBadTcpEndpointUrlInvalid = 0x80830000;
constexpr StatusCode kBadSecureChannelClosed = 0x80860000;
constexpr StatusCode kBadSecureChannelTokenUnknown = 0x80870000;
constexpr StatusCode kBadSequenceNumberInvalid = 0x80880000;
constexpr StatusCode kBadDeviceFailure = 0x808B0000;
constexpr StatusCode kBadOutOfService = 0x808D0000;
constexpr StatusCode kBadInvalidArgument = 0x80AB0000;
constexpr StatusCode kBadRequestTooLarge = 0x80B80000;
constexpr StatusCode kBadResponseTooLarge = 0x80B90000;
constexpr StatusCode kBadProtocolVersionUnsupported = 0x80BE0000;
constexpr StatusCode kBadTooManyMonitoredItems = 0x80DB0000;

constexpr bool isBad(StatusCode code) {
    return (code & 0x80000000u) != 0;
}
} // namespace Status

} // namespace vorn::ua
