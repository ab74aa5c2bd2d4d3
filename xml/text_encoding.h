#pragma once
#include <string>
#include <string_view>

// Encoding of a file's bytes: from its byte-order mark, else from its XML
// declaration, else UTF-8.
struct TextEncoding {
  std::string name;
  size_t bomLength = 0;
};
TextEncoding DetectTextEncoding(std::string_view bytes);

// The encoding named in a leading XML declaration, empty when there is none.
std::string DeclaredEncoding(std::string_view text);

bool IsUtf8EncodingName(std::string_view name);

// Converts with iconv. Bytes that cannot be converted become '?' and the
// conversion carries on; returns false (with error set) when that happened or
// when iconv does not know one of the encodings.
bool ConvertTextEncoding(std::string_view in, const std::string& from, const std::string& to, std::string& out,
                         std::string& error);
