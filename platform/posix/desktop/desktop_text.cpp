// The text side of the freedesktop registration: the desktop entry, the
// quoting of its Exec line, and the edits of mimeapps.list.
#include <string.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/desktop/desktop.h"
#include "platform/posix/common/utf8.h"

const char desktopFileId[] = "zarnolaunch.desktop";

namespace {

const char defaultsGroup[] = "Default Applications";
const char addedGroup[] = "Added Associations";

struct Line {
  std::string text;  // without its line end
  std::string end;   // "\n", "\r\n", or "" for a last line that has none
};

std::vector<Line> splitLines(const std::string &text) {
  std::vector<Line> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t newline = text.find('\n', start);
    if (newline == std::string::npos) {
      lines.push_back({text.substr(start), ""});
      break;
    }
    size_t end = newline > start && text[newline - 1] == '\r' ? newline - 1 : newline;
    lines.push_back({text.substr(start, end - start), text.substr(end, newline + 1 - end)});
    start = newline + 1;
  }
  return lines;
}

std::string joinLines(const std::vector<Line> &lines) {
  std::string text;
  for (const Line &line : lines) text += line.text + line.end;
  return text;
}

std::string trim(const std::string &s) {
  size_t first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(" \t") + 1 - first);
}

bool groupHeader(const std::string &line, std::string &name) {
  std::string t = trim(line);
  if (t.size() < 2 || t.front() != '[' || t.back() != ']') return false;
  name = t.substr(1, t.size() - 2);
  return true;
}

// A "key=value" line, with the blanks around key and value dropped.
bool keyLine(const std::string &line, std::string &key, std::string &value) {
  std::string t = trim(line);
  size_t equals = t.find('=');
  if (t.empty() || t[0] == '#' || equals == std::string::npos) return false;
  key = trim(t.substr(0, equals));
  value = trim(t.substr(equals + 1));
  return true;
}

// MIME types ignore case.
bool isOneOf(const std::string &key, const std::vector<std::string> &types) {
  for (const std::string &type : types)
    if (platCompareNoCase(key.c_str(), type.c_str()) == 0) return true;
  return false;
}

}  // namespace

bool desktopPlainPath(const std::string &path) {
  // Letters and digits (UTF-8 ones too) and "/._-+,@:=": none of them is
  // reserved in an Exec line, an escape or a field code, or special to
  // the shell that xdg-open hands the unquoted word to.
  if (path.empty() || path[0] != '/') return false;
  for (unsigned char c : path) {
    bool plain = c >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                 (c >= '0' && c <= '9') || (c != '\0' && strchr("/._-+,@:=", c));
    if (!plain) return false;
  }
  return isValidUtf8(path.data(), path.size());
}

std::string desktopEscapeString(const std::string &value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (c == '\\')
      out += "\\\\";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\t')
      out += "\\t";
    else if (c == '\r')
      out += "\\r";
    else if (c == ' ' && (i == 0 || i + 1 == value.size()))
      out += "\\s";  // readers drop blanks at either end of a value
    else
      out += c;
  }
  return out;
}

std::string desktopUnescapeString(const std::string &value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (c == '\\' && i + 1 < value.size()) {
      switch (value[i + 1]) {
        case 's': c = ' '; break;
        case 'n': c = '\n'; break;
        case 't': c = '\t'; break;
        case 'r': c = '\r'; break;
        case '\\': break;
        default: out += c; continue;
      }
      ++i;
    }
    out += c;
  }
  return out;
}

std::string desktopExecArgument(const std::string &arg) {
  // The characters an Exec line reserves: an argument holding one is quoted.
  static const char reserved[] = " \t\n\"'\\><~|&;$*?#()`";
  bool quote = arg.empty() || arg.find_first_of(reserved) != std::string::npos;
  std::string out = quote ? "\"" : "";
  for (char c : arg) {
    if (c == '%')
      out += "%%";
    else if (quote && strchr("\"`$\\", c))
      out += std::string("\\") + c;
    else
      out += c;
  }
  return quote ? out + "\"" : out;
}

std::string desktopExecProgram(const std::string &exec) {
  size_t i = exec.find_first_not_of(' ');
  std::string program;
  if (i == std::string::npos) return program;
  if (exec[i] == '"') {
    for (++i; i < exec.size() && exec[i] != '"'; ++i) {
      if (exec[i] == '\\' && i + 1 < exec.size() && strchr("\"`$\\", exec[i + 1])) ++i;
      program += exec[i];
    }
  } else {
    program = exec.substr(i, exec.find(' ', i) - i);
  }
  std::string out;
  for (size_t k = 0; k < program.size(); ++k) {
    out += program[k];
    if (program[k] == '%' && k + 1 < program.size() && program[k + 1] == '%') ++k;
  }
  return out;
}

namespace {

// resources/zarnolaunch.desktop.in, from which the Debian package's entry is
// made too, so that the two cannot drift apart.  "@TRY_EXEC@" stands for the
// launcher itself, "@EXEC@" for the program that Exec runs.
const char desktopEntryTemplate[] =
#include "generated/zarnolaunch.desktop.in.inc"
    ;

// The template with each "@NAME@" of values replaced, in one pass: a value
// that holds "@" (paths may) is never taken for a placeholder itself.
std::string fillTemplate(const char *text,
                         const std::vector<std::pair<const char *, std::string>> &values) {
  std::string out;
  for (const char *p = text; *p;) {
    bool filled = false;
    if (*p == '@') {
      for (const auto &value : values) {
        size_t length = strlen(value.first);
        if (strncmp(p + 1, value.first, length) == 0 && p[1 + length] == '@') {
          out += value.second;
          p += length + 2;
          filled = true;
          break;
        }
      }
    }
    if (!filled) out += *p++;
  }
  return out;
}

}  // namespace

// The types are the ones the entry declares in its MimeType line.
std::vector<std::string> desktopTypes() {
  std::vector<std::string> types;
  std::string list = desktopEntryValue(desktopEntryTemplate, "MimeType");
  for (size_t start = 0, semicolon; (semicolon = list.find(';', start)) != std::string::npos;
       start = semicolon + 1)
    if (semicolon > start) types.push_back(list.substr(start, semicolon - start));
  return types;
}

std::string desktopEntryText(const std::string &self, const std::string &program) {
  return fillTemplate(desktopEntryTemplate,
                      {{"TRY_EXEC", desktopEscapeString(self)},
                       {"EXEC", desktopEscapeString(desktopExecArgument(program))}});
}

std::string desktopEntryValue(const std::string &text, const char *key) {
  std::string group, name, k, value;
  for (const Line &line : splitLines(text)) {
    if (groupHeader(line.text, name))
      group = name;
    else if (group == "Desktop Entry" && keyLine(line.text, k, value) && k == key)
      return desktopUnescapeString(value);
  }
  return "";
}

std::string mimeappsSetDefaults(const std::string &text, const std::string &desktopId,
                                const std::vector<std::string> &types) {
  std::string end = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
  std::vector<Line> out;
  auto addOurs = [&] {
    if (!out.empty() && out.back().end.empty()) out.back().end = end;
    for (const std::string &type : types) out.push_back({type + "=" + desktopId + ";", end});
  };
  std::string group, name, key, value;
  bool placed = false;
  for (const Line &line : splitLines(text)) {
    if (groupHeader(line.text, name)) {
      group = name;
      out.push_back(line);
      if (group == defaultsGroup && !placed) addOurs(), placed = true;
    } else if (!(group == defaultsGroup && keyLine(line.text, key, value) && isOneOf(key, types))) {
      out.push_back(line);
    }
  }
  if (!placed) {
    if (!out.empty() && out.back().end.empty()) out.back().end = end;
    if (!out.empty() && !trim(out.back().text).empty()) out.push_back({"", end});
    out.push_back({std::string("[") + defaultsGroup + "]", end});
    addOurs();
  }
  return joinLines(out);
}

std::string mimeappsRemove(const std::string &text, const std::string &desktopId) {
  std::vector<Line> out;
  size_t groupStart = std::string::npos;  // the current group's header in out
  bool changed = false;                   // whether the current group lost a line
  bool droppedLast = false;
  // A group that lost lines and has nothing but blank lines left goes.
  auto closeGroup = [&] {
    droppedLast = false;
    if (groupStart == std::string::npos || !changed) return;
    for (size_t i = groupStart + 1; i < out.size(); ++i)
      if (!trim(out[i].text).empty()) return;
    out.resize(groupStart);
    droppedLast = true;
  };
  std::string group, name, key, value;
  for (const Line &line : splitLines(text)) {
    if (groupHeader(line.text, name)) {
      closeGroup();
      group = name;
      groupStart = out.size();
      changed = false;
      out.push_back(line);
      continue;
    }
    if ((group == defaultsGroup || group == addedGroup) && keyLine(line.text, key, value)) {
      std::string kept;
      bool ours = false;
      size_t start = 0;
      while (start <= value.size()) {
        size_t semicolon = value.find(';', start);
        if (semicolon == std::string::npos) semicolon = value.size();
        std::string id = trim(value.substr(start, semicolon - start));
        if (id == desktopId)
          ours = true;
        else if (!id.empty())
          kept += (kept.empty() ? "" : ";") + id;
        start = semicolon + 1;
      }
      if (ours) {
        changed = true;
        if (!kept.empty()) {
          bool closed = value.back() == ';';
          out.push_back({line.text.substr(0, line.text.find('=') + 1) + kept + (closed ? ";" : ""),
                         line.end});
        }
        continue;
      }
    }
    out.push_back(line);
  }
  closeGroup();
  // The blank lines that set a dropped last group apart go with it.
  if (droppedLast)
    while (!out.empty() && trim(out.back().text).empty()) out.pop_back();
  return joinLines(out);
}
