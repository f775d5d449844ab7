// The channel's protocol as a client sees it: the handshake negotiates chunk sizes, large
// responses go out in chunks with rising sequence numbers, and every malformed or oversized
// input ends in an Error message and a close, never in a request taken for real.
#include "toolkit/ua/SecureChannel.h"

#include "UaFrames.h"
#include "toolkit/ua/UaBinary.h"
#include "toolkit/ua/UaIds.h"
#include "toolkit/ua/UaLimits.h"

#include <gtest/gtest.h>

using namespace vorn::ua;
using vorn::ua::test::frame;

namespace {

std::string hello(uint32_t receive, uint32_t send, uint32_t maxChunks = 0) {
    Encoder e;
    e.u32(0);
    e.u32(receive);
    e.u32(send);
    e.u32(0);
    e.u32(maxChunks);
    e.string("opc.tcp://127.0.0.1:4840");
    return frame("HEL", 'F', e.bytes());
}

std::string open(uint32_t sequence, const std::string& policy = kSecurityPolicyNone,
                 uint32_t channelId = 0, uint32_t requestType = 0) {
    Encoder e;
    e.u32(channelId);
    e.string(policy);
    e.nullString();
    e.nullString();
    e.u32(sequence);
    e.u32(1);
    e.nodeId(NodeId(0, TypeId::kOpenSecureChannelRequest));
    e.nodeId(NodeId());
    e.dateTime(0);
    e.u32(7);
    e.u32(0);
    e.nullString();
    e.u32(0);
    e.extensionObject({});
    e.u32(0);
    e.u32(requestType); // 0 issue, 1 renew
    e.u32(1);           // mode None
    e.nullString();
    e.u32(60000);
    return frame("OPN", 'F', e.bytes());
}

std::string message(uint32_t channel, uint32_t token, uint32_t sequence, uint32_t requestId,
                    const std::string& body, char chunk = 'F') {
    Encoder e;
    e.u32(channel);
    e.u32(token);
    e.u32(sequence);
    e.u32(requestId);
    e.raw(body);
    return frame("MSG", chunk, e.bytes());
}

std::string typed(uint32_t typeId, const std::string& rest) {
    Encoder e;
    e.nodeId(NodeId(0, typeId));
    e.raw(rest);
    return e.bytes();
}

struct Chunk {
    std::string type;
    char chunkType;
    std::string body;
};

std::vector<Chunk> chunksOf(const std::string& bytes) {
    std::vector<Chunk> out;
    Decoder d(bytes);
    while (d.remaining() >= 8) {
        std::string head(d.rawBytes(4));
        uint32_t size = d.u32();
        out.push_back({head.substr(0, 3), head[3], std::string(d.rawBytes(size - 8))});
    }
    return out;
}

uint32_t errorCode(const std::string& output) {
    auto chunks = chunksOf(output);
    if (chunks.empty() || chunks.back().type != "ERR")
        return 0;
    Decoder d(chunks.back().body);
    return d.u32();
}

// A channel through Hello and Open, with its id and token.
struct OpenChannel {
    SecureChannel channel{42};
    std::vector<ServiceRequest> requests;
    OpenChannel(uint32_t receive = 65536, uint32_t send = 65536, uint32_t maxChunks = 0) {
        EXPECT_TRUE(channel.receive(hello(receive, send, maxChunks), requests));
        EXPECT_TRUE(channel.receive(open(1), requests));
        auto chunks = chunksOf(channel.takeOutput());
        EXPECT_EQ(chunks.size(), 2u);
        EXPECT_EQ(chunks[0].type, "ACK");
        EXPECT_EQ(chunks[1].type, "OPN");
    }
};

} // namespace

TEST(SecureChannel, HelloIsAnsweredWithTheSmallerBufferSizes) {
    SecureChannel channel(1);
    std::vector<ServiceRequest> requests;
    ASSERT_TRUE(channel.receive(hello(16384, 1000000), requests));
    auto chunks = chunksOf(channel.takeOutput());
    ASSERT_EQ(chunks.size(), 1u);
    Decoder ack(chunks[0].body);
    ack.u32();
    EXPECT_EQ(ack.u32(), Limits::kBufferSize); // we receive at most our buffer
    EXPECT_EQ(ack.u32(), 16384u);              // and send what the client takes
}

TEST(SecureChannel, AMessageInChunksIsOneRequest) {
    OpenChannel c;
    std::string body = typed(TypeId::kReadRequest, std::string(100, 'x'));
    ASSERT_TRUE(c.channel.receive(message(42, 1, 2, 9, body.substr(0, 40), 'C') +
                                      message(42, 1, 3, 9, body.substr(40), 'F'),
                                  c.requests));
    ASSERT_EQ(c.requests.size(), 1u);
    EXPECT_EQ(c.requests[0].requestId, 9u);
    EXPECT_EQ(c.requests[0].typeId, TypeId::kReadRequest);
    EXPECT_EQ(c.requests[0].body, std::string(100, 'x'));
}

TEST(SecureChannel, LargeResponsesGoOutInChunksOfTheClientsSize) {
    OpenChannel c(8192, 8192);
    ASSERT_TRUE(c.channel.sendMessage(5, TypeId::kReadResponse, std::string(20000, 'y')));
    auto chunks = chunksOf(c.channel.takeOutput());
    ASSERT_EQ(chunks.size(), 3u);
    uint32_t lastSequence = 0;
    for (size_t i = 0; i < chunks.size(); ++i) {
        EXPECT_EQ(chunks[i].chunkType, i + 1 < chunks.size() ? 'C' : 'F');
        EXPECT_LE(chunks[i].body.size() + 8, 8192u);
        Decoder d(chunks[i].body);
        d.u32();
        d.u32();
        uint32_t sequence = d.u32();
        if (i) {
            EXPECT_EQ(sequence, lastSequence + 1);
        }
        lastSequence = sequence;
        EXPECT_EQ(d.u32(), 5u);
    }
}

TEST(SecureChannel, AResponseBeyondTheClientsChunkCountIsRefused) {
    OpenChannel c(8192, 8192, 2);
    EXPECT_FALSE(c.channel.sendMessage(5, TypeId::kReadResponse, std::string(20000, 'y')));
    EXPECT_FALSE(c.channel.hasOutput());
    EXPECT_TRUE(c.channel.sendMessage(5, TypeId::kReadResponse, std::string(100, 'y')));
}

TEST(SecureChannel, AResponseBeyondTheClientsMessageSizeGetsAFaultOrAnErrorNeverSilence) {
    std::string response(400, 'r'); // a CreateSession response is larger than this
    Encoder faultBody;
    faultBody.dateTime(0);
    faultBody.u32(3);
    faultBody.statusCode(Status::kBadResponseTooLarge);
    faultBody.u8(0);
    faultBody.arrayLength(0);
    faultBody.extensionObject({});
    for (uint32_t maxMessage = 1; maxMessage <= 140; ++maxMessage) {
        SecureChannel channel(42);
        std::vector<ServiceRequest> requests;
        Encoder e;
        for (uint32_t v : {0u, 65536u, 65536u, maxMessage, 0u})
            e.u32(v);
        e.string("opc.tcp://127.0.0.1:4840");
        ASSERT_TRUE(channel.receive(frame("HEL", 'F', e.bytes()), requests));
        ASSERT_TRUE(channel.receive(open(1), requests));
        channel.takeOutput();
        bool open =
            channel.sendResponse(9, TypeId::kCreateSessionResponse, response, faultBody.bytes());
        auto chunks = chunksOf(channel.takeOutput());
        ASSERT_EQ(chunks.size(), 1u) << maxMessage;
        if (open) {
            ASSERT_EQ(chunks[0].type, "MSG") << maxMessage;
            Decoder d(chunks[0].body);
            d.rawBytes(16);
            EXPECT_EQ(d.nodeId(), NodeId(0, TypeId::kServiceFault)) << maxMessage;
            d.dateTime();
            EXPECT_EQ(d.u32(), 3u);
            EXPECT_EQ(d.statusCode(), Status::kBadResponseTooLarge) << maxMessage;
        } else {
            EXPECT_EQ(chunks[0].type, "ERR") << maxMessage;
            EXPECT_EQ(Decoder(chunks[0].body).u32(), Status::kBadResponseTooLarge);
            EXPECT_TRUE(channel.isClosed());
        }
        // The fault fits from its size with its type's NodeId (4 bytes) on.
        EXPECT_EQ(open, maxMessage >= 4 + faultBody.size()) << maxMessage;
    }
}

TEST(SecureChannel, FaultyInputEndsWithAnErrorAndNoRequest) {
    struct Case {
        const char* what;
        std::string bytes;
        uint32_t error;
    };
    std::string body = typed(TypeId::kReadRequest, "x");
    const Case cases[] = {
        {"sequence gap", message(42, 1, 5, 2, body), Status::kBadSequenceNumberInvalid},
        {"wrong channel", message(7, 1, 2, 2, body), Status::kBadTcpSecureChannelUnknown},
        {"unknown token", message(42, 9, 2, 2, body), Status::kBadSecureChannelTokenUnknown},
        {"chunk larger than negotiated",
         message(42, 1, 2, 2, typed(TypeId::kReadRequest, std::string(70000, 'z'))),
         Status::kBadTcpMessageTooLarge},
        {"absurd length", std::string("MSGF\xff\xff\xff\xff", 8), Status::kBadTcpMessageTooLarge},
        {"length below a header", std::string("MSGF\x04\x00\x00\x00", 8),
         Status::kBadTcpMessageTooLarge},
        {"second hello", hello(65536, 65536), Status::kBadTcpMessageTypeInvalid},
        {"unknown type", frame("XYZ", 'F', "abcd"), Status::kBadTcpMessageTypeInvalid},
        {"unknown chunk type", message(42, 1, 2, 2, body, 'Q'), Status::kBadTcpMessageTypeInvalid},
        {"no service type", message(42, 1, 2, 2, std::string("\x07", 1)),
         Status::kBadDecodingError},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        OpenChannel c;
        EXPECT_FALSE(c.channel.receive(test.bytes, c.requests));
        EXPECT_TRUE(c.requests.empty());
        EXPECT_EQ(errorCode(c.channel.takeOutput()), test.error);
        EXPECT_TRUE(c.channel.isClosed());
    }
}

TEST(SecureChannel, TooManyChunksForOneMessageCloseTheChannel) {
    OpenChannel c(65536, 8192);
    std::vector<ServiceRequest> requests;
    bool open = true;
    uint32_t sequence = 2;
    for (uint32_t i = 0; i <= Limits::kMaxChunkCount && open; ++i)
        open =
            c.channel.receive(message(42, 1, sequence++, 3, std::string(8000, 'a'), 'C'), requests);
    EXPECT_FALSE(open);
    EXPECT_TRUE(requests.empty());
    EXPECT_EQ(errorCode(c.channel.takeOutput()), Status::kBadTcpMessageTooLarge);
}

TEST(SecureChannel, OnlySecurityPolicyNoneIsOpened) {
    SecureChannel channel(3);
    std::vector<ServiceRequest> requests;
    ASSERT_TRUE(channel.receive(hello(65536, 65536), requests));
    channel.takeOutput();
    EXPECT_FALSE(channel.receive(
        open(1, "http://opcfoundation.org/UA/SecurityPolicy#Basic256Sha256"), requests));
    EXPECT_EQ(errorCode(channel.takeOutput()), Status::kBadSecurityPolicyRejected);
}

TEST(SecureChannel, BytesBeforeTheHelloAreRefused) {
    SecureChannel channel(3);
    std::vector<ServiceRequest> requests;
    EXPECT_FALSE(channel.receive(open(1), requests));
    EXPECT_EQ(errorCode(channel.takeOutput()), Status::kBadTcpMessageTypeInvalid);
}

TEST(SecureChannel, ABytewiseTrickleIsAssembled) {
    OpenChannel c;
    std::string bytes = message(42, 1, 2, 4, typed(TypeId::kBrowseRequest, "abc"));
    for (char b : bytes)
        ASSERT_TRUE(c.channel.receive(std::string_view(&b, 1), c.requests));
    ASSERT_EQ(c.requests.size(), 1u);
    EXPECT_EQ(c.requests[0].body, "abc");
}

TEST(SecureChannel, AChunkNotCompleteWithinItsBoundExpiresTheChannel) {
    OpenChannel c;
    std::string chunk = message(42, 1, 2, 9, typed(TypeId::kReadRequest, std::string(100, 'x')));
    auto bound = std::chrono::milliseconds(Limits::kChunkTimeoutMs);
    auto start = SecureChannel::Clock::now();
    ASSERT_TRUE(c.channel.receive(chunk.substr(0, 10), c.requests));
    EXPECT_FALSE(c.channel.isExpired(start + bound - std::chrono::seconds(1)));
    EXPECT_TRUE(c.channel.isExpired(start + bound + std::chrono::seconds(1)));

    // Completing it, with the start of the next chunk, starts the next chunk's bound.
    std::string next = message(42, 1, 3, 10, typed(TypeId::kReadRequest, "y"));
    ASSERT_TRUE(c.channel.receive(chunk.substr(10) + next.substr(0, 5), c.requests));
    EXPECT_EQ(c.requests.size(), 1u);
    auto nextStart = SecureChannel::Clock::now();
    EXPECT_FALSE(c.channel.isExpired(nextStart + bound - std::chrono::seconds(1)));
    EXPECT_TRUE(c.channel.isExpired(nextStart + bound + std::chrono::seconds(1)));
    ASSERT_TRUE(c.channel.receive(next.substr(5), c.requests));
    EXPECT_FALSE(c.channel.isExpired(nextStart + bound + std::chrono::seconds(1)))
        << "nothing waits once the chunk is whole";
}

TEST(SecureChannel, ARenewedTokenReplacesTheOldOneOnceUsed) {
    OpenChannel c;
    std::string body = typed(TypeId::kReadRequest, "x");
    ASSERT_TRUE(c.channel.receive(open(2, kSecurityPolicyNone, 42, 1), c.requests));
    auto chunks = chunksOf(c.channel.takeOutput());
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0].type, "OPN");
    // Until the client uses the new token the old one still works.
    EXPECT_TRUE(c.channel.receive(message(42, 1, 3, 5, body), c.requests));
    EXPECT_TRUE(c.channel.receive(message(42, 2, 4, 6, body), c.requests));
    EXPECT_EQ(c.requests.size(), 2u);
    EXPECT_FALSE(c.channel.receive(message(42, 1, 5, 7, body), c.requests));
    EXPECT_EQ(errorCode(c.channel.takeOutput()), Status::kBadSecureChannelTokenUnknown);
    EXPECT_EQ(c.requests.size(), 2u);
}

TEST(SecureChannel, ARenewForAnotherChannelIsRefused) {
    OpenChannel c;
    EXPECT_FALSE(c.channel.receive(open(2, kSecurityPolicyNone, 43, 1), c.requests));
    EXPECT_EQ(errorCode(c.channel.takeOutput()), Status::kBadTcpSecureChannelUnknown);
}
