#include "platform/posix/games/records.h"

#include <stdarg.h>
#include <stdio.h>

#include <dirent.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <yaml.h>

#include <algorithm>

#include "platform/posix/common/error.h"
#include "platform/posix/common/file.h"

std::vector<std::string> folderEntries(const std::string &dir) {
  std::vector<std::string> names;
  DIR *d = opendir(dir.c_str());
  if (!d) return names;
  while (struct dirent *entry = readdir(d)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

bool endsWith(const std::string &text, const char *end) {
  size_t n = strlen(end);
  return text.size() >= n && text.compare(text.size() - n, n, end) == 0;
}

std::string underHome(const std::string &path, const std::string &home) {
  if (path == "~") return home;
  if (path.compare(0, 2, "~/") == 0) return home + path.substr(1);
  return path;
}

std::string outsideSandbox(const std::string &path, const std::string &home, const char *app,
                           const char *const *granted) {
  std::string own = home + "/.var/app/" + app;
  std::string rest;
  if (path.compare(0, 2, "~/") == 0)
    rest = path.substr(1);
  else if (path.compare(0, home.size() + 1, home + "/") == 0 && path.compare(0, own.size(), own) != 0)
    rest = path.substr(home.size());
  else
    return path;
  for (; granted && *granted; ++granted) {
    std::string at = "/" + std::string(*granted);
    if (rest.compare(0, at.size(), at) == 0 && (rest.size() == at.size() || rest[at.size()] == '/'))
      return home + rest;
  }
  return isDirectory(own + rest) ? own + rest : home + rest;
}

bool readRecord(ManagerSearch &search, const std::string &path, std::string &text, size_t largest) {
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (unsigned long long)st.st_size > largest) {
    noteSkipped(search, path, "is larger than " + std::to_string(largest >> 10) + " KiB, more than any record of " +
                                  search.manager + "'s");
    return false;
  }
  return readOrPassOver(path, text, search.note, search.manager + "'s record");
}

void noteDamaged(ManagerSearch &search, const std::string &path, const std::string &why) {
  noteLine(search.note, search.manager + "'s record \"" + path + "\" is damaged (" + why + "); skipping it");
}

void noteSkipped(ManagerSearch &search, const std::string &path, const std::string &why) {
  noteLine(search.note, search.manager + "'s record \"" + path + "\" " + why + "; skipping it");
}

void refuse(ManagerStart &start, const char *next, const char *format, ...) {
  char english[1024], shown[2048];
  va_list args;
  va_start(args, format);
  platFormatTexts(english, sizeof english, shown, sizeof shown, next, format, args);
  va_end(args);
  start = ManagerStart{start.record, {}, {}, {}, english, shown};
}

void listPrefix(ManagerSearch &search, const ManagedPrefix &prefix) {
  if (!isDirectory(prefix.prefix) || !search.listed.insert(realPath(prefix.prefix)).second) return;
  search.prefixes.push_back(prefix);
  search.prefixes.back().manager = search.manager;
}

void recordsFound(ManagerSearch &search, const std::string &folder, size_t before) {
  search.found.push_back({search.manager, folder, (int)(search.prefixes.size() - before)});
}

void searchFolder(ManagerSearch &search, const std::string &place, const char *ending,
                  const std::function<void(const std::string &path)> &read) {
  std::string dir = search.home + "/" + place;
  if (!isDirectory(dir)) return;
  size_t before = search.prefixes.size();
  for (const std::string &name : folderEntries(dir))
    if (endsWith(name, ending)) read(dir + "/" + name);
  recordsFound(search, dir, before);
}

// --- YAML ------------------------------------------------------------------------

namespace {

// One mapping or list being read, and what its scalars become.
struct YamlLevel {
  bool mapping = false;
  std::string outer;  // "" at the top, "name/" for a mapping under a top-level key
  bool kept = false;  // its scalars are values (the top, and mappings directly under it)
  bool wantKey = true;
  bool keyIsScalar = false;
  std::string key;
};

struct YamlRead {
  std::vector<YamlLevel> levels;
  std::map<std::string, YamlScalar> anchors;  // scalars by their anchors, for aliases
  bool seenRoot = false;
};

// A node's start (a scalar, an alias or a collection) where a key or a
// value belongs in the level at hand: a key is remembered; a value is
// kept under its key (a later key of the same name wins, as in the Python
// dictionary).  Returns the name a collection that starts here gets
// ("" for none of ours), and whether its scalars are kept.
void yamlNode(YamlRead &read, const YamlScalar *scalar, bool &kept, std::string &outer,
              YamlValues &values) {
  kept = false;
  outer.clear();
  if (read.levels.empty()) {
    // The document's root: a mapping of settings.
    kept = true;
    return;
  }
  YamlLevel &level = read.levels.back();
  if (!level.mapping) return;
  if (level.wantKey) {
    level.wantKey = false;
    level.keyIsScalar = scalar != nullptr;
    level.key = scalar ? scalar->text : "";
    return;
  }
  level.wantKey = true;
  if (!level.kept || !level.keyIsScalar) return;
  std::string name = level.outer + level.key;
  if (scalar) {
    values[name] = *scalar;
  } else if (level.outer.empty()) {
    kept = true;
    outer = name + "/";
  }
}

}  // namespace

bool yamlValues(const std::string &text, YamlValues &values, std::string &why) {
  values.clear();
  yaml_parser_t parser;
  if (!yaml_parser_initialize(&parser)) {
    why = "out of memory";
    return false;
  }
  yaml_parser_set_input_string(&parser, (const unsigned char *)text.data(), text.size());
  // Read as events, so that a record is refused as soon as it nests too
  // deep, before the parser has taken in the rest.
  YamlRead read;
  bool done = false, ok = true;
  while (!done && ok) {
    yaml_event_t event;
    if (!yaml_parser_parse(&parser, &event)) {
      why = "line " + std::to_string(parser.problem_mark.line + 1) + ": " +
            (parser.problem ? parser.problem : "not YAML");
      ok = false;
      break;
    }
    bool kept;
    std::string outer;
    switch (event.type) {
      case YAML_SCALAR_EVENT:
      case YAML_ALIAS_EVENT: {
        YamlScalar scalar;
        const YamlScalar *found = &scalar;
        if (event.type == YAML_SCALAR_EVENT) {
          scalar = {std::string((const char *)event.data.scalar.value, event.data.scalar.length),
                    event.data.scalar.style == YAML_PLAIN_SCALAR_STYLE};
          if (event.data.scalar.anchor) read.anchors[(const char *)event.data.scalar.anchor] = scalar;
        } else {
          // An alias of a scalar stands for it; one of a list or a mapping
          // holds no setting of ours.
          auto anchor = read.anchors.find((const char *)event.data.alias.anchor);
          found = anchor == read.anchors.end() ? nullptr : &anchor->second;
        }
        if (read.levels.empty()) {
          // A document that is one scalar: no settings (an empty one is
          // Python's None, anything else is damage).
          if (event.type == YAML_SCALAR_EVENT && !(found->plain && (found->text.empty() || found->text == "~" ||
                                                                   found->text == "null"))) {
            why = "not a mapping of settings";
            ok = false;
          }
          read.seenRoot = true;
          break;
        }
        yamlNode(read, found, kept, outer, values);
        break;
      }
      case YAML_MAPPING_START_EVENT:
      case YAML_SEQUENCE_START_EVENT: {
        bool mapping = event.type == YAML_MAPPING_START_EVENT;
        if (read.levels.empty() && (!mapping || read.seenRoot)) {
          why = "not a mapping of settings";
          ok = false;
          break;
        }
        if ((int)read.levels.size() >= deepestRecord) {
          why = "line " + std::to_string(event.start_mark.line + 1) + ": nested deeper than " +
                std::to_string(deepestRecord) + " levels";
          ok = false;
          break;
        }
        yamlNode(read, nullptr, kept, outer, values);
        YamlLevel level;
        level.mapping = mapping;
        level.outer = outer;
        level.kept = kept && mapping;
        read.levels.push_back(level);
        read.seenRoot = true;
        break;
      }
      case YAML_MAPPING_END_EVENT:
      case YAML_SEQUENCE_END_EVENT:
        read.levels.pop_back();
        break;
      case YAML_DOCUMENT_END_EVENT:
      case YAML_STREAM_END_EVENT:
        // Only the first document holds settings.
        done = true;
        break;
      default:
        break;
    }
    yaml_event_delete(&event);
  }
  yaml_parser_delete(&parser);
  if (!ok) values.clear();
  return ok;
}

bool readYamlRecord(ManagerSearch &search, const std::string &path, YamlValues &values) {
  values.clear();
  std::string text, why;
  if (!readRecord(search, path, text)) return false;
  if (yamlValues(text, values, why)) return true;
  noteDamaged(search, path, why);
  return false;
}

std::string yamlText(const YamlValues &values, const char *key) {
  auto found = values.find(key);
  return found == values.end() ? "" : found->second.text;
}

bool yamlTrue(const YamlValues &values, const char *key) {
  auto found = values.find(key);
  if (found == values.end()) return false;
  const YamlScalar &v = found->second;
  if (!v.plain) return !v.text.empty();
  // PyYAML's resolver: YAML 1.1 booleans and nulls, and numbers, where
  // false, None and zero are false.
  static const char *const falseWords[] = {"false", "False", "FALSE", "no",   "No",   "NO",
                                           "off",   "Off",   "OFF",   "null", "Null", "NULL",
                                           "~",     ""};
  for (const char *word : falseWords)
    if (v.text == word) return false;
  char *end;
  double number = strtod(v.text.c_str(), &end);
  return *end || number != 0;
}
