// The frame codec against frames written out by hand, byte for byte, and against frames
// that end early, lie about their lengths or carry huge counts.
#include "protocol/frame_codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>

namespace dl::protocol {
namespace {

// Bytes from a list of values, each below 256.
Bytes B(std::initializer_list<int> bytes) {
  Bytes out;
  for (int b : bytes) out.push_back(static_cast<char>(b));
  return out;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out += p;
  return out;
}

TEST(RequestBody, WindowActivationFromProcess100IsTheDocumentedBytes) {
  // Receiver "VirtualDesktops", command 20, the packed window handle 0x1234, process 100.
  const Bytes body = EncodeRequestBody("VirtualDesktops", 20, PackInteger(0x1234), 100);
  const Bytes expected = Cat({B({15, 0, 0, 0}), "VirtualDesktops",   //
                              B({4, 0, 0, 0, 20, 0, 0, 0}),            //
                              B({8, 0, 0, 0, 4, 0, 0, 0, 0x34, 0x12, 0, 0}),  //
                              B({4, 0, 0, 0, 100, 0, 0, 0})});
  EXPECT_EQ(body, expected);

  // On the wire the message id comes first, as an integer field.
  const Bytes payload = EncodeFrameWithId(0xA1B2C3D4u, body);
  EXPECT_EQ(payload, Cat({B({4, 0, 0, 0, 0xD4, 0xC3, 0xB2, 0xA1}), expected}));

  auto request = DecodeRequest(payload);
  ASSERT_TRUE(request);
  EXPECT_EQ(request->messageId, 0xA1B2C3D4u);
  EXPECT_EQ(request->receiver, "VirtualDesktops");
  EXPECT_EQ(request->commandCode, 20u);
  EXPECT_EQ(UnpackInteger(request->commandData), 0x1234u);
  EXPECT_EQ(request->processId, 100u);
}

TEST(RequestBody, EmptyReceiverAndEmptyDataAreZeroCounts) {
  EXPECT_EQ(EncodeRequestBody("", 1, "", 7),
            Cat({B({0, 0, 0, 0}), B({4, 0, 0, 0, 1, 0, 0, 0}), B({0, 0, 0, 0}), B({4, 0, 0, 0, 7, 0, 0, 0})}));
}

TEST(ReplyAndCommand, RoundTripKeepsEveryField) {
  const Bytes reply = EncodeReply(9, B({0, 1, 2, 0xFF}));
  EXPECT_EQ(reply, Cat({B({4, 0, 0, 0, 9, 0, 0, 0}), B({4, 0, 0, 0, 0, 1, 2, 0xFF})}));
  auto decodedReply = DecodeReply(reply);
  ASSERT_TRUE(decodedReply);
  EXPECT_EQ(decodedReply->messageId, 9u);
  EXPECT_EQ(decodedReply->result, B({0, 1, 2, 0xFF}));

  Command command{77, 0x00ABCDEFu, "plugins/RuleDispatcher", 2, Bytes("rule\0data", 9)};
  const Bytes frame = EncodeCommand(command);
  EXPECT_EQ(frame.substr(0, 16), B({4, 0, 0, 0, 77, 0, 0, 0, 4, 0, 0, 0, 0xEF, 0xCD, 0xAB, 0}));
  auto decoded = DecodeCommand(frame);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->messageId, 77u);
  EXPECT_EQ(decoded->receiverWindow, 0x00ABCDEFu);
  EXPECT_EQ(decoded->receiver, "plugins/RuleDispatcher");
  EXPECT_EQ(decoded->commandCode, 2u);
  EXPECT_EQ(decoded->commandData, Bytes("rule\0data", 9));
  EXPECT_EQ(ReadMessageId(frame), 77u);
}

struct MalformedCase {
  const char* name;
  Bytes payload;
  bool notAReplyEither;  // a reply is only an id and a result: a cut command can still read as one
};

// Every case is a frame that the request and command decoders must refuse.
std::vector<MalformedCase> MalformedFrames() {
  const Bytes goodCommand = EncodeCommand({1, 2, "r", 3, "data"});
  const Bytes goodRequest = EncodeFrameWithId(1, EncodeRequestBody("r", 3, "data", 4));
  return {
      {"empty", "", true},
      {"shorter than a count", B({4, 0, 0}), true},
      {"count without its value", B({4, 0, 0, 0, 1, 2}), true},
      {"id field of the wrong width", B({2, 0, 0, 0, 1, 2}), true},
      {"count past the end", Cat({B({4, 0, 0, 0, 1, 0, 0, 0}), B({0x10, 0, 0, 0, 'a'})}), true},
      {"huge count", Cat({B({4, 0, 0, 0, 1, 0, 0, 0}), B({0xFF, 0xFF, 0xFF, 0xFF, 'a', 'b'})}), true},
      {"count that wraps when added", Cat({B({4, 0, 0, 0, 1, 0, 0, 0}), B({0xFC, 0xFF, 0xFF, 0xFF})}), true},
      {"command cut in its data", goodCommand.substr(0, goodCommand.size() - 1), false},
      {"command cut after its code", goodCommand.substr(0, goodCommand.size() - 8), false},
      {"request cut before its process id", goodRequest.substr(0, goodRequest.size() - 8), false},
      {"request cut in its process id", goodRequest.substr(0, goodRequest.size() - 2), false},
  };
}

TEST(MalformedFrames, AreRefusedWithoutReadingPastTheBuffer) {
  for (const MalformedCase& c : MalformedFrames()) {
    SCOPED_TRACE(c.name);
    // An exact-size heap copy: reading one byte past it is an AddressSanitizer error.
    std::unique_ptr<char[]> exact(new char[c.payload.size() + (c.payload.empty() ? 1 : 0)]);
    std::memcpy(exact.get(), c.payload.data(), c.payload.size());
    const BytesView view(exact.get(), c.payload.size());
    EXPECT_FALSE(DecodeRequest(view));
    EXPECT_FALSE(DecodeCommand(view));
    if (c.notAReplyEither) {
      EXPECT_FALSE(DecodeReply(view));
    }
  }
}

TEST(MalformedFrames, AReaderThatFailsStaysWhereItWas) {
  const Bytes data = Cat({B({4, 0, 0, 0, 5, 0, 0, 0}), B({9, 0, 0, 0, 'x'})});
  FieldReader reader(data);
  EXPECT_EQ(reader.Integer(), 5u);
  EXPECT_FALSE(reader.Field());
  EXPECT_FALSE(reader.Integer());
  EXPECT_EQ(reader.Rest(), B({9, 0, 0, 0, 'x'}));
}

TEST(FieldWriter, EachArgumentTypeHasItsWidth) {
  FieldWriter writer;
  writer.AddAll(true, std::int64_t{0x1122334455667788}, 'c', u'\x20AC', std::string_view("ab"), 7u);
  EXPECT_EQ(writer.Data(), Cat({B({4, 0, 0, 0, 1, 0, 0, 0}),                    // boolean: 4 bytes
                                B({4, 0, 0, 0, 0x88, 0x77, 0x66, 0x55}),         // 64-bit: low half
                                B({1, 0, 0, 0, 'c'}),                            // character: 1 byte
                                B({2, 0, 0, 0, 0xAC, 0x20}),                     // wide character: 2
                                B({2, 0, 0, 0, 'a', 'b'}),                       // string: its bytes
                                B({4, 0, 0, 0, 7, 0, 0, 0})}));
}

TEST(PackedIntegers, ReadOnlyAFieldOfCountFour) {
  EXPECT_EQ(PackInteger(0x11223344u), B({4, 0, 0, 0, 0x44, 0x33, 0x22, 0x11}));
  EXPECT_EQ(UnpackInteger(PackInteger(0xFFFFFFFFu)), 0xFFFFFFFFu);
  EXPECT_FALSE(UnpackInteger(B({3, 0, 0, 0, 1, 2, 3})));
  EXPECT_FALSE(UnpackInteger(B({4, 0, 0, 0, 1, 2, 3})));
  EXPECT_FALSE(UnpackInteger(""));
}

TEST(NameValueLists, RoundTripInOrder) {
  const NameValueList pairs = {{"window_rule_name", "Notepad"}, {"Enabled", "-1"}, {"empty", ""}};
  EXPECT_EQ(UnpackNameValueList(PackNameValueList(pairs)), pairs);
  EXPECT_TRUE(UnpackNameValueList("").empty());
}

TEST(NameValueLists, StopAtTheFirstPairThatCannotBeReadCompletely) {
  const Bytes twoPairs = PackNameValueList({{"a", "1"}, {"b", "2"}});
  struct Case {
    const char* name;
    Bytes data;
    std::size_t pairs;
  } cases[] = {
      {"a name without its value", twoPairs + PackNameValueList({{"c", ""}}).substr(0, 5), 2},
      {"a value cut short", twoPairs.substr(0, twoPairs.size() - 1), 1},
      {"a value whose count runs past the end", twoPairs + Cat({B({1, 0, 0, 0, 'c'}), B({0xFF, 0, 0, 0})}), 2},
      {"a stray byte after the pairs", twoPairs + B({7}), 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const NameValueList got = UnpackNameValueList(c.data);
    ASSERT_EQ(got.size(), c.pairs);
    EXPECT_EQ(got[0], (std::pair<std::string, std::string>("a", "1")));
  }
}

}  // namespace
}  // namespace dl::protocol
