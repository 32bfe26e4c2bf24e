// Interoperability: a JAM base written by the library is read back by an
// independent JAM reader (the npm package fidonet-jam, driven by
// tests/interop/read_jam.js), which must see the same header fields,
// kludges and text.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "msgbase/base.h"
#include "msgbase/jam/format.h"
#include "platform/cp866.h"
#include "tests/e2e_harness.h"

namespace vex {
namespace {

// A small JSON reader, enough for the script's output.
struct Json {
  enum Type { kNull, kBool, kNumber, kString, kArray, kObject } type = kNull;
  bool boolean = false;
  double number = 0;
  std::string str;
  std::vector<Json> items;
  std::map<std::string, Json> fields;

  const Json& operator[](const std::string& key) const {
    static const Json none;
    auto it = fields.find(key);
    return it == fields.end() ? none : it->second;
  }
  const Json& operator[](size_t i) const {
    static const Json none;
    return i < items.size() ? items[i] : none;
  }
  bool Has(const std::string& key) const { return fields.count(key) != 0; }
  uint64_t U() const { return static_cast<uint64_t>(number); }
};

class JsonParser {
 public:
  explicit JsonParser(const std::string& s) : s_(s) {}
  bool Parse(Json& out) {
    if (!Value(out)) return false;
    Space();
    return pos_ == s_.size();
  }

 private:
  void Space() {
    while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
  }
  bool Literal(const char* word) {
    size_t n = std::string(word).size();
    if (s_.compare(pos_, n, word) != 0) return false;
    pos_ += n;
    return true;
  }
  static void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  bool Hex4(uint32_t& v) {
    if (pos_ + 4 > s_.size()) return false;
    v = static_cast<uint32_t>(std::stoul(s_.substr(pos_, 4), nullptr, 16));
    pos_ += 4;
    return true;
  }
  bool String(std::string& out) {
    if (s_[pos_] != '"') return false;
    ++pos_;
    while (pos_ < s_.size() && s_[pos_] != '"') {
      char c = s_[pos_++];
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= s_.size()) return false;
      char e = s_[pos_++];
      switch (e) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'u': {
          uint32_t cp = 0;
          if (!Hex4(cp)) return false;
          if (cp >= 0xD800 && cp < 0xDC00 && s_.compare(pos_, 2, "\\u") == 0) {
            pos_ += 2;
            uint32_t low = 0;
            if (!Hex4(low)) return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          }
          AppendUtf8(out, cp);
          break;
        }
        default: out += e;
      }
    }
    if (pos_ >= s_.size()) return false;
    ++pos_;
    return true;
  }
  bool Value(Json& v) {
    Space();
    if (pos_ >= s_.size()) return false;
    char c = s_[pos_];
    if (c == '{') {
      v.type = Json::kObject;
      ++pos_;
      Space();
      if (pos_ < s_.size() && s_[pos_] == '}') return ++pos_, true;
      while (true) {
        Space();
        std::string key;
        if (pos_ >= s_.size() || !String(key)) return false;
        Space();
        if (pos_ >= s_.size() || s_[pos_++] != ':') return false;
        if (!Value(v.fields[key])) return false;
        Space();
        if (pos_ >= s_.size()) return false;
        if (s_[pos_] == ',') {
          ++pos_;
          continue;
        }
        return s_[pos_++] == '}';
      }
    }
    if (c == '[') {
      v.type = Json::kArray;
      ++pos_;
      Space();
      if (pos_ < s_.size() && s_[pos_] == ']') return ++pos_, true;
      while (true) {
        v.items.emplace_back();
        if (!Value(v.items.back())) return false;
        Space();
        if (pos_ >= s_.size()) return false;
        if (s_[pos_] == ',') {
          ++pos_;
          continue;
        }
        return s_[pos_++] == ']';
      }
    }
    if (c == '"') {
      v.type = Json::kString;
      return String(v.str);
    }
    if (Literal("true")) return v.type = Json::kBool, v.boolean = true, true;
    if (Literal("false")) return v.type = Json::kBool, true;
    if (Literal("null")) return v.type = Json::kNull, true;
    size_t used = 0;
    v.type = Json::kNumber;
    try {
      v.number = std::stod(s_.substr(pos_, 40), &used);
    } catch (...) {
      return false;
    }
    pos_ += used;
    return used > 0;
  }

  const std::string& s_;
  size_t pos_ = 0;
};

std::string Utf8(const std::string& cp866) { return Cp866ToUtf8(cp866); }

FtnAddress Addr(int z, int n, int f, int p = 0) {
  FtnAddress a;
  a.zone = static_cast<int16_t>(z);
  a.net = static_cast<int16_t>(n);
  a.node = static_cast<int16_t>(f);
  a.point = static_cast<int16_t>(p);
  return a;
}

// What was posted, and what every reader should find.
struct Posted {
  uint32_t kind = AttrTypeEcho;
  FtnAddress orig, dest;
  std::string from, to, subject;
  std::vector<std::string> lines;  // kludges and body as posted, CP866
  MsgDateTime written;
  // Filled while posting.
  std::string msgid;
  uint32_t number = 0;
};

bool Post(Base& base, Posted& p, uint32_t serial) {
  Message m;
  m.from = p.from;
  m.to = p.to;
  m.subject = p.subject;
  m.orig = p.orig;
  m.dest = p.dest;
  m.written = m.arrived = p.written;
  m.attributes = AttrLocal | p.kind;
  m.kludges = AddressKludges(p.orig, p.dest, p.kind == AttrTypeNet, serial);
  p.msgid = m.kludges[0].substr(7);
  for (const std::string& l : p.lines) {
    if (l.rfind("\x01", 0) == 0) {
      m.kludges.push_back(l.substr(1));
    } else {
      m.text.push_back(l);
    }
  }
  return base.Append(m, &p.number).ok();
}

MsgDateTime Date(int y, int mo, int d, int h, int mi, int s) {
  MsgDateTime dt;
  dt.year = y;
  dt.month = mo;
  dt.day = d;
  dt.hour = h;
  dt.minute = mi;
  dt.second = s;
  return dt;
}

TEST(JamInteropTest, AnIndependentReaderSeesWhatTheLibraryWrote) {
  const std::string script = e2e::SourceDir() + "/tests/interop/read_jam.js";
  const std::string package =
      e2e::SourceDir() + "/tests/interop/node_modules/fidonet-jam/fidonet-jam.js";
  e2e::TempDir dir;
  e2e::RunResult node = e2e::Run(dir.path(), {"node", "--version"});
  if (node.exitCode != 0) FAIL() << "node is not installed (scripts/prerequisites.sh)";
  if (!e2e::FileExists(package))
    FAIL() << "the npm package fidonet-jam is not installed "
                    "(cd tests/interop && npm install)";

  const std::string basePath = dir / "mail/echo";
  std::vector<Posted> posts(4);
  Posted& net = posts[0];
  net.kind = AttrTypeNet;
  net.orig = Addr(2, 5020, 1042, 3);
  net.dest = Addr(2, 463, 68, 5);
  net.from = Cp866("Вексстат");
  net.to = Cp866("Сергей Иванов");
  net.subject = Cp866("Отчёт за неделю");
  net.written = Date(2024, 2, 29, 13, 45, 10);
  net.lines = {"\x01PID: Vexstat 4.5", "\x01" "CHRS: CP866 2", Cp866("Привет, Сергей!"), "",
               Cp866("Всего файлов: 42 (ёЁ №)"), "---",
               " * Origin: " + Cp866("Узел") + " (2:5020/1042.3)"};
  Posted& echo = posts[1];
  echo.kind = AttrTypeEcho;
  echo.orig = Addr(2, 5020, 1042);
  echo.from = "Vexstat";
  echo.to = "All";
  echo.subject = Cp866("Статистика файлэх");
  echo.written = Date(2023, 12, 31, 23, 59, 58);
  echo.lines = {"\x01TZUTC: 0300", Cp866("Эха: 10, файлов 100"), "--- Vexstat",
                " * Origin: Node (2:5020/1042)", "SEEN-BY: 5020/1 1042", "\x01PATH: 5020/1042"};
  Posted& gone = posts[2];
  gone.orig = Addr(2, 5020, 1042);
  gone.from = "Vexstat";
  gone.to = "Deleted";
  gone.subject = "Removed";
  gone.written = Date(2024, 1, 1, 0, 0, 0);
  gone.lines = {"This message is deleted"};
  Posted& reply = posts[3];
  reply.kind = AttrTypeEcho;
  reply.orig = Addr(2, 5020, 1042);
  reply.from = Cp866("Вексстат");
  reply.to = "sysop";
  reply.subject = "Re: stats";
  reply.written = Date(2024, 3, 1, 0, 0, 1);
  reply.lines = {"\x01REPLY: 2:463/68 1a2b3c4d", Cp866("Ответ"), "SEEN-BY: 5020/1042"};

  {
    std::unique_ptr<Base> base;
    ASSERT_TRUE(OpenBase(*DefaultEnv(), "J" + basePath, BaseMode::kWrite, &base).ok());
    uint32_t serial = 0x65e08a2e;
    for (auto& p : posts) ASSERT_TRUE(Post(*base, p, serial++));
    ASSERT_TRUE(base->Delete(gone.number).ok());
    ASSERT_TRUE(base->Close().ok());
  }

  e2e::RunResult r = e2e::Run(dir.path(), {"node", script, basePath});
  // JAM_DUMP=1 shows what the reader printed.
  if (std::getenv("JAM_DUMP")) std::fputs(r.out.c_str(), stdout);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  Json out;
  ASSERT_TRUE(JsonParser(r.out).Parse(out)) << r.out;

  EXPECT_EQ(out["base"]["signature"].str, std::string("JAM\0", 4));
  EXPECT_EQ(out["base"]["activemsgs"].U(), 3u);
  EXPECT_EQ(out["base"]["modcounter"].U(), 5u);  // four writes, one deletion
  EXPECT_EQ(out["base"]["basemsgnum"].U(), 1u);
  EXPECT_EQ(out["base"]["passwordcrc"].U(), 0xFFFFFFFFu);
  // The deleted message keeps its number slot.
  ASSERT_EQ(out["size"].U(), 3u);
  EXPECT_EQ(out["index"][0]["MessageNum0"].U(), 0u);
  EXPECT_EQ(out["index"][1]["MessageNum0"].U(), 1u);
  EXPECT_EQ(out["index"][2]["MessageNum0"].U(), 3u);
  // A new base has its last-read file, with no reader in it yet.
  EXPECT_EQ(out["lastreads"].items.size(), 0u);

  const Posted* expected[] = {&net, &echo, &reply};
  ASSERT_EQ(out["messages"].items.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    const Posted& p = *expected[i];
    const Json& m = out["messages"][i];
    const Json& h = m["header"];
    const Json& d = m["decoded"];
    SCOPED_TRACE("message " + std::to_string(p.number));
    EXPECT_EQ(h["signature"].str, std::string("JAM\0", 4));
    EXPECT_EQ(h["Revision"].U(), 1u);
    EXPECT_EQ(h["MessageNumber"].U(), p.number);
    const uint32_t type = p.kind;
    EXPECT_EQ(h["Attribute"].U(), type | 0x1u);
    EXPECT_EQ(h["DateWritten"].U(), jam::UnixTime(p.written));
    EXPECT_EQ(h["DateProcessed"].U(), jam::UnixTime(p.written));
    EXPECT_EQ(h["PasswordCRC"].U(), 0xFFFFFFFFu);
    const int fields[] = {p.written.year, p.written.month, p.written.day,
                          p.written.hour, p.written.minute, p.written.second};
    for (size_t k = 0; k < 6; ++k) EXPECT_EQ(d["origTime"][k].number, fields[k]) << k;

    EXPECT_EQ(d["from"].str, Utf8(p.from));
    EXPECT_EQ(d["to"].str, Utf8(p.to));
    EXPECT_EQ(d["subj"].str, Utf8(p.subject));
    EXPECT_EQ(d["origAddr"].str, AddressToText4D(p.orig));
    EXPECT_EQ(d["toAddr"].str, AddressToText4D(p.kind == AttrTypeNet ? p.dest : p.orig));
    EXPECT_EQ(d["msgid"].str, p.msgid);
    // The CRCs of the stored header and index match the reader's own.
    EXPECT_EQ(h["MSGIDcrc"].U(), m["msgidCrc"].U());
    EXPECT_EQ(out["index"][i]["ToCRC"].U(), m["toCrc"].U());

    // Kludges: every control line except the address ones, in order; the
    // text: the body lines, each ended.
    std::vector<std::string> kludges;
    std::string text;
    size_t bodyBytes = 0;
    std::string seenBy, path, pid, replyId;
    for (const std::string& line : p.lines) {
      if (line.rfind("\x01PID: ", 0) == 0) {
        pid = line.substr(6);
      } else if (line.rfind("\x01REPLY: ", 0) == 0) {
        replyId = line.substr(8);
      } else if (line.rfind("\x01PATH: ", 0) == 0) {
        path = line.substr(7);
      } else if (line.rfind("SEEN-BY: ", 0) == 0) {
        seenBy = line.substr(9);
      } else if (line.rfind("\x01", 0) == 0) {
        kludges.push_back(Utf8(line.substr(1)));
      } else {
        text += Utf8(line) + "\n";
        bodyBytes += line.size() + 1;
      }
    }
    EXPECT_EQ(m["text"].str, text);
    EXPECT_EQ(h["TxtLen"].U(), bodyBytes);
    ASSERT_EQ(d["kludges"].items.size(), kludges.size());
    for (size_t k = 0; k < kludges.size(); ++k) EXPECT_EQ(d["kludges"][k].str, kludges[k]);
    EXPECT_EQ(d["pid"].str, pid);
    EXPECT_EQ(d["replyid"].str, replyId);
    EXPECT_EQ(d["seenby"].str, seenBy);
    EXPECT_EQ(d["path"].str, path);
    if (!replyId.empty()) {
      EXPECT_NE(h["REPLYcrc"].U(), 0xFFFFFFFFu);
    } else {
      EXPECT_EQ(h["REPLYcrc"].U(), 0xFFFFFFFFu);
    }
    // The reader's own kludge lines: MSGID first, as every JAM reader
    // rebuilds them.
    std::string firstKludge = m["kludgeLines"].str.substr(0, m["kludgeLines"].str.find('\n'));
    EXPECT_EQ(firstKludge, "MSGID: " + p.msgid);
  }
}

}  // namespace
}  // namespace vex
