#include "modbus/ErrorCodes.h"
#include "modbus/ErrorTextTable.h"

#include <gtest/gtest.h>

using namespace vorn::modbus;

// The error-text files shipped beside the servers name every code their transport produces.
TEST(ErrorTextFiles, EveryCodeOfEachServerHasAShortText) {
    const std::vector<int> common{ErrorCode::kSendFailed,         ErrorCode::kReceiveFailed,
                                  ErrorCode::kConnectionLost,     ErrorCode::kNoReply,
                                  ErrorCode::kIllegalDataAddress, ErrorCode::kIllegalFunction,
                                  ErrorCode::kIllegalDataValue,   ErrorCode::kOtherException};
    struct Server {
        const char* file;
        std::vector<int> own;
    };
    for (const Server& server :
         {Server{tcpErrorTextFile,
                 {ErrorCode::kSocketResources, ErrorCode::kConnectFailed, ErrorCode::kNotConnected,
                  ErrorCode::kInvalidSocketArgument, ErrorCode::kAddressNotAvailable,
                  ErrorCode::kMalformedReply}},
          Server{serialErrorTextFile,
                 {ErrorCode::kPortUnavailable, ErrorCode::kBadSerialReply,
                  ErrorCode::kChecksumError, ErrorCode::kQuantityEchoMismatch}}}) {
        ErrorTextTable table;
        ASSERT_TRUE(table.loadOnce(std::string(EXAMPLES_DIR) + "/" + server.file)) << server.file;
        std::vector<int> codes = common;
        codes.insert(codes.end(), server.own.begin(), server.own.end());
        for (int code : codes) {
            auto text = table.lookup(static_cast<uint16_t>(code));
            ASSERT_TRUE(text) << server.file << " has no text for " << code;
            EXPECT_FALSE(text->empty());
            EXPECT_LE(text->size(), ErrorTextTable::kMaxTextLength);
        }
        EXPECT_FALSE(table.lookup(0xFFFF)) << "the end line is no entry";
    }
}
