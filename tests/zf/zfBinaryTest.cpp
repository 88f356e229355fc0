// The binary form: layout, and every size checked before it is trusted.
#include "zfTestUtil.h"

namespace {

std::string value(const std::string& name, uint32_t type, const std::string& data) {
  return zfChunk("NVAL", zfName(name) + zfWord(type) + data);
}

std::string row(const std::string& data) { return zfChunk("AVAL", data); }

TEST(ZfBinary, LayoutOfNamesValuesAndRows) {
  const std::string image = zfForm(
      zfChunk("NODE", zfName("abcd") +
                          value("xyz", ZF_FP, zfFloatWord(1.0f) + zfFloatWord(2.0f) + zfFloatWord(3.0f)) +
                          value("run", ZF_FP_C, zfWord(0) + zfWord(4) + zfFloatWord(1.0f)) +
                          value("s", ZF_STR, std::string("hi\0pad\0\0\0", 8)) +
                          zfChunk("NARR", zfName("rows") + zfWord(ZF_I4) + row(zfWord(1) + zfWord(2)) + row("") +
                                              row(zfWord(uint32_t(-3))))) +
      value("top", ZF_U4, zfWord(7)) + value("odd", 9, zfWord(5) + zfWord(6) + "xy"));
  ZfDocumentPtr document;
  ASSERT_EQ(zfLoadLog(image, &document), "");
  EXPECT_EQ(ZF_DocumentForm(document.get()), ZF_FORM_BINARY);
  const ZF_Entry* root = ZF_Root(document.get());
  ASSERT_EQ(ZF_ChildCount(root), 3u);
  // A 4-character name takes 8 bytes: the next chunk is found right after them.
  const ZF_Entry* node = ZF_Find(root, "abcd");
  ASSERT_NE(node, nullptr);
  ASSERT_EQ(ZF_ChildCount(node), 4u);

  const ZF_Entry* xyz = ZF_Find(node, "xyz");
  EXPECT_EQ(xyz->count, 3u);
  const ZF_Float3 v = ZF_FP3_At(xyz, 0);
  EXPECT_EQ(v.x, 1.0f);
  EXPECT_EQ(v.y, 2.0f);
  EXPECT_EQ(v.z, 3.0f);

  const ZF_Entry* run = ZF_Find(node, "run");
  EXPECT_EQ(run->count, 4u);
  for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(ZF_FP_At(run, i), 1.0f);

  EXPECT_STREQ(ZF_GetString(node, "s"), "hi");
  EXPECT_EQ(ZF_Find(node, "s")->count, 2u);

  // Foreign types are kept as words; a ragged tail is left out.
  const ZF_Entry* odd = ZF_Find(root, "odd");
  EXPECT_EQ(odd->type, 9u);
  EXPECT_EQ(odd->count, 2u);
  EXPECT_EQ(ZF_GetInt(root, "odd"), 5);

  const ZF_Entry* rows = ZF_Find(node, "rows");
  ASSERT_EQ(rows->count, 3u);
  EXPECT_EQ(rows->rows[0].count, 2u);
  EXPECT_EQ(rows->rows[1].count, 0u);
  EXPECT_EQ(static_cast<const int32_t*>(rows->rows[2].data)[0], -3);
  EXPECT_EQ(ZF_GetInt(root, "top"), 7);
}

// Chunks are not padded: after a STR of odd length the next words are off
// their boundary and still read right.
TEST(ZfBinary, WordsAfterAnOddLengthChunk) {
  const std::string image =
      zfForm(value("s", ZF_STR, std::string("ab\0", 3)) + value("i", ZF_I4, zfWord(7) + zfWord(uint32_t(-2))) +
             value("c", ZF_FP_C, zfWord(0) + zfWord(3) + zfFloatWord(1.5f) + zfWord(1) + zfWord(1) + zfFloatWord(2.0f)) +
             zfChunk("NARR", zfName("a") + zfWord(ZF_FP) + zfChunk("AVAL", zfFloatWord(0.25f))));
  ZfDocumentPtr document;
  ASSERT_EQ(zfLoadLog(image, &document), "");
  ASSERT_NE(document, nullptr);
  const ZF_Entry* root = ZF_Root(document.get());
  EXPECT_STREQ(ZF_GetString(root, "s"), "ab");
  EXPECT_EQ(ZF_GetInt(root, "i"), 7);
  EXPECT_EQ(static_cast<const int32_t*>(ZF_Find(root, "i")->value.data)[1], -2);
  EXPECT_EQ(ZF_Find(root, "c")->count, 4u);
  EXPECT_EQ(ZF_FP_At(ZF_Find(root, "c"), 2), 1.5f);
  EXPECT_EQ(ZF_FP_At(ZF_Find(root, "c"), 3), 2.0f);
  EXPECT_EQ(ZF_FP_At(ZF_Find(root, "a"), 0), 0.25f);
}

TEST(ZfBinary, AnEmptyFileBodyIsAnEmptyDocument) {
  ZfDocumentPtr document;
  EXPECT_EQ(zfLoadLog(zfForm(""), &document), "");
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(ZF_ChildCount(ZF_Root(document.get())), 0u);
}

TEST(ZfBinary, MalformedFilesFailWithAMessage) {
  const std::string good = value("v", ZF_I4, zfWord(1));
  std::string deep;
  for (int i = 0; i < 20; ++i) deep = zfChunk("NODE", zfName("n") + deep);
  struct Case {
    const char* what;
    std::string chunks;
    const char* log;
  };
  const Case cases[] = {
      {"children end past their node",
       zfChunk("NODE", zfName("n") + good).substr(0, 4) + zfWord(8 + 12 - 4) + zfName("n") + good,
       "exceed chunk size at level 1\n"},
      {"chunk past the file", "NVAL" + zfWord(1000) + zfName("v") + zfWord(0), "exceed chunk size at level 0\n"},
      {"size word that wraps", "NVAL" + zfWord(0xFFFFFFFFu) + zfName("v") + zfWord(0),
       "exceed chunk size at level 0\n"},
      {"header cut short", good + "NVAL", "exceed chunk size at level 0\n"},
      {"last row longer than the array",
       "NARR" + zfWord(20) + zfName("a") + zfWord(ZF_I4) + "AVAL" + zfWord(8) + zfWord(1) + good,
       "exceed array size at level 0\n"},
      {"row header cut short", zfChunk("NARR", zfName("a") + zfWord(ZF_I4) + row(zfWord(1)) + "AVAL"),
       "exceed array size at level 0\n"},
      {"rows followed by something else",
       zfChunk("NARR", zfName("a") + zfWord(ZF_I4) + row(zfWord(1)) + "NVAL" + zfWord(0)),
       "expected AVAL chunk, found 0x4e56414c\n"},
      {"unknown chunk", zfChunk("NOPE", zfName("x")), "unknown chunk ID 0x4e4f5045\n"},
      {"small unknown id", std::string("\0\0\0\1", 4) + zfWord(0), "unknown chunk ID 0x       1\n"},
      {"name without NUL", zfChunk("NODE", "abcd"), "chunk name without NUL at level 0\n"},
      {"name padding past the chunk", zfChunk("NVAL", std::string("abcde\0", 6)), "chunk too small at level 0\n"},
      {"no room for the type", zfChunk("NVAL", zfName("v")), "chunk too small at level 0\n"},
      {"STR without NUL", value("s", ZF_STR, "text"), "STR value without NUL at level 0\n"},
      {"RUN without value", value("c", ZF_FP_C, zfWord(0) + zfWord(3)),
       "bad FP_C data at level 0, RUN without value\n"},
      {"DAT count past the data", value("c", ZF_FP_C, zfWord(1) + zfWord(3) + zfFloatWord(1) + zfFloatWord(2)),
       "bad FP_C data at level 0, DAT count larger than its data\n"},
      {"empty RUN without value", value("c", ZF_FP_C, zfWord(1) + zfWord(0) + zfWord(0) + zfWord(0)),
       "bad FP_C data at level 0, RUN without value\n"},
      {"tag without count", value("c", ZF_FP_C, zfWord(0) + zfWord(2) + zfFloatWord(1) + zfWord(1)),
       "bad FP_C data at level 0, record without count\n"},
      {"sample count past 32 bits",
       value("c", ZF_FP_C, zfWord(0) + zfWord(0xFFFFFFFFu) + zfFloatWord(1) + zfWord(0) + zfWord(1) + zfFloatWord(1)),
       "bad FP_C data at level 0, more than 4294967295 samples\n"},
      {"bad stream in a row", zfChunk("NODE", zfName("n") + zfChunk("NARR", zfName("a") + zfWord(ZF_FP_C) +
                                                                     row(zfWord(7) + zfWord(2) + zfFloatWord(1)))),
       "bad FP_C data at level 1, DAT count larger than its data\n"},
      {"twenty levels of nodes", deep, "exceed nesting depth at level 19\n"},
  };
  for (const Case& c : cases) {
    ZfDocumentPtr document;
    EXPECT_EQ(zfLoadLog(zfForm(c.chunks), &document), c.log) << c.what;
    EXPECT_EQ(document, nullptr) << c.what;
  }
  // Nineteen levels are fine.
  std::string nineteen;
  for (int i = 0; i < 19; ++i) nineteen = zfChunk("NODE", zfName("n") + nineteen);
  ZfDocumentPtr document;
  EXPECT_EQ(zfLoadLog(zfForm(nineteen), &document), "");
  EXPECT_NE(document, nullptr);
}

}  // namespace
