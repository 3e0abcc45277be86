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

}  // namespace

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

std::string escaped(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  auto escapeByte = [&out](unsigned char byte) {
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 15];
  };
  for (std::size_t offset = 0; offset < text.size();) {
    const auto byte = static_cast<unsigned char>(text[offset]);
    if (byte >= 0x20 && byte < 0x7f) {
      out += static_cast<char>(byte);
      ++offset;
      continue;
    }
    if (byte < 0x80) {
      if (byte == '\n') {
        out += "\\n";
      } else if (byte == '\r') {
        out += "\\r";
      } else if (byte == '\t') {
        out += "\\t";
      } else {
        escapeByte(byte);
      }
      ++offset;
      continue;
    }
    const std::size_t length = Utf8::characterLength(text, offset);
    const std::string_view character = text.substr(offset, length);
    offset += length;
    if (!Utf8::isValid(character)) {
      for (char c : character) escapeByte(static_cast<unsigned char>(c));
      continue;
    }
    // C1 controls (U+0080 to U+009F) and U+2028, U+2029 break lines in some
    // terminals and viewers.
    const auto second = static_cast<unsigned char>(character[1]);
    if (byte == 0xc2 && second < 0xa0) {
      out += "\\u00";
      out += kHex[second >> 4];
      out += kHex[second & 15];
    } else if (character == "\u2028" || character == "\u2029") {
      out += character == "\u2028" ? "\\u2028" : "\\u2029";
    } else {
      out += character;
    }
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
