#include "modbus/ErrorCodes.h"
#include "modbus/ErrorTextTable.h"

#include <gtest/gtest.h>

using namespace vorn::modbus;

// The error-text files shipped beside the servers name every code their transport produces.
TEST(ErrorTextFiles, EveryCodeOfEachServerHasAShortText) {
    const std::vector<int> common{ErrorCode::sendFailed,         ErrorCode::receiveFailed,
                                  ErrorCode::connectionLost,     ErrorCode::noReply,
                                  ErrorCode::illegalDataAddress, ErrorCode::illegalFunction,
                                  ErrorCode::illegalDataValue,   ErrorCode::otherException};
    struct Server {
        const char* file;
        std::vector<int> own;
    };
    for (const Server& server :
         {Server{tcpErrorTextFile,
                 {ErrorCode::socketResources, ErrorCode::connectFailed, ErrorCode::notConnected,
                  ErrorCode::invalidSocketArgument, ErrorCode::addressNotAvailable,
                  ErrorCode::malformedReply}},
          Server{serialErrorTextFile,
                 {ErrorCode::portUnavailable, ErrorCode::badSerialReply, ErrorCode::checksumError,
                  ErrorCode::quantityEchoMismatch}}}) {
        ErrorTextTable table;
        ASSERT_TRUE(table.loadOnce(std::string(EXAMPLES_DIR) + "/" + server.file)) << server.file;
        std::vector<int> codes = common;
        codes.insert(codes.end(), server.own.begin(), server.own.end());
        for (int code : codes) {
            auto text = table.lookup(static_cast<uint16_t>(code));
            ASSERT_TRUE(text) << server.file << " has no text for " << code;
            EXPECT_FALSE(text->empty());
            EXPECT_LE(text->size(), ErrorTextTable::maxTextLength);
        }
        EXPECT_FALSE(table.lookup(0xFFFF)) << "the end line is no entry";
    }
}
