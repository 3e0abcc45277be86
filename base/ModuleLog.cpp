#include "base/ModuleLog.h"

#include <cstdio>
#include <sstream>
#include <utility>

#include "text/Utf8.h"

namespace Kestova {
namespace ModuleLog {
namespace {

Sink& currentSink() {
  static Sink sink;
  return sink;
}

constexpr char kHex[] = "0123456789abcdef";

void appendHexByte(std::string& out, unsigned char byte) {
  out += kHex[byte >> 4];
  out += kHex[byte & 15];
}

// \n, \r and \t by name, other C0 controls and DEL as \xHH, the rest as is.
void appendAscii(std::string& out, unsigned char byte) {
  if (byte >= 0x20 && byte < 0x7f) {
    out += static_cast<char>(byte);
  } else if (byte == '\n') {
    out += "\\n";
  } else if (byte == '\r') {
    out += "\\r";
  } else if (byte == '\t') {
    out += "\\t";
  } else {
    out += "\\x";
    appendHexByte(out, byte);
  }
}

// One character that does not start with an ASCII byte, or one ill-formed
// subsequence, which is written byte by byte as \xHH.
void appendNonAscii(std::string& out, std::string_view character) {
  if (!Utf8::isValid(character)) {
    for (char c : character) {
      out += "\\x";
      appendHexByte(out, static_cast<unsigned char>(c));
    }
    return;
  }
  // C1 controls (U+0080 to U+009F) and U+2028, U+2029 break lines in some
  // terminals and viewers.
  const auto second = static_cast<unsigned char>(character[1]);
  if (character[0] == '\xc2' && second < 0xa0) {
    out += "\\u00";
    appendHexByte(out, second);
  } else if (character == "\u2028") {
    out += "\\u2028";
  } else if (character == "\u2029") {
    out += "\\u2029";
  } else {
    out += character;
  }
}

// "Info", "Warn" or "Error".
std::string_view levelName(Level level) {
  switch (level) {
    case Level::Info:
      return "Info";
    case Level::Warn:
      return "Warn";
    case Level::Error:
      return "Error";
  }
  return "Error";
}

}  // namespace

std::string escaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t offset = 0; offset < text.size();) {
    const auto byte = static_cast<unsigned char>(text[offset]);
    if (byte < 0x80) {
      appendAscii(out, byte);
      ++offset;
      continue;
    }
    const std::size_t length = Utf8::characterLength(text, offset);
    appendNonAscii(out, text.substr(offset, length));
    offset += length;
  }
  return out;
}

std::string quoted(const std::filesystem::path& path) {
  std::ostringstream out;
  out << path;
  return out.str();
}

std::string formatLine(Level level, std::string_view message) {
  std::string line = "gcin kestova ";
  line += levelName(level);
  line += ": ";
  line += escaped(message);
  return line;
}

void write(Level level, std::string_view message) {
  std::string line = formatLine(level, message);
  if (Sink& sink = currentSink()) {
    sink(line);
    return;
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

Sink setSink(Sink sink) {
  return std::exchange(currentSink(), std::move(sink));
}

}  // namespace ModuleLog
}  // namespace Kestova
