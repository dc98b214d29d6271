#include "platform/posix/registry/regfile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/text.h"

static const struct {
  unsigned long handle;
  const char *name;
} roots[] = {
    {0x80000000UL, "HKEY_CLASSES_ROOT"}, {0x80000001UL, "HKEY_CURRENT_USER"},
    {0x80000002UL, "HKEY_LOCAL_MACHINE"}, {0x80000003UL, "HKEY_USERS"},
    {0x80000005UL, "HKEY_CURRENT_CONFIG"},
};

const char *regRootName(unsigned long root) {
  for (const auto &r : roots)
    if (r.handle == root) return r.name;
  return nullptr;
}

static std::string lowered(const std::string &s) {
  std::string out(s);
  for (char &c : out) c = (char)asciiLower((unsigned char)c);
  return out;
}

std::string regFullPath(const char *rootName, const char *path) {
  std::string full(rootName);
  const char *p = path ? path : "";
  while (*p) {
    const char *end = strchr(p, '\\');
    size_t n = end ? (size_t)(end - p) : strlen(p);
    if (n) {
      full += '\\';
      full.append(p, n);
    }
    p += n;
    if (*p) ++p;
  }
  return full;
}

bool regIsRoot(const std::string &fullPath) { return fullPath.find('\\') == std::string::npos; }

// ---- lines ------------------------------------------------------------------

// A line's text as it stands now.
static std::string lineText(const RegFile &file, size_t line) {
  const RegLine &l = file.lines[line];
  return l.own ? l.text : file.original.substr(l.from, l.to - l.from);
}

// The line's text, its own from now on, to be changed.
static std::string &ownText(RegFile &file, size_t line) {
  RegLine &l = file.lines[line];
  if (!l.own) {
    l.text = lineText(file, line);
    l.own = true;
  }
  return l.text;
}

static void removeLine(RegFile &file, size_t line) {
  file.lines[line].own = true;
  file.lines[line].text.clear();
}

// A line that will have another after it needs its line end: only the
// file's last line may lack one.
static void terminate(RegFile &file, size_t line) {
  const RegLine &l = file.lines[line];
  char last = l.own ? (l.text.empty() ? '\n' : l.text.back()) : file.original[l.to - 1];
  if (last == '\n') return;
  // A last line that ends in a carriage return already has half of one.
  ownText(file, line) += last == '\r' ? "\n" : file.lineEnd;
}

// Puts a line after the line after (regNoLine: into an empty file).
static size_t insertLine(RegFile &file, size_t after, RegLine added) {
  size_t line = file.lines.size();
  if (after == regNoLine) {
    added.next = file.firstLine;
    file.lines.push_back(std::move(added));
    file.firstLine = line;
  } else {
    terminate(file, after);
    added.next = file.lines[after].next;
    file.lines.push_back(std::move(added));
    file.lines[after].next = line;
  }
  if (file.lines[line].next == regNoLine) file.lastLine = line;
  return line;
}

static size_t insertLine(RegFile &file, size_t after, const std::string &text) {
  return insertLine(file, after, RegLine{0, 0, true, text, regNoLine});
}

static size_t appendLine(RegFile &file, const std::string &text) {
  return insertLine(file, file.lastLine, text);
}

static std::string lineEndOf(const std::string &text) {
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) return "\r\n";
  if (!text.empty() && text.back() == '\n') return "\n";
  return "";
}

// The header of a section names a key in its brackets; whatever is around
// them (the blank line before the section, the line end) stays.
static void renameSection(std::string &text, const std::string &path) {
  size_t open = text.find('[');
  size_t close = text.rfind(']');
  text.replace(open + 1, close - open - 1, path);
}

static void addSection(RegFile &file, RegKey &key) {
  if (file.firstLine == regNoLine) appendLine(file, "REGEDIT4" + file.lineEnd);
  size_t line = appendLine(file, file.lineEnd + "[" + key.path + "]" + file.lineEnd);
  key.sections.push_back(line);
  key.lastLine = line;
}

static std::string valueText(const RegValue &v);

// ---- keys and values --------------------------------------------------------

// The key's entry, made with its parents' when missing, without sections.
static size_t keyEntry(RegFile &file, const std::string &fullPath) {
  std::string key = lowered(fullPath);
  auto it = file.byPath.find(key);
  if (it != file.byPath.end()) return it->second;
  // The roots themselves always exist and have an entry only when a
  // section names them.
  size_t slash = fullPath.rfind('\\');
  if (slash != std::string::npos && fullPath.find('\\') < slash)
    keyEntry(file, fullPath.substr(0, slash));
  file.byPath.emplace(std::move(key), file.keys.size());
  file.keys.emplace_back();
  file.keys.back().path = fullPath;
  return file.keys.size() - 1;
}

RegKey *regFindKey(RegFile &file, const std::string &fullPath) {
  auto it = file.byPath.find(lowered(fullPath));
  return it == file.byPath.end() ? nullptr : &file.keys[it->second];
}

RegKey &regMakeKey(RegFile &file, const std::string &fullPath) {
  size_t known = file.keys.size();
  size_t index = keyEntry(file, fullPath);
  RegKey &key = file.keys[index];
  // Only the new key itself is spelled out: its parents exist through it.
  if (index >= known && !regIsRoot(fullPath)) addSection(file, key);
  return key;
}

const RegValue *regFindValue(const RegKey &key, const std::string &name) {
  auto it = key.byName.find(lowered(name));
  return it == key.byName.end() ? nullptr : &key.values[it->second];
}

bool regSetValue(RegFile &file, RegKey &key, const std::string &name, unsigned long type,
                 const std::string &data) {
  auto found = key.byName.find(lowered(name));
  if (found != key.byName.end()) {
    RegValue &v = key.values[found->second];
    if (v.type == type && v.data == data) return false;
    v.type = type;
    v.data = data;
    // In place, on the line that counts, in the spelling first read.
    std::string &text = ownText(file, v.line);
    text = valueText(v) + lineEndOf(text);
    return true;
  }
  if (key.sections.empty()) addSection(file, key);
  RegValue v{name, type, data, regNoLine, {}};
  key.lastLine = insertLine(file, key.lastLine, valueText(v) + file.lineEnd);
  v.line = key.lastLine;
  key.byName.emplace(lowered(name), key.values.size());
  key.values.push_back(std::move(v));
  return true;
}

std::vector<std::string> regSubkeyNames(const RegFile &file, const std::string &fullPath) {
  std::vector<std::string> names;
  std::string prefix = lowered(fullPath) + '\\';
  for (const RegKey &key : file.keys) {
    if (key.path.size() <= prefix.size() || lowered(key.path).compare(0, prefix.size(), prefix) != 0)
      continue;
    std::string rest = key.path.substr(prefix.size());
    if (rest.find('\\') == std::string::npos) names.push_back(rest);
  }
  return names;
}

// Keys and values alike: a vector in file order, and an index by lowered
// name, renumbered after the removal.
template <typename Item>
static void eraseNamed(std::vector<Item> &items, std::unordered_map<std::string, size_t> &index,
                       const std::string &name, std::string Item::*nameOf) {
  auto it = index.find(lowered(name));
  items.erase(items.begin() + (std::ptrdiff_t)it->second);
  index.clear();
  for (size_t i = 0; i < items.size(); ++i) index.emplace(lowered(items[i].*nameOf), i);
}

static void removeLines(RegFile &file, const RegValue &v) {
  removeLine(file, v.line);
  for (size_t line : v.earlier) removeLine(file, line);
}

bool regEraseKey(RegFile &file, const std::string &fullPath) {
  RegKey *key = regFindKey(file, fullPath);
  if (!key || !regSubkeyNames(file, fullPath).empty()) return false;
  for (const RegValue &v : key->values) removeLines(file, v);
  // On Windows the parent stays when its last subkey goes; here a parent no
  // section names would go with it, so it takes over the removed section.
  RegKey *parent = nullptr;
  size_t slash = key->path.rfind('\\');
  if (slash != std::string::npos && !key->sections.empty()) {
    std::string parentPath = key->path.substr(0, slash);
    parent = regIsRoot(parentPath) ? nullptr : regFindKey(file, parentPath);
    if (parent && (!parent->sections.empty() || regSubkeyNames(file, parentPath).size() > 1))
      parent = nullptr;
  }
  for (size_t i = 0; i < key->sections.size(); ++i) {
    if (i == 0 && parent) {
      renameSection(ownText(file, key->sections[i]), parent->path);
      parent->sections.push_back(key->sections[i]);
      parent->lastLine = key->sections[i];
    } else {
      removeLine(file, key->sections[i]);
    }
  }
  eraseNamed(file.keys, file.byPath, fullPath, &RegKey::path);
  return true;
}

bool regEraseValue(RegFile &file, RegKey &key, const std::string &name) {
  const RegValue *v = regFindValue(key, name);
  if (!v) return false;
  removeLines(file, *v);
  eraseNamed(key.values, key.byName, name, &RegValue::name);
  return true;
}

// ---- reading ----------------------------------------------------------------

static int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = (char)asciiLower((unsigned char)c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

static void skipSpaces(const char *&p, const char *end) {
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
}

// A quoted string with \\ and \" escapes; p is on the opening quote.
static bool readQuoted(const char *&p, const char *end, std::string &out) {
  if (p >= end || *p != '"') return false;
  ++p;
  out.clear();
  while (p < end && *p != '"') {
    if (*p == '\\') {
      if (++p >= end) return false;
      out += *p++;
      continue;
    }
    const char *run = p;
    while (p < end && *p != '"' && *p != '\\') ++p;
    out.append(run, (size_t)(p - run));
  }
  if (p >= end) return false;
  ++p;
  return true;
}

// "xx,xx,...": the bytes of a hex: or hex(N): value, already joined over
// continuation lines.
static bool readHexBytes(const char *p, const char *end, std::string &out) {
  out.clear();
  skipSpaces(p, end);
  if (p == end) return true;
  for (;;) {
    skipSpaces(p, end);
    if (end - p < 2) return false;
    int hi = hexDigit(p[0]);
    int lo = hexDigit(p[1]);
    if (hi < 0 || lo < 0) return false;
    out += (char)(hi << 4 | lo);
    p += 2;
    skipSpaces(p, end);
    if (p == end) return true;
    if (*p++ != ',') return false;
  }
}

static bool readData(const char *p, const char *end, RegValue &value) {
  if (p < end && *p == '"') {
    if (!readQuoted(p, end, value.data)) return false;
    skipSpaces(p, end);
    if (p != end) return false;
    value.type = REG_TYPE_SZ;
    value.data += '\0';
    return true;
  }
  if (end - p >= 6 && strncmp(p, "dword:", 6) == 0) {
    p += 6;
    if (end - p < 1 || end - p > 8) return false;
    unsigned long n = 0;
    for (int i = 0; i < end - p; ++i) {
      int d = hexDigit(p[i]);
      if (d < 0) return false;
      n = n << 4 | (unsigned long)d;
    }
    value.type = 4;
    value.data.assign(4, '\0');
    for (int i = 0; i < 4; ++i) value.data[i] = (char)(n >> (8 * i) & 0xFF);
    return true;
  }
  if (end - p >= 4 && strncmp(p, "hex:", 4) == 0) {
    value.type = REG_TYPE_BINARY;
    return readHexBytes(p + 4, end, value.data);
  }
  if (end - p >= 4 && strncmp(p, "hex(", 4) == 0) {
    p += 4;
    unsigned long type = 0;
    int digits = 0;
    for (; p < end && hexDigit(*p) >= 0 && digits < 8; ++p, ++digits)
      type = type << 4 | (unsigned long)hexDigit(*p);
    if (!digits || end - p < 2 || p[0] != ')' || p[1] != ':') return false;
    value.type = type;
    return readHexBytes(p + 2, end, value.data);
  }
  return false;
}

// The root's name as the launcher spells it, for any spelling of it.
static const char *rootNamed(const std::string &name) {
  for (const auto &r : roots)
    if (platCompareNoCase(r.name, name.c_str()) == 0) return r.name;
  return nullptr;
}

// A value line's value into the key's entry; a name seen before in the key
// takes the later line's value, as a registry import does.
static void readValue(RegKey &key, RegValue &value, size_t line) {
  key.lastLine = line;
  auto found = key.byName.emplace(lowered(value.name), key.values.size());
  if (found.second) {
    value.line = line;
    key.values.push_back(std::move(value));
    return;
  }
  RegValue &v = key.values[found.first->second];
  v.type = value.type;
  v.data = std::move(value.data);
  v.earlier.push_back(v.line);
  v.line = line;
}

// Whether the logical line at b..e (trimmed) parses, given the state so
// far; a section header makes its key current.
static bool readLine(RegFile &out, const char *b, const char *e, size_t line, bool &sawHeader,
                     size_t &current) {
  if (b == e || *b == ';') return true;
  if (!sawHeader) {
    sawHeader = (size_t)(e - b) == 8 && memcmp(b, "REGEDIT4", 8) == 0;
    return sawHeader;
  }
  if (*b == '[') {
    if (e[-1] != ']' || e - b < 3 || b[1] == '-') return false;
    std::string inner(b + 1, (size_t)(e - b - 2));
    size_t slash = inner.find('\\');
    const char *root = rootNamed(inner.substr(0, slash));
    if (!root) return false;
    current = keyEntry(out, regFullPath(root, slash == std::string::npos ? "" : &inner[slash + 1]));
    out.keys[current].sections.push_back(line);
    out.keys[current].lastLine = line;
    return true;
  }
  if (current == regNoLine) return false;
  RegValue value;
  if (*b == '@') {
    ++b;
  } else if (!readQuoted(b, e, value.name) || value.name.empty()) {
    return false;
  }
  skipSpaces(b, e);
  if (b >= e || *b++ != '=') return false;
  skipSpaces(b, e);
  if (!readData(b, e, value)) return false;
  readValue(out.keys[current], value, line);
  return true;
}

bool regParse(const char *data, size_t length, RegFile &out, RegParseError *error) {
  out = RegFile();
  out.original.assign(data, length);
  out.lines.reserve((size_t)std::count(data, data + length, '\n') + 1);
  const char *end = data + length;
  const char *p = data;
  if (length >= 3 && memcmp(p, "\xEF\xBB\xBF", 3) == 0) p += 3;
  const char *textStart = p;
  const char *firstEnd = (const char *)memchr(data, '\n', length);
  if (firstEnd && firstEnd > data && firstEnd[-1] == '\r') out.lineEnd = "\r\n";

  bool sawHeader = false;
  size_t current = regNoLine;  // the key of the section we are in
  int number = 1;              // of the physical line p is on
  bool afterBlank = false;     // the line before was blank
  std::string line;
  while (p < end) {
    // One logical line: a line ending in a backslash goes on in the next.
    const char *start = p;
    int startNumber = number;
    line.clear();
    for (;;) {
      const char *nl = (const char *)memchr(p, '\n', (size_t)(end - p));
      const char *lineEnd = nl ? nl : end;
      const char *stop = lineEnd;
      if (stop > p && stop[-1] == '\r') --stop;
      const char *from = p;
      if (!line.empty()) skipSpaces(from, stop);
      line.append(from, (size_t)(stop - from));
      p = nl ? nl + 1 : end;
      ++number;
      // Only value lines go on; "[...]" and comments end where they end,
      // indented or not.
      size_t first = line.find_first_not_of(" \t");
      bool continued = first != std::string::npos && line.back() == '\\' && line[first] != '[' &&
                       line[first] != ';';
      if (!continued || p >= end) break;
      line.pop_back();
    }
    const char *b = line.data();
    const char *e = b + line.size();
    skipSpaces(b, e);
    while (e > b && (e[-1] == ' ' || e[-1] == '\t')) --e;
    // The byte order mark stays with the first line.  A blank line right
    // before a section header goes with the section, as the one written
    // before a new section does: removing the key takes it too, so that an
    // "-install" and an "-uninstall" leave no trace.
    size_t from = (size_t)((start == textStart ? data : start) - data);
    size_t index;
    if (b < e && *b == '[' && afterBlank) {
      index = out.lastLine;
      out.lines[index].to = (size_t)(p - data);
    } else {
      index = insertLine(out, out.lastLine, RegLine{from, (size_t)(p - data), false, {}, regNoLine});
    }
    afterBlank = b == e;
    bool ok = !memchr(line.data(), '\0', line.size()) && readLine(out, b, e, index, sawHeader, current);
    if (!ok || (p >= end && !sawHeader)) {
      // A file of nothing but comments lacks its first line's REGEDIT4.
      if (ok) start = textStart, startNumber = 1;
      if (error) {
        const char *stop = (const char *)memchr(start, '\n', (size_t)(end - start));
        if (!stop) stop = end;
        if (stop > start && stop[-1] == '\r') --stop;
        error->line = startNumber;
        error->text.assign(start, std::min<size_t>((size_t)(stop - start), 80));
      }
      return false;
    }
  }
  if (!sawHeader && error) error->line = 1, error->text.clear();
  return sawHeader;
}

// ---- writing ----------------------------------------------------------------

static void appendQuoted(std::string &out, const char *s, size_t n) {
  out += '"';
  for (size_t i = 0; i < n; ++i) {
    if (s[i] == '\\' || s[i] == '"') out += '\\';
    out += s[i];
  }
  out += '"';
}

// A REG_SZ can be written as a quoted string only when its text says all:
// one terminator at the end, and no line break inside.
static bool plainString(const RegValue &v) {
  if (v.type != REG_TYPE_SZ || v.data.empty() || v.data.back() != '\0') return false;
  for (size_t i = 0; i + 1 < v.data.size(); ++i)
    if (v.data[i] == '\0' || v.data[i] == '\n' || v.data[i] == '\r') return false;
  return true;
}

static void appendData(std::string &out, const RegValue &v) {
  if (plainString(v)) {
    appendQuoted(out, v.data.data(), v.data.size() - 1);
    return;
  }
  char head[24];
  if (v.type == 4 && v.data.size() == 4) {
    unsigned long n = 0;
    for (int i = 3; i >= 0; --i) n = n << 8 | (unsigned char)v.data[i];
    snprintf(head, sizeof head, "dword:%08lx", n);
    out += head;
    return;
  }
  if (v.type == REG_TYPE_BINARY) {
    out += "hex:";
  } else {
    snprintf(head, sizeof head, "hex(%lx):", v.type);
    out += head;
  }
  static const char digits[] = "0123456789abcdef";
  for (size_t i = 0; i < v.data.size(); ++i) {
    if (i) out += ',';
    unsigned char c = (unsigned char)v.data[i];
    out += digits[c >> 4];
    out += digits[c & 15];
  }
}

static std::string valueText(const RegValue &v) {
  std::string out;
  if (v.name.empty())
    out += '@';
  else
    appendQuoted(out, v.name.data(), v.name.size());
  out += '=';
  appendData(out, v);
  return out;
}

std::string regSerialize(const RegFile &file) {
  std::string out;
  out.reserve(file.original.size());
  for (size_t line = file.firstLine; line != regNoLine; line = file.lines[line].next) {
    const RegLine &l = file.lines[line];
    if (l.own)
      out += l.text;
    else
      out.append(file.original, l.from, l.to - l.from);
  }
  return out;
}
