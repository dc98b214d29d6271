#include "platform/posix/regfile.h"

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

RegKey *regFindKey(RegFile &file, const std::string &fullPath) {
  auto it = file.byPath.find(lowered(fullPath));
  return it == file.byPath.end() ? nullptr : &file.keys[it->second];
}

RegKey &regMakeKey(RegFile &file, const std::string &fullPath) {
  std::string key = lowered(fullPath);
  auto it = file.byPath.find(key);
  if (it != file.byPath.end()) return file.keys[it->second];
  // Parents are made explicit, as a registry export shows them; the roots
  // themselves always exist and get no section of their own.
  size_t slash = fullPath.rfind('\\');
  if (slash != std::string::npos && fullPath.find('\\') < slash)
    regMakeKey(file, fullPath.substr(0, slash));
  file.byPath.emplace(std::move(key), file.keys.size());
  file.keys.push_back(RegKey{fullPath, {}, {}});
  return file.keys.back();
}

const RegValue *regFindValue(const RegKey &key, const std::string &name) {
  auto it = key.byName.find(lowered(name));
  return it == key.byName.end() ? nullptr : &key.values[it->second];
}

bool regSetValue(RegKey &key, const std::string &name, unsigned long type,
                 const std::string &data) {
  auto found = key.byName.emplace(lowered(name), key.values.size());
  if (found.second) {
    key.values.push_back(RegValue{name, type, data});
    return true;
  }
  RegValue &v = key.values[found.first->second];
  if (v.type == type && v.data == data) return false;
  v.type = type;
  v.data = data;
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
static bool eraseNamed(std::vector<Item> &items, std::unordered_map<std::string, size_t> &index,
                       const std::string &name, std::string Item::*nameOf) {
  auto it = index.find(lowered(name));
  if (it == index.end()) return false;
  items.erase(items.begin() + (std::ptrdiff_t)it->second);
  index.clear();
  for (size_t i = 0; i < items.size(); ++i) index.emplace(lowered(items[i].*nameOf), i);
  return true;
}

bool regEraseKey(RegFile &file, const std::string &fullPath) {
  return eraseNamed(file.keys, file.byPath, fullPath, &RegKey::path);
}

bool regEraseValue(RegKey &key, const std::string &name) {
  return eraseNamed(key.values, key.byName, name, &RegValue::name);
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

bool regParse(const char *data, size_t length, RegFile &out) {
  out = RegFile();
  const char *p = data;
  const char *end = data + length;
  if (end - p >= 3 && memcmp(p, "\xEF\xBB\xBF", 3) == 0) p += 3;

  bool sawHeader = false;
  RegKey *current = nullptr;
  std::string line;
  while (p < end) {
    // One logical line: a line ending in a backslash goes on in the next.
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
      // Only value lines go on; "[...]" and comments end where they end.
      bool continued = !line.empty() && line.back() == '\\' && line[0] != '[' && line[0] != ';';
      if (!continued || p >= end) break;
      line.pop_back();
    }
    if (memchr(line.data(), '\0', line.size())) return false;
    const char *b = line.data();
    const char *e = b + line.size();
    skipSpaces(b, e);
    while (e > b && (e[-1] == ' ' || e[-1] == '\t')) --e;
    if (b == e || *b == ';') continue;

    if (!sawHeader) {
      if ((size_t)(e - b) != 8 || memcmp(b, "REGEDIT4", 8) != 0) return false;
      sawHeader = true;
      continue;
    }
    if (*b == '[') {
      if (e[-1] != ']' || e - b < 3 || b[1] == '-') return false;
      std::string inner(b + 1, (size_t)(e - b - 2));
      size_t slash = inner.find('\\');
      const char *root = rootNamed(inner.substr(0, slash));
      if (!root) return false;
      current = &regMakeKey(out, regFullPath(root, slash == std::string::npos ? "" : &inner[slash + 1]));
      continue;
    }
    if (!current) return false;
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
    regSetValue(*current, value.name, value.type, value.data);
  }
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

std::string regSerialize(const RegFile &file) {
  std::string out = "REGEDIT4\n";
  for (const RegKey &key : file.keys) {
    out += "\n[";
    out += key.path;
    out += "]\n";
    for (const RegValue &v : key.values) {
      if (v.name.empty())
        out += '@';
      else
        appendQuoted(out, v.name.data(), v.name.size());
      out += '=';
      appendData(out, v);
      out += '\n';
    }
  }
  return out;
}
