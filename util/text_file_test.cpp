#include "util/text_file.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/cp866.h"
#include "platform/exit.h"
#include "testenv/fault_env.h"
#include "testenv/mem_env.h"

namespace vex {
namespace {

std::vector<std::string> ReadAll(MemEnv& env, const std::string& contents,
                                 size_t maxLine = 255,
                                 TextEncoding encoding = TextEncoding::kCp866) {
  env.SetFile("t.txt", contents);
  int err = 0;
  auto file = env.Open("t.txt", OpenMode::kRead, &err);
  EXPECT_NE(file, nullptr);
  LineReader reader(*file, maxLine, encoding);
  std::vector<std::string> lines;
  std::string line;
  while (reader.Next(line)) lines.push_back(line);
  EXPECT_FALSE(reader.Next(line));
  return lines;
}

using Lines = std::vector<std::string>;

TEST(LineReader, LineEnds) {
  MemEnv env;
  EXPECT_EQ(ReadAll(env, ""), Lines{});
  EXPECT_EQ(ReadAll(env, "a\nb\n"), (Lines{"a", "b"}));
  EXPECT_EQ(ReadAll(env, "a\r\nb\r\n"), (Lines{"a", "b"}));
  EXPECT_EQ(ReadAll(env, "last"), (Lines{"last"}));
  EXPECT_EQ(ReadAll(env, "a\n\n\nb"), (Lines{"a", "", "", "b"}));
  EXPECT_EQ(ReadAll(env, "\n"), (Lines{""}));
  EXPECT_EQ(ReadAll(env, "\r\n"), (Lines{""}));
  // Only a CR right before the LF goes; other CRs are bytes of the line.
  EXPECT_EQ(ReadAll(env, "a\rb\r\r\n"), (Lines{"a\rb\r"}));
  EXPECT_EQ(ReadAll(env, "a\r"), (Lines{"a\r"}));
  // NUL and other binary bytes are just bytes.
  EXPECT_EQ(ReadAll(env, std::string("x\0y\xFF\n", 5)),
            (Lines{std::string("x\0y\xFF", 4)}));
}

using Case = std::pair<std::string, Lines>;  // file, lines read
class LineReaderEncoding : public ::testing::TestWithParam<Case> {};

TEST_P(LineReaderEncoding, EditedFilesMayBeUtf8) {
  MemEnv env;
  EXPECT_EQ(ReadAll(env, GetParam().first, 255, TextEncoding::kUtf8OrCp866),
            GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(
    Files, LineReaderEncoding,
    ::testing::Values(
        Case{"Сумма ─\r\n■∙*·█\n", {"\x91\xE3\xAC\xAC\xA0 \xC4", "\xFE\xF9*\xFA\xDB"}},
        // A byte-order mark makes UTF-8 of plain ASCII; only the first goes.
        Case{"\xEF\xBB\xBFplain\xEF\xBB\xBF", {"plain?"}},
        // With the mark, a character that CP866 lacks becomes "?"; without
        // it, such a character makes the file CP866 bytes.
        Case{"\xEF\xBB\xBFЖ €", {"\x86 ?"}},
        Case{"Ж €—日", {"\xD0\x96 \xE2\x82\xAC\xE2\x80\x94\xE6\x97\xA5"}},
        // CP866 texts that are well-formed UTF-8 by chance (U+6BAA0, U+096A,
        // U+296B) stay bytes: "ёлка", "рек", "тел".
        Case{"\xF1\xAB\xAA\xA0\n", {"\xF1\xAB\xAA\xA0"}},
        Case{"\xE0\xA5\xAA \xE2\xA5\xAB", {"\xE0\xA5\xAA \xE2\xA5\xAB"}},
        // A character split between two reads of the whole-file check.
        Case{"Я\n" + std::string(16380, 'b') + "Ж", {"\x9F", std::string(255, 'b')}},
        // 255 characters, not bytes, of a long UTF-8 line.
        Case{"Ж" + std::string(300, 'a'), {"\x86" + std::string(254, 'a')}},
        // Not well-formed somewhere (CP866 text, a cut-off, overlong or
        // surrogate sequence, beyond U+10FFFF): every byte as it stands.
        Case{"Я\n\x91\xE3\xAC\xAC\xA0\xC4", {"\xD0\xAF", "\x91\xE3\xAC\xAC\xA0\xC4"}},
        Case{"Я\xE2\x94", {"\xD0\xAF\xE2\x94"}},
        Case{"Я\xC0\xAF\xED\xA0\x80", {"\xD0\xAF\xC0\xAF\xED\xA0\x80"}},
        Case{"Я\xF4\x90\x80\x80", {"\xD0\xAF\xF4\x90\x80\x80"}}));

TEST(LineReader, LongLinesAreCutAndTheRestSkipped) {
  MemEnv env;
  std::string longLine(10000, 'a');
  longLine[254] = 'E';
  longLine[255] = 'X';
  Lines lines = ReadAll(env, longLine + "\r\nnext\n" + longLine);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].size(), 255u);
  EXPECT_EQ(lines[0].back(), 'E');
  EXPECT_EQ(lines[1], "next");
  EXPECT_EQ(lines[2], lines[0]);
  // A CR at the cut position is not taken for the one before the LF.
  EXPECT_EQ(ReadAll(env, std::string(255, 'b') + "\r\r\n"),
            (Lines{std::string(255, 'b')}));
  EXPECT_EQ(ReadAll(env, std::string(254, 'b') + "\r\n"),
            (Lines{std::string(254, 'b')}));
  EXPECT_EQ(ReadAll(env, std::string(255, 'b') + "\r\n"),
            (Lines{std::string(255, 'b')}));
  EXPECT_EQ(ReadAll(env, "abcdef\r\ngh\n", 3), (Lines{"abc", "gh"}));
}

TEST(LineReader, LinesAcrossReadChunks) {
  MemEnv env;
  std::string text;
  Lines expected;
  for (int i = 0; i < 5000; ++i) {
    std::string line = "line " + std::to_string(i) + std::string(i % 37, '.');
    expected.push_back(line);
    text += line + (i % 2 ? "\r\n" : "\n");
  }
  EXPECT_EQ(ReadAll(env, text), expected);
}

TEST(LineReader, ReadFailureThrows) {
  MemEnv mem;
  mem.SetFile("t.txt", std::string(40000, 'a') + "\n");
  FaultEnv env(mem);
  env.FailReadsAfter(20000);
  int err = 0;
  auto file = env.Open("t.txt", OpenMode::kRead, &err);
  ASSERT_NE(file, nullptr);
  LineReader reader(*file);
  std::string line;
  try {
    reader.Next(line);
    FAIL() << "no error";
  } catch (const RunTimeError& e) {
    EXPECT_EQ(e.path(), "t.txt");
    EXPECT_EQ(e.err(), EIO);
  }
}

TEST(OpenTextForRead, OpensOrExplainsOnTheConsole) {
  MemEnv env;
  env.SetFile("dir/a.tic", "AREA X\n");
  EXPECT_NE(OpenTextForRead(env, "dir/a.tic"), nullptr);
  EXPECT_EQ(env.console(), "");

  EXPECT_EQ(OpenTextForRead(env, "dir/b.tic"), nullptr);
  EXPECT_EQ(env.console(),
            Cp866("Ошибка при открытии файла: файл не найден"));
  env.ClearConsole();
  EXPECT_EQ(OpenTextForRead(env, "nodir/b.tic"), nullptr);
  EXPECT_EQ(env.console(),
            Cp866("Ошибка при открытии файла: маршрут не найден"));
  env.ClearConsole();
  EXPECT_EQ(OpenTextForRead(env, "dir/a.tic/x"), nullptr);
  EXPECT_EQ(env.console(),
            Cp866("Ошибка при открытии файла: маршрут не найден"));
  env.ClearConsole();
  EXPECT_EQ(OpenTextForRead(env, "dir"), nullptr);
  EXPECT_EQ(env.console(), Cp866("Ошибка при открытии файла: закрыт доступ"));
}

TEST(OpenTextForRead, ReasonsByCode) {
  MemEnv mem;
  FaultEnv env(mem);
  struct Case {
    int err;
    const char* reason;
  } cases[] = {{EMFILE, "слишком много открытых файлов"},
               {EACCES, "закрыт доступ"},
               {EPERM, "закрыт доступ"},
               {ENFILE, "слишком много открытых файлов"},
               // Other errno values have no reason, even those whose
               // numbers equal a Win32 code (EIO 5, ENOMEM 12).
               {EIO, ""},
               {ENOMEM, ""},
               {ENOSPC, ""}};
  for (const Case& c : cases) {
    mem.ClearConsole();
    env.FailOpen("x", c.err);
    EXPECT_EQ(OpenTextForRead(env, "x"), nullptr);
    EXPECT_EQ(mem.console(),
              Cp866("Ошибка при открытии файла: ") + Cp866(c.reason));
  }
}

TEST(TextWriter, AppendsAtTheEnd) {
  MemEnv env;
  env.SetFile("out.txt", "old\r\n");
  int err = 0;
  auto file = env.Open("out.txt", OpenMode::kReadWrite, &err);
  ASSERT_NE(file, nullptr);
  TextWriter w(*file);
  w.WriteLine("one");
  w.Write("two");
  w.WriteLine("", "\n");
  w.Write("");
  EXPECT_EQ(env.GetFile("out.txt"), "old\r\none\r\ntwo\n");
}

TEST(TextWriter, WriteFailureThrowsNamingTheFile) {
  MemEnv mem;
  FaultEnv env(mem);
  int err = 0;
  auto file = env.Open("out.txt", OpenMode::kCreate, &err);
  ASSERT_NE(file, nullptr);
  TextWriter w(*file);
  w.WriteLine("kept");
  env.FailWritesAfter(2);
  try {
    w.WriteLine("lost");
    FAIL() << "no error";
  } catch (const RunTimeError& e) {
    EXPECT_EQ(e.path(), "out.txt");
    EXPECT_EQ(e.err(), ENOSPC);
  }
  EXPECT_EQ(mem.GetFile("out.txt"), "kept\r\nlo");
}

}  // namespace
}  // namespace vex
