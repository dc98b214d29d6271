#include "platform/posix/wine/winereg.h"

#include <ctype.h>
#include <stdlib.h>
#include <string.h>

#include "platform/posix/common/utf8.h"

// Wine keeps names as UTF-16 code units; so does this reader, until a value
// leaves it as UTF-8.
typedef std::vector<unsigned> Units;

// --- names and their case -------------------------------------------------------

// Wine compares key names, value names and file names without regard to
// case, through Unicode's case tables.  The ranges below hold the letters a
// game's folder or a key is likely to be written in (Latin, Greek,
// Cyrillic); other scripts match exactly.  A name matched here and missed by
// Wine would need such a letter in another case, outside these ranges.
static unsigned foldCase(unsigned c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  if (c == 0x178) return 0xFF;
  // Latin Extended-A pairs capital and small letter, even first, except in
  // two runs where the odd one is the capital.  U+0130 (dotted capital I)
  // has no small letter of its own.
  if (c >= 0x100 && c <= 0x17E && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149) {
    bool oddFirst = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    return ((c & 1) == (oddFirst ? 1u : 0u)) ? c + 1 : c;
  }
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  return c;
}

static bool sameIgnoringCase(const Units &a, const Units &b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (foldCase(a[i]) != foldCase(b[i])) return false;
  return true;
}

// --- text ----------------------------------------------------------------------

// One character of UTF-8 at *p, as Wine's registry loader reads bytes beyond
// ASCII: a sequence that is cut short, too long for its value or beyond
// Unicode is dropped.  Characters beyond the first plane become two
// surrogates, as in UTF-16.
static void readUtf8(const unsigned char *&p, Units &out) {
  static const unsigned minimum[] = {0, 0x80, 0x800, 0x10000};
  unsigned lead = *p++;
  int more = lead >= 0xF0 ? (lead <= 0xF7 ? 3 : -1) : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
  if (more < 0) return;
  unsigned code = lead & (0x3F >> more);
  for (int i = 0; i < more; ++i) {
    if ((*p ^ 0x80) >= 0x40) return;
    code = (code << 6) | (*p++ ^ 0x80);
  }
  if (code < minimum[more] || code > 0x10FFFF) return;
  if (code <= 0xFFFF) {
    out.push_back(code);
  } else {
    code -= 0x10000;
    out.push_back(0xD800 | (code >> 10));
    out.push_back(0xDC00 | (code & 0x3FF));
  }
}

static Units unitsOf(const char *text) {
  Units units;
  const unsigned char *p = (const unsigned char *)text;
  while (*p) {
    if (*p < 0x80)
      units.push_back(*p++);
    else
      readUtf8(p, units);
  }
  return units;
}

static std::string utf8Of(const Units &units) {
  return utf8FromUtf16(units.size(), [&](size_t i) -> unsigned long { return units[i]; });
}

static unsigned hexValue(unsigned char c) {
  return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

// A quoted name or string up to endChar, with Wine's escapes: the C letters
// (\n, \t, ... and \e), \x with up to four hex digits for one UTF-16 unit
// (Wine writes four when a hex digit follows, fewer otherwise), \ with up to
// three octal digits, and a backslash before any other character for that
// character itself (\\, \", and \] in key names).  Returns the bytes read,
// the delimiter included, or -1 when the delimiter never comes.
static long readQuoted(const char *src, char endChar, Units &out) {
  out.clear();
  const unsigned char *p = (const unsigned char *)src;
  while (*p && *p != endChar) {
    if (*p == '\\') {
      ++p;
      if (!*p) break;
      unsigned c = 0;
      bool escape = true;
      switch (*p) {
        case 'a': c = '\a'; ++p; break;
        case 'b': c = '\b'; ++p; break;
        case 'e': c = 0x1B; ++p; break;
        case 'f': c = '\f'; ++p; break;
        case 'n': c = '\n'; ++p; break;
        case 'r': c = '\r'; ++p; break;
        case 't': c = '\t'; ++p; break;
        case 'v': c = '\v'; ++p; break;
        case 'x':
          ++p;
          if (!isxdigit(*p)) {
            c = 'x';
          } else {
            for (int i = 0; i < 4 && isxdigit(*p); ++i) c = c * 16 + hexValue(*p++);
          }
          break;
        default:
          if (*p >= '0' && *p <= '7') {
            for (int i = 0; i < 3 && *p >= '0' && *p <= '7'; ++i) c = c * 8 + (*p++ - '0');
          } else {
            escape = false;  // the character itself, read below
          }
      }
      if (escape) {
        out.push_back(c);
        continue;
      }
    }
    if (*p < 0x80)
      out.push_back(*p++);
    else
      readUtf8(p, out);
  }
  if (!*p) return -1;
  return (long)((const char *)p + 1 - src);
}

// A key path's components: Wine reads a run of backslashes as one.
static std::vector<Units> components(const Units &path) {
  std::vector<Units> parts(1);
  for (unsigned c : path) {
    if (c != '\\')
      parts.back().push_back(c);
    else if (!parts.back().empty())
      parts.emplace_back();
  }
  if (parts.back().empty()) parts.pop_back();
  return parts;
}

static bool sameKey(const std::vector<Units> &a, const std::vector<Units> &b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (!sameIgnoringCase(a[i], b[i])) return false;
  return true;
}

// --- the registry file -----------------------------------------------------------

namespace {

// The file's lines, read as Wine reads them: each ends at its line feed, a
// carriage return before it dropped, and a NUL ends what is seen of it.
struct Lines {
  const std::string *text;
  size_t next;
  int number;
  std::string line;
};

struct Value {
  unsigned type = 0;
  bool hex = false;  // in bytes, not in text
  Units text;
  std::string bytes;
};

}  // namespace

static bool readLine(Lines &lines) {
  const std::string &text = *lines.text;
  if (lines.next >= text.size()) return false;
  size_t end = text.find('\n', lines.next);
  if (end == std::string::npos) end = text.size();
  lines.line.assign(text, lines.next, end - lines.next);
  if (!lines.line.empty() && lines.line.back() == '\r') lines.line.pop_back();
  lines.line.resize(strlen(lines.line.c_str()));
  lines.next = end + 1;
  ++lines.number;
  return true;
}

static const char *skipBlanks(const char *p) {
  while (*p && isspace((unsigned char)*p)) ++p;
  return p;
}

// Hex bytes, comma-separated, over as many lines as end in a backslash.
static bool readHex(const char *p, Lines &lines, std::string &bytes) {
  for (;;) {
    while (isxdigit((unsigned char)*p)) {
      char *end;
      unsigned long byte = strtoul(p, &end, 16);
      if (byte > 0xFF) return false;
      bytes += (char)byte;
      p = skipBlanks(end);
      if (*p == ',') p = skipBlanks(p + 1);
    }
    p = skipBlanks(p);
    if (!*p) return true;
    if (*p != '\\' || !readLine(lines)) return false;
    p = skipBlanks(lines.line.c_str());
  }
}

// A value line: @= or "name"= and the data in one of Wine's forms.  The
// value's name goes to name; false when the line cannot be read.
static bool readValue(const char *p, Lines &lines, Units &name, Value &value) {
  if (*p == '@') {
    name.clear();
    ++p;
  } else {
    long used = readQuoted(p + 1, '"', name);
    if (used < 0) return false;
    p += 1 + used;
  }
  p = skipBlanks(p);
  if (*p != '=') return false;
  p = skipBlanks(p + 1);

  static const struct {
    const char *tag;
    unsigned type;
  } strings[] = {{"\"", 1}, {"str:\"", 1}, {"str(2):\"", 2}, {"str(7):\"", 7}};
  for (const auto &s : strings) {
    size_t length = strlen(s.tag);
    if (strncmp(p, s.tag, length) == 0) {
      value.type = s.type;
      return readQuoted(p + length, '"', value.text) >= 0;
    }
  }
  value.hex = true;
  if (strncmp(p, "dword:", 6) == 0) {
    value.type = 4;
    unsigned long dword = strtoul(p + 6, nullptr, 16);
    for (int i = 0; i < 4; ++i) value.bytes += (char)((dword >> (8 * i)) & 0xFF);
    return true;
  }
  if (strncmp(p, "hex:", 4) == 0) {
    value.type = 3;
    return readHex(p + 4, lines, value.bytes);
  }
  if (strncmp(p, "hex(", 4) == 0) {
    char *end;
    value.type = (unsigned)strtoul(p + 4, &end, 16);
    if (strncmp(end, "):", 2) != 0) return false;
    return readHex(end + 2, lines, value.bytes);
  }
  return false;
}

// The text of a value of a string type, up to its first NUL; strings Wine
// could not write in its string form (no terminator) come as hex(1), hex(2)
// or hex(7), UTF-16 with its low byte first.
static bool valueText(const Value &value, std::string &text) {
  if (value.type != 1 && value.type != 2 && value.type != 7) return false;
  Units units = value.text;
  if (value.hex) {
    for (size_t i = 0; i + 1 < value.bytes.size(); i += 2)
      units.push_back((unsigned char)value.bytes[i] | ((unsigned char)value.bytes[i + 1] << 8));
  }
  for (size_t i = 0; i < units.size(); ++i) {
    if (units[i] == 0) {
      units.resize(i);
      break;
    }
  }
  text = utf8Of(units);
  return true;
}

WineRegistryResult wineRegistryValues(const std::string &text, const std::vector<std::string> &keys,
                                      std::vector<std::vector<WineValue>> &values, int *badLine) {
  values.assign(keys.size(), {});
  Lines lines{&text, 0, 0, ""};
  if (!readLine(lines) || lines.line != "WINE REGISTRY Version 2") {
    *badLine = 1;
    return WINE_REGISTRY_DAMAGED;
  }
  std::vector<std::vector<Units>> wanted;
  for (const std::string &key : keys) wanted.push_back(components(unitsOf(key.c_str())));
  // Each wanted key's values by name, the latest of each name kept.
  std::vector<std::vector<std::pair<Units, Value>>> seen(keys.size());
  long inKey = -1;
  bool anyKey = false;
  Units seenName, parsed;
  while (readLine(lines)) {
    const char *p = skipBlanks(lines.line.c_str());
    int number = lines.number;
    bool readable = true;
    switch (*p) {
      case '[': {
        // The key's path, then a time stamp that only Wine's saving needs.
        long used = readQuoted(p + 1, ']', parsed);
        if (used < 0) {
          *badLine = number;
          return WINE_REGISTRY_DAMAGED;
        }
        std::vector<Units> path = components(parsed);
        inKey = -1;
        for (size_t i = 0; i < wanted.size() && inKey < 0; ++i)
          if (sameKey(path, wanted[i])) inKey = (long)i;
        anyKey = true;
        break;
      }
      case '@':
      case '"': {
        // Values of every key are read through, so that a hex value's
        // continuation lines are never taken for lines of their own.
        Value v;
        readable = anyKey && readValue(p, lines, seenName, v);
        if (readable && inKey >= 0) {
          std::vector<std::pair<Units, Value>> &kept = seen[(size_t)inKey];
          size_t i = 0;
          while (i < kept.size() && !sameIgnoringCase(kept[i].first, seenName)) ++i;
          if (i == kept.size()) kept.emplace_back(seenName, v);
          else kept[i].second = v;
        }
        break;
      }
      case '#':
        // Options: "#time=", "#class=", "#link" belong to the key; only
        // "#arch=" before the first key says anything about the file, and
        // Wine refuses a file whose architecture it does not know.
        if (!anyKey && strncmp(p, "#arch=", 6) == 0 && strcmp(p + 6, "win32") != 0 &&
            strcmp(p + 6, "win64") != 0) {
          *badLine = number;
          return WINE_REGISTRY_DAMAGED;
        }
        break;
      case ';':
      case '\0':
        break;
      default:
        readable = false;
    }
    if (!readable && inKey >= 0) {
      *badLine = number;
      return WINE_REGISTRY_DAMAGED;
    }
  }
  for (size_t k = 0; k < seen.size(); ++k) {
    for (const auto &named : seen[k]) {
      WineValue value;
      if (!valueText(named.second, value.text)) continue;
      value.name = utf8Of(named.first);
      value.type = named.second.type;
      values[k].push_back(value);
    }
  }
  return WINE_VALUE_FOUND;
}

const WineValue *wineFindValue(const std::vector<WineValue> &values, const char *name) {
  for (const WineValue &value : values)
    if (wineSameName(value.name.c_str(), name ? name : "")) return &value;
  return nullptr;
}

WineRegistryResult wineRegistryString(const std::string &text, const char *key, const char *name,
                                      std::string &value, int *badLine) {
  std::vector<std::vector<WineValue>> values;
  WineRegistryResult result = wineRegistryValues(text, {key}, values, badLine);
  if (result != WINE_VALUE_FOUND) return result;
  const WineValue *found = wineFindValue(values[0], name);
  if (!found) return WINE_VALUE_MISSING;
  value = found->text;
  return WINE_VALUE_FOUND;
}

bool wineSameName(const char *a, const char *b) { return sameIgnoringCase(unitsOf(a), unitsOf(b)); }

