// The records of a JAM base and a message's way into them and back.
#include <gtest/gtest.h>

#include <tuple>

#include "msgbase/jam/codec.h"
#include "msgbase/jam/format.h"
#include "util/coding.h"

namespace vex::jam {
namespace {

TEST(JamFormatTest, NameCrcIsUninvertedCrc32OfLoweredLatinLetters) {
  EXPECT_EQ(NameCrc(""), 0xFFFFFFFFu);
  // Standard CRC-32 of "123456789" is 0xCBF43926; here it is not inverted.
  EXPECT_EQ(NameCrc("123456789"), ~0xCBF43926u);
  EXPECT_EQ(NameCrc("Sergey Ivanov"), NameCrc("sERGEY IVANOV"));
  // Only A-Z are lowered: CP866 capitals keep their own CRC.
  EXPECT_NE(NameCrc("\x80"), NameCrc("\xA0"));
}

TEST(JamFormatTest, UnixTimeTakesTheFieldsAsTheyAre) {
  EXPECT_EQ(UnixTime(MsgDateTime{0, 0, 0, 0, 1, 1, 1970}), 0u);
  EXPECT_EQ(UnixTime(MsgDateTime{12, 34, 56, 0, 1, 3, 2000}), 951914096u);
  for (auto [y, m, d] : {std::tuple{2024, 2, 29}, {1999, 12, 31}, {2038, 1, 19}, {2100, 3, 1}}) {
    const MsgDateTime in{23, 59, 58, 0, d, m, y};
    EXPECT_EQ(FromUnixTime(UnixTime(in)), in);
  }
}

TEST(JamFormatTest, SubfieldsThatRunPastTheirAreaAreRejected) {
  std::string area;
  AppendSubfield(area, kSfSender, "abc");
  AppendSubfield(area, kSfKludge, "CHRS: CP866 2");
  std::vector<Subfield> out;
  ASSERT_TRUE(ParseSubfields(area, out));
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[1].data, "CHRS: CP866 2");
  EXPECT_FALSE(ParseSubfields(area.substr(0, area.size() - 1), out));
  EXPECT_FALSE(ParseSubfields(area.substr(0, 15), out));
  PutU32(area.data() + 4, 0xFFFFFFF0u);
  EXPECT_FALSE(ParseSubfields(area, out));
}

// A message's subfields and text as stored, and the message read back.
struct CodecCase {
  const char* name;
  Message in;
  std::vector<std::pair<uint16_t, std::string>> subfields;
  std::string text;
  std::vector<std::string> kludgesRead;  // in order
  std::vector<std::string> textRead;
  const char* destRead;
};

Message Netmail() {
  Message m;
  m.from = "Vexstat";
  m.to = "Sysop";
  m.subject = "Stats";
  m.orig = FtnAddress{2, 5020, 1042, 3};
  m.dest = FtnAddress{2, 463, 68, 5};
  m.attributes = AttrTypeNet | AttrLocal;
  m.written = m.arrived = MsgDateTime{13, 45, 10, 0, 29, 2, 2024};
  m.kludges = AddressKludges(m.orig, m.dest, true, 0x12345678);
  for (const char* k : {"FLAGS: DIR", "REPLY: 2:463/68 1a2b3c4d", "Via 2:5020/1042 @20240229", "PATH: 5020/1042",
                        "TZUTC: 0300"})
    m.kludges.push_back(k);
  m.text = {"Hello", ""};
  return m;
}

Message Echomail() {
  Message m = Netmail();
  m.to = "All";
  m.orig.point = 7;
  m.dest = FtnAddress{};
  m.attributes = AttrTypeEcho | AttrLocal | AttrFileAttached;
  m.kludges = AddressKludges(m.orig, m.dest, false, 0x12345678);
  m.kludges.push_back("PID: Vexstat 4.5");
  m.text = {"First", "SEEN-BY: 5020/1 1042"};
  return m;
}

TEST(JamCodecTest, MessagesAreStoredAsSubfieldsAndTextAndReadBack) {
  const CodecCase cases[] = {
      {"netmail: the address kludges live in the address subfields",
       Netmail(),
       {{kSfSender, "Vexstat"}, {kSfOrigAddress, "2:5020/1042.3"}, {kSfReceiver, "Sysop"},
        {kSfDestAddress, "2:463/68.5"}, {kSfSubject, "Stats"}, {kSfMsgId, "2:5020/1042.3 12345678"},
        {kSfFlags, "DIR"}, {kSfReply, "2:463/68 1a2b3c4d"}, {kSfVia, "2:5020/1042 @20240229"},
        {kSfPath, "5020/1042"}, {kSfKludge, "TZUTC: 0300"}},
       "Hello\r\r",
       {"MSGID: 2:5020/1042.3 12345678", "FLAGS: DIR", "REPLY: 2:463/68 1a2b3c4d", "TZUTC: 0300",
        "INTL 2:463/68 2:5020/1042", "FMPT 3", "TOPT 5", "Via 2:5020/1042 @20240229", "PATH: 5020/1042"},
       {"Hello", ""},
       "2:463/68.5"},
      {"echomail: the origin twice, SEEN-BY as a subfield, a file's name",
       Echomail(),
       {{kSfSender, "Vexstat"}, {kSfOrigAddress, "2:5020/1042.7"}, {kSfReceiver, "All"},
        {kSfDestAddress, "2:5020/1042.7"}, {kSfSubject, "Stats"}, {kSfAttachedFile, "Stats"},
        {kSfMsgId, "2:5020/1042.7 12345678"}, {kSfPid, "Vexstat 4.5"}, {kSfSeenBy, "5020/1 1042"}},
       "First\r",
       {"MSGID: 2:5020/1042.7 12345678", "PID: Vexstat 4.5"},
       {"First", "SEEN-BY: 5020/1 1042"},
       "0:0/0"},
  };
  for (const CodecCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Encoded e = EncodeMessage(c.in);
    std::vector<Subfield> stored;
    ASSERT_TRUE(ParseSubfields(e.subfields, stored));
    std::vector<std::pair<uint16_t, std::string>> got;
    for (const Subfield& sf : stored) got.emplace_back(sf.id, sf.data);
    EXPECT_EQ(got, c.subfields);
    EXPECT_EQ(e.text, c.text);
    EXPECT_EQ(e.header.subfieldLen, e.subfields.size());
    EXPECT_EQ(e.header.textLength, e.text.size());
    EXPECT_EQ(e.header.msgIdCrc, NameCrc(c.subfields[c.in.attributes & AttrFileAttached ? 6 : 5].second));
    EXPECT_EQ(e.toCrc, NameCrc(c.in.to));

    const Message m = DecodeMessage(e.header, stored, e.text);
    EXPECT_EQ(m.from, c.in.from);
    EXPECT_EQ(m.to, c.in.to);
    EXPECT_EQ(m.subject, c.in.subject);
    EXPECT_EQ(m.attributes, c.in.attributes);
    EXPECT_EQ(m.written, c.in.written);
    EXPECT_EQ(AddressToText(m.orig), AddressToText(c.in.orig));
    EXPECT_EQ(AddressToText(m.dest), c.destRead);
    EXPECT_EQ(m.kludges, c.kludgesRead);
    EXPECT_EQ(m.text, c.textRead);
  }
}

}  // namespace
}  // namespace vex::jam
