#include "xml/text_encoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <strings.h>

namespace {

struct EncodingSignature {
  std::string_view bytes;
  const char* name;
  bool isBom;
};

// Byte-order marks first; then the start of "<?" in UTF-16, which a
// declaration without a mark begins with.
constexpr EncodingSignature kSignatures[] = {
    {std::string_view("\xEF\xBB\xBF", 3), "UTF-8", true},
    {std::string_view("\xFF\xFE", 2), "UTF-16LE", true},
    {std::string_view("\xFE\xFF", 2), "UTF-16BE", true},
    {std::string_view("<\0?\0", 4), "UTF-16LE", false},
    {std::string_view("\0<\0?", 4), "UTF-16BE", false},
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// UTF-16 is converted with an explicit byte order so iconv writes no mark.
std::string IconvName(const std::string& name) {
  if (EqualsNoCase(name, "UTF-16") || EqualsNoCase(name, "UTF16")) return "UTF-16LE";
  return name;
}

}  // namespace

TextEncoding DetectTextEncoding(std::string_view bytes) {
  for (const EncodingSignature& signature : kSignatures) {
    if (bytes.starts_with(signature.bytes)) return {signature.name, signature.isBom ? signature.bytes.size() : 0};
  }
  // A declaration readable byte by byte cannot be in UTF-16, whatever it says.
  std::string declared = DeclaredEncoding(bytes);
  if (declared.empty() || strncasecmp(declared.c_str(), "UTF-16", 6) == 0) declared = "UTF-8";
  return {declared, 0};
}

std::string DeclaredEncoding(std::string_view text) {
  if (!text.starts_with("<?xml") || text.size() < 6 || !IsSpace(text[5])) return {};
  std::string_view decl = text.substr(0, text.find("?>"));
  size_t pos = decl.find("encoding");
  if (pos == std::string_view::npos) return {};
  pos += 8;
  auto skipSpace = [&] {
    while (pos < decl.size() && IsSpace(decl[pos])) ++pos;
  };
  skipSpace();
  if (pos >= decl.size() || decl[pos] != '=') return {};
  ++pos;
  skipSpace();
  if (pos >= decl.size() || (decl[pos] != '"' && decl[pos] != '\'')) return {};
  size_t close = decl.find(decl[pos], pos + 1);
  if (close == std::string_view::npos) return {};
  return std::string(decl.substr(pos + 1, close - pos - 1));
}

bool IsUtf8EncodingName(std::string_view name) {
  return EqualsNoCase(name, "UTF-8") || EqualsNoCase(name, "UTF8");
}

bool ConvertTextEncoding(std::string_view in, const std::string& from, const std::string& to, std::string& out,
                         std::string& error) {
  out.clear();
  iconv_t cd = iconv_open(IconvName(to).c_str(), IconvName(from).c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    error = "cannot convert from " + from + " to " + to + ": " + std::strerror(errno);
    return false;
  }
  bool complete = true;
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char buffer[16384];
  while (true) {
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    size_t rc = srcLeft > 0 ? iconv(cd, &src, &srcLeft, &dst, &dstLeft) : iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    out.append(buffer, dst - buffer);
    if (rc != static_cast<size_t>(-1)) {
      if (srcLeft == 0 && dst == buffer) break;
      continue;
    }
    if (errno == E2BIG) continue;
    // Invalid or truncated input: replace one byte and go on.
    complete = false;
    out.push_back('?');
    ++src;
    --srcLeft;
  }
  iconv_close(cd);
  if (!complete) error = "text not fully convertible from " + from + " to " + to;
  return complete;
}
