// Writing ZF documents, for conversion between the forms and for building
// test documents.
//
// The text written is canonical: one declaration per line, two spaces of
// indent per level, every STR quoted, FP_C as RUN/DAT records and floats in
// the shortest form that reads back to the same bits. It starts with a
// comment line, so that even an empty document passes the 12-byte check.
// Neither form writes the empty records an FP_C stream may hold, except that
// a stream with no sample at all is written as text "DAT 0".
#pragma once

#include "zf/zfDocument.h"

#include <string>

// Both write the children of `root` as the top level. false, with a message
// on zeLog, when the tree holds something the form cannot carry: the text
// form has no room for names with blanks or line breaks, STR texts with line
// breaks, empty word lists or foreign value types; the binary form none for
// chunks beyond 4 GB.
bool ZF_WriteText(const ZF_Entry* root, std::string* out);
bool ZF_WriteBinary(const ZF_Entry* root, std::string* out);

// Writes `contents` to a file on disk, safely (base/zeSafeWrite.h: the old
// file stays whole unless the new one is complete); false with a message
// when it cannot.
bool ZF_WriteFile(const char* path, const std::string& contents);
