// The text form: detection, declarations, conversions and every failure.
#include "zfTestUtil.h"

#include "zf/zfNumber.h"
#include "zf/zfWrite.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <unistd.h>

namespace {

// Twelve bytes or more, so that the cases below reach the parser; it is line 1.
const std::string kHeader = "# a ZF text file\n";

const ZF_Row& valueOf(const ZF_Document* document, const char* name) {
  const ZF_Entry* entry = ZF_Find(ZF_Root(document), name);
  EXPECT_NE(entry, nullptr) << name;
  static const ZF_Row none{};
  return entry ? entry->value : none;
}

std::string textOf(const ZF_Document* document, const char* name) {
  const ZF_Row& row = valueOf(document, name);
  return std::string(static_cast<const char*>(row.data), row.count);
}

TEST(ZfText, DetectionOfTheForm) {
  struct Case {
    std::string bytes;
    const char* log;
    bool loads;
  };
  const Case cases[] = {
      // Exactly 12 printable bytes without the binary header: text.
      {"abc I4 12345", "", true},
      {"abc I4 1234", "Error, file size < 12 bytes\nError, Not a ZF file\n", false},
      {"FORM" + zfWord(100) + "ZRNF", "Error, ZF binary FORM size mismatch file size\nError, Not a ZF file\n", false},
      {std::string("ab\x01 I4 12345\n", 12), "Error, file is not ZF format\nError, Not a ZF file\n", false},
      // Bytes above 127 (UTF-8 names) are not taken for control bytes.
      {"v\xC3\xA9lo I4 12345\n", "", true},
  };
  for (const Case& c : cases) {
    ZfDocumentPtr document;
    EXPECT_EQ(zfLoadLog(c.bytes, &document), c.log) << c.bytes;
    EXPECT_EQ(document != nullptr, c.loads) << c.bytes;
  }
  ZfDocumentPtr document = zfLoadString("abc I4 12345");
  EXPECT_EQ(ZF_DocumentForm(document.get()), ZF_FORM_TEXT);
  EXPECT_EQ(ZF_GetInt(ZF_Root(document.get()), "abc"), 12345);
}

TEST(ZfText, FailuresReportTheLineAndLoadNothing) {
  struct Case {
    std::string text;
    std::string log;
  };
  const Case cases[] = {
      {kHeader + "speed FP\n", "Line value does not have enough token\nline 2: Invalid line\n"},
      {kHeader + "lonely\n", "Line does not have enough token\nline 2: Invalid line\n"},
      {kHeader + "{\n", "Line does not have enough token\nline 2: Invalid line\n"},
      {"}\n" + kHeader, "line 1: too many }\n"},
      {kHeader + "{ A\n}\n}\n", "line 4: too many }\n"},
      {kHeader + "speed FLOAT 1.0\n", "line 2: unknown value type FLOAT\n"},
      {kHeader + "speed fp 1.0\n", "line 2: unknown value type fp\n"},
      // Blank lines do not advance the count; lines of blanks do.
      {kHeader + "\n\n\r\n   \nspeed FP\n", "Line value does not have enough token\nline 3: Invalid line\n"},
      {kHeader + "a FP_C RUN 3\n", "line 2: bad FP_C data, RUN without value\n"},
      {kHeader + "a FP_C DAT 3 1 2\n", "line 2: bad FP_C data, DAT count larger than its data\n"},
      // An empty record is well-formed, but its RUN still needs its value.
      {kHeader + "a FP_C DAT 0 RUN 0\n", "line 2: bad FP_C data, RUN without value\n"},
      {kHeader + "a FP_C 1.0 2.0\n", "line 2: bad FP_C data, RUN or DAT expected: 1.0\n"},
      {kHeader + "a FP_C RUN 2 1 2\n", "line 2: bad FP_C data, RUN or DAT expected: 2\n"},
      {kHeader + "a FP_C DAT\n", "line 2: bad FP_C data, record without count\n"},
      {kHeader + "a FP_C RUN 4294967295 1 RUN 1 2\n", "line 2: bad FP_C data, more than 4294967295 samples: 1\n"},
      {kHeader + "a FP_C RUN 4294967296 1\n", "line 2: bad FP_C data, more than 4294967295 samples: 4294967296\n"},
      // Numbers are whole tokens: junk, wrapped integers and signs a type
      // cannot hold are refused, never read as some other number.
      {kHeader + "a FP_C RUN x 1\n", "line 2: bad FP_C data, count is not a number: x\n"},
      {kHeader + "a FP_C RUN -1 1\n", "line 2: bad FP_C data, count is not a number: -1\n"},
      {kHeader + "a FP_C DAT 2.0 1 2\n", "line 2: bad FP_C data, count is not a number: 2.0\n"},
      {kHeader + "a FP_C DAT 2 1 2z\n", "line 2: bad FP_C data, value is not a number: 2z\n"},
      {kHeader + "a FP_C RUN 2 abc\n", "line 2: bad FP_C data, value is not a number: abc\n"},
      {kHeader + "i I4 12abc\n", "line 2: bad I4 value 12abc\n"},
      {kHeader + "i I4 1 2 abc 4\n", "line 2: bad I4 value abc\n"},
      {kHeader + "i I4 .5\n", "line 2: bad I4 value .5\n"},
      {kHeader + "i I4 1e3\n", "line 2: bad I4 value 1e3\n"},
      {kHeader + "i I4 --1\n", "line 2: bad I4 value --1\n"},
      {kHeader + "i I4 99999999999999999999\n", "line 2: I4 value out of range 99999999999999999999\n"},
      {kHeader + "i I4 2147483648\n", "line 2: I4 value out of range 2147483648\n"},
      {kHeader + "i I4 -2147483649\n", "line 2: I4 value out of range -2147483649\n"},
      {kHeader + "u U4 -1\n", "line 2: U4 value out of range -1\n"},
      {kHeader + "u U4 4294967296\n", "line 2: U4 value out of range 4294967296\n"},
      {kHeader + "u U4 7x\n", "line 2: bad U4 value 7x\n"},
      {kHeader + "f FP 1.5abc\n", "line 2: bad FP value 1.5abc\n"},
      {kHeader + "f FP 1e\n", "line 2: bad FP value 1e\n"},
      {kHeader + "f FP 0 abc\n", "line 2: bad FP value abc\n"},
      {kHeader + "f FP " + std::string(50, '7') + "x\n", "line 2: bad FP value " + std::string(40, '7') + "\n"},
      // A forgotten "]": the "}" meant to close the node is not a row of numbers.
      {kHeader + "{ N\na I4 [\n1 2\n}\n", "line 5: bad I4 value }\n"},
      {kHeader + "a FP_C [\nRUN 1 1\nDAT 2 1\n]\n", "line 4: bad FP_C data, DAT count larger than its data\n"},
      {kHeader + std::string("a I4 1\0 2\n", 10), "line 2: NUL byte in text\n"},
  };
  for (const Case& c : cases) {
    ZfDocumentPtr document;
    EXPECT_EQ(zfLoadLog(c.text, &document), c.log) << c.text;
    EXPECT_EQ(document, nullptr) << c.text;
  }
}

TEST(ZfText, NestingStopsAtNineteenLevels) {
  std::string text = kHeader;
  for (int i = 0; i < 19; ++i) text += "{ N\n";
  text += "deep I4 7\n";
  ZfDocumentPtr document;
  ASSERT_EQ(zfLoadLog(text, &document), "");
  const ZF_Entry* node = ZF_Root(document.get());
  for (int i = 0; i < 19; ++i) node = ZF_Find(node, "N");
  EXPECT_EQ(ZF_GetInt(node, "deep"), 7);

  EXPECT_EQ(zfLoadLog(text + "{ N\n"), "line 22: too many {\n");
}

TEST(ZfText, StringsKeepWhatTheQuotesSay) {
  struct Case {
    const char* line;
    std::string text;
  };
  const Case cases[] = {
      {"s STR \"a b\"   ", "a b"},
      {"s STR a b   ", "a b   "},
      {"s STR    a b", "a b"},
      {"s STR \"", ""},
      {"s STR \"\"", ""},
      {"s STR \"a\"b\"", "a\"b"},
      {"s STR \"open to the end ", "open to the end "},
      {"s STR \"[not an array]\"", "[not an array]"},
      {"s STR \t\"tab\"\t", "tab"},
  };
  for (const Case& c : cases) {
    for (const char* ending : {"\n", "\r\n", ""}) {
      ZfDocumentPtr document = zfLoadString(kHeader + c.line + ending);
      ASSERT_NE(document, nullptr) << c.line;
      EXPECT_EQ(textOf(document.get(), "s"), c.text) << c.line;
      EXPECT_EQ(valueOf(document.get(), "s").count, c.text.size());
      EXPECT_STREQ(ZF_GetString(ZF_Root(document.get()), "s"), c.text.c_str());
    }
  }
}

TEST(ZfText, TreeShapeNodesArraysAndComments) {
  const std::string text = kHeader +
                           "{ Objects\n"
                           "}\n"
                           "\t{ Scene ignored words\n"
                           "  // a comment\n"
                           "  rows I4 [ ignored\n"
                           "    1 2 3\n"
                           "  # between rows\n"
                           "    4\n"
                           "  ] ignored\n"
                           "  dup I4 1\n"
                           "  dup I4 2\n"
                           "  } also ignored\n"
                           "{ Open\n"
                           "  x FP 2.5\n";
  ZfDocumentPtr document;
  ASSERT_EQ(zfLoadLog(text, &document), "");
  const ZF_Entry* root = ZF_Root(document.get());
  EXPECT_STREQ(root->name, "root");
  ASSERT_EQ(ZF_ChildCount(root), 3u);

  const ZF_Entry* objects = ZF_Find(root, "Objects");
  ASSERT_NE(objects, nullptr);
  EXPECT_EQ(objects->kind, ZF_NODE);
  EXPECT_EQ(ZF_ChildCount(objects), 0u);
  EXPECT_EQ(ZF_Find(objects, "anything"), nullptr);
  EXPECT_EQ(ZF_Find(ZF_Find(objects, "missing"), "chained"), nullptr);

  const ZF_Entry* scene = ZF_Child(root, 1);
  EXPECT_STREQ(scene->name, "Scene");
  const ZF_Entry* rows = ZF_Find(scene, "rows");
  ASSERT_NE(rows, nullptr);
  EXPECT_EQ(rows->kind, ZF_ARRAY);
  ASSERT_EQ(rows->count, 2u);
  EXPECT_EQ(rows->rows[0].count, 3u);
  EXPECT_EQ(rows->rows[1].count, 1u);
  EXPECT_EQ(static_cast<const int32_t*>(rows->rows[1].data)[0], 4);
  // Duplicates are kept; a lookup finds the first.
  EXPECT_EQ(ZF_ChildCount(scene), 3u);
  EXPECT_EQ(ZF_GetInt(scene, "dup"), 1);

  // A node left open at the end holds what followed it.
  EXPECT_FLOAT_EQ(ZF_GetFloat(ZF_Find(root, "Open"), "x"), 2.5f);
  EXPECT_EQ(ZF_Child(root, 3), nullptr);
}

// Floats are rounded once, correctly (as strtof does); integers keep their
// value or are refused (see the failures above).
TEST(ZfText, ConversionsOfNumberTokens) {
  const char* floats[] = {"1.5",  "-0",    ".5",     "5.",     "1e3",    "1E-3",   "-2.5e+2", "0x10",
                          "inf",  "-INF",  "+7",     "0.1",    "3.4028235e38", "1e40", "1e-50", "1.4e-45",
                          "123456789012345678901234", "0.30000000000000004441", "9007199254740993", "-.0e5",
                          "nan", "-nan", "8.000000476837159"};
  for (const char* token : floats) {
    ZfDocumentPtr document = zfLoadString(kHeader + "v FP " + token + "\n");
    ASSERT_NE(document, nullptr) << token;
    const float expected = std::strtof(token, nullptr);
    const float got = ZF_FP_At(ZF_Find(ZF_Root(document.get()), "v"), 0);
    EXPECT_EQ(std::memcmp(&expected, &got, 4), 0) << token << " read " << got;
  }
  struct Integer {
    const char* token;
    int32_t i4;
    uint32_t u4;
  };
  const Integer integers[] = {{"12", 12, 12},   {"1.5", 1, 1},     {"+3", 3, 3}, {"007", 7, 7}, {"0", 0, 0},
                              {"-0", 0, 0},     {"2147483647", 2147483647, 2147483647u},
                              {"4.", 4, 4}};
  for (const Integer& c : integers) {
    ZfDocumentPtr document = zfLoadString(kHeader + "i I4 " + c.token + "\nu U4 " + c.token + "\n");
    ASSERT_NE(document, nullptr) << c.token;
    const ZF_Entry* root = ZF_Root(document.get());
    EXPECT_EQ(ZF_GetInt(root, "i"), c.i4) << c.token;
    EXPECT_EQ(uint32_t(ZF_GetInt(root, "u")), c.u4) << c.token;
  }
  ZfDocumentPtr extremes = zfLoadString(kHeader + "i I4 -2147483648 -1.9\nu U4 4294967295\n");
  ASSERT_NE(extremes, nullptr);
  EXPECT_EQ(ZF_GetInt(ZF_Root(extremes.get()), "i"), INT32_MIN);
  EXPECT_EQ(static_cast<const int32_t*>(ZF_Find(ZF_Root(extremes.get()), "i")->value.data)[1], -1);
  EXPECT_EQ(uint32_t(ZF_GetInt(ZF_Root(extremes.get()), "u")), 4294967295u);
  ZfDocumentPtr document = zfLoadString(kHeader + "v FP 1 2\t 3  \n");
  EXPECT_EQ(valueOf(document.get(), "v").count, 3u);
}

TEST(ZfText, RunLiteralStreams) {
  ZfDocumentPtr document = zfLoadString(kHeader + "c FP_C RUN 3 1.5 DAT 2 2.0 3.0\n");
  ASSERT_NE(document, nullptr);
  const ZF_Entry* c = ZF_Find(ZF_Root(document.get()), "c");
  EXPECT_EQ(c->count, 5u);
  const float expected[] = {1.5f, 1.5f, 1.5f, 2.0f, 3.0f};
  for (uint32_t i = 0; i < 5; ++i) EXPECT_EQ(ZF_FP_At(c, i), expected[i]) << i;
  EXPECT_EQ(ZF_FP_At(c, 9), 3.0f);
  EXPECT_EQ(ZF_FP_At(c, 0xFFFFFFFFu), 3.0f);
  EXPECT_EQ(c->value.markCount, 2u);
}

TEST(ZfText, FloatTextReadsBackBitForBit) {
  std::mt19937 random(7);
  char buffer[32];
  for (int i = 0; i < 200000; ++i) {
    uint32_t bits = random();
    float value;
    std::memcpy(&value, &bits, 4);
    const int length = zfFormatFloat(value, buffer);
    const float back = zfReadFloat(buffer, buffer + length);
    // NaNs too, payload and all.
    ASSERT_EQ(std::memcmp(&back, &value, 4), 0) << buffer;
  }
  // The token reader and the document reader agree with strtof on decimals
  // of every length and on odd spellings, and refuse what strtof would
  // read only the start of.
  const char* signs[] = {"", "-", "+"};
  const char* exponents[] = {"", "", "", "e", "E+", "e-", "e7", "E-12", "e+30", "e-45", "e300"};
  const char* tails[] = {"", "", "", "", "x", ".5", "e"};
  for (int batch = 0; batch < 200; ++batch) {
    std::vector<std::string> tokens;
    std::string line = kHeader + "v FP";
    for (int i = 0; i < 1000; ++i) {
      const int digits = int(random() % 26);
      std::string token = signs[random() % 3];
      for (int d = 0; d < digits; ++d) token += char('0' + (random() % 4 ? random() % 10 : 0));
      if (random() % 4) token.insert(token.size() - random() % (digits + 1), ".");
      token += exponents[random() % 11];
      token += tails[random() % 7];
      if (token.empty()) token = "0";
      char* used;
      const float expected = std::strtof(token.c_str(), &used);
      float got;
      const char* tokenEnd;
      const bool whole = zfParseFloatToken(token.c_str(), token.c_str() + token.size(), &got, &tokenEnd);
      // A token is a number when strtof reads all of it; then it reads the same.
      ASSERT_EQ(whole, used == token.c_str() + token.size() && !token.empty()) << token;
      if (!whole) continue;
      ASSERT_EQ(std::memcmp(&expected, &got, 4), 0) << token;
      tokens.push_back(token);
      line += " " + token;
    }
    ZfDocumentPtr document = zfLoadString(line + "\n");
    ASSERT_NE(document, nullptr);
    const ZF_Row& row = valueOf(document.get(), "v");
    ASSERT_EQ(row.count, tokens.size());
    for (std::size_t i = 0; i < tokens.size(); ++i) {
      const float expected = std::strtof(tokens[i].c_str(), nullptr);
      ASSERT_EQ(std::memcmp(&expected, static_cast<const uint32_t*>(row.data) + i, 4), 0) << tokens[i];
    }
  }
}

TEST(ZfText, AccessorDefaults) {
  ZfDocumentPtr document = zfLoadString(kHeader + "{ N\n}\ns STR text\nf FP 2.5\nempty FP_C RUN 1 4\n");
  const ZF_Entry* root = ZF_Root(document.get());
  EXPECT_EQ(ZF_GetInt(root, "missing"), 0);
  EXPECT_EQ(ZF_GetInt(root, "missing", -1), -1);
  EXPECT_EQ(ZF_GetInt(root, "N", -1), -1);
  EXPECT_EQ(ZF_GetInt(root, "s", -1), -1);
  EXPECT_EQ(ZF_GetString(root, "missing"), nullptr);
  EXPECT_EQ(ZF_GetString(root, "f"), nullptr);
  EXPECT_EQ(ZF_GetFloat(root, "missing"), 0.0f);
  EXPECT_EQ(ZF_GetFloat(root, "N"), 0.0f);
  EXPECT_EQ(ZF_GetFloat(root, "s"), 0.0f);
  EXPECT_EQ(ZF_GetFloat(root, "empty"), 4.0f);
  EXPECT_EQ(ZF_Find(nullptr, "x"), nullptr);
  EXPECT_EQ(ZF_Find(ZF_Find(root, "f"), "x"), nullptr);
  EXPECT_EQ(ZF_FP_At(nullptr, 0), 0.0f);
}

TEST(ZfText, LoadsThroughTheFileHooks) {
  char path[] = "/tmp/zfTextXXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  const std::string text = kHeader + "x FP 1.25\n";
  ASSERT_EQ(write(fd, text.data(), text.size()), ssize_t(text.size()));
  close(fd);
  ZF_Document* document = ZF_Load(path);
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(ZF_GetFloat(ZF_Root(document), "x"), 1.25f);
  ZF_Free(document);

  // Missing and empty files give null without a word.
  testing::internal::CaptureStdout();
  EXPECT_EQ(ZF_Load("/nonexistent/scene.zscn"), nullptr);
  FILE* empty = std::fopen(path, "wb");
  std::fclose(empty);
  EXPECT_EQ(ZF_Load(path), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  std::remove(path);
}

// A file is parsed in pieces as it is read: lines and runs of line ends cut
// by a piece boundary, and a line longer than a piece, read as from memory,
// and a failure far into the file names the same line.
TEST(ZfText, FilesReadInPiecesParseAsFromMemory) {
  std::mt19937 random(17);
  std::string blankRun;  // long runs of line ends, so that pieces end inside them
  for (int i = 0; i < 1000; ++i) blankRun += "\r\n";
  const std::string endings[] = {"\n", "\r\n", "\n\n", "\r\n\r\n\n", "\r", "\n  \n", blankRun};
  char path[] = "/tmp/zfPiecesXXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  for (int shift = 0; shift < 6; ++shift) {
    std::string text = kHeader + std::string(std::size_t(shift) * 7, '#') + "\n{ Scene\n";
    int lines = 0;
    while (text.size() < (std::size_t(1) << 20)) {
      text += "  v" + std::to_string(lines++) + " FP_C RUN 2 " + std::to_string(random() % 1000) + " DAT 1 0.5";
      text += endings[random() % 7];
    }
    // One line of about 600 KB, longer than a piece.
    text += "  long FP_C DAT 100000";
    for (int i = 0; i < 100000; ++i) text += " " + std::to_string(i % 977) + ".25";
    text += "\r\n}\n";
    for (const std::string& tail : {std::string(), std::string("  bad I4 12abc\n"), std::string("} trailing")}) {
      const std::string whole = text + tail;
      FILE* file = std::fopen(path, "wb");
      std::fwrite(whole.data(), 1, whole.size(), file);
      std::fclose(file);
      testing::internal::CaptureStdout();
      ZfDocumentPtr fromMemory = zfLoadString(whole);
      const std::string memoryLog = testing::internal::GetCapturedStdout();
      testing::internal::CaptureStdout();
      ZfDocumentPtr fromFile(ZF_Load(path));
      const std::string fileLog = testing::internal::GetCapturedStdout();
      EXPECT_EQ(fileLog, memoryLog) << shift;
      ASSERT_EQ(fromFile == nullptr, fromMemory == nullptr) << shift << " " << fileLog;
      if (!fromFile) {
        EXPECT_NE(fileLog.find(tail.size() > 12 ? "bad I4 value 12abc" : "too many }"), std::string::npos) << fileLog;
        continue;
      }
      std::string a, b;
      ASSERT_TRUE(ZF_WriteText(ZF_Root(fromFile.get()), &a));
      ASSERT_TRUE(ZF_WriteText(ZF_Root(fromMemory.get()), &b));
      EXPECT_EQ(a, b) << shift;
      EXPECT_EQ(ZF_Find(ZF_Find(ZF_Root(fromFile.get()), "Scene"), "long")->count, 100000u);
    }
  }
  std::remove(path);
}

}  // namespace
