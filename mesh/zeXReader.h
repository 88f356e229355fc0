// Token reader for DirectX .x files in their three encodings: text, binary,
// and either of them compressed with MSZIP. The loader asks for what it
// expects next (a name, an integer, a float, a string, a brace); list
// separators (',' and ';') are skipped where the loader does not ask for them.
// Every read checks what is left, so a truncated or hostile file ends in a
// failed read, never a read past the data.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CZeXReader {
 public:
  enum Kind { K_END, K_NAME, K_NUMBER, K_STRING, K_OPEN, K_CLOSE, K_OTHER };

  // Takes the whole file. false with a reason on a bad header or a broken
  // compressed stream.
  bool open(const char* data, std::size_t size, std::string* reason);

  bool isBinary() const { return Binary; }
  // Bytes not read yet: the bound for every declared count.
  std::size_t remaining() const { return End - Pos; }

  // What comes next, separators skipped.
  Kind peek();
  bool readName(std::string* name);
  // The instance name of an object header, if any (empty when none).
  bool readOptionalName(std::string* name);
  bool readUInt(uint32_t* value);
  bool readFloat(float* value);
  bool readString(std::string* value);
  bool readOpen();
  bool readClose();
  // Skips a "<...>" GUID (text) or a GUID token (binary) if one comes next.
  void skipGuid();
  // Skips separators; true when at least one ';' was among them.
  bool skipSeparators();
  // Skips tokens up to and including the '}' that closes the current object.
  bool skipToClose();

  // Where the reader is, for messages: a line in text files, a byte offset in
  // binary ones.
  std::size_t position() const;

 private:
  bool readBinaryToken(uint16_t* token);
  bool skipBinaryPayload(uint16_t token);
  bool textSkipSpace();
  bool textNumberStart() const;

  // Line counting resumes where the last call stopped (the reader only goes
  // forward), so many messages cost no more than one pass.
  mutable const char* CountedUpTo = nullptr;
  mutable std::size_t CountedLines = 1;
  std::vector<char> Inflated;  // decompressed body of a compressed file
  const char* Begin = nullptr;
  const char* Pos = nullptr;
  const char* End = nullptr;
  bool Binary = false;
  bool Doubles = false;
  bool openBinaryNumber(bool* lone, uint32_t* loneValue);
  // Binary integer and float lists are read one number at a time.
  uint32_t ListLeft = 0;
  bool ListIsFloat = false;
};

// Inflates an MSZIP body (the part after the 16-byte header). `declared` is
// the size the file announces (counting the header or not). false with a
// reason when a block is broken or the output would exceed what was declared.
bool zeInflateMszip(const char* data, std::size_t size, uint32_t declared, std::vector<char>* out,
                    std::string* reason);
