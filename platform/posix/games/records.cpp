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

bool readRecord(ManagerSearch &search, const std::string &path, std::string &text) {
  return readOrPassOver(path, text, search.note, search.manager + "'s record");
}

void noteDamaged(ManagerSearch &search, const std::string &path, const std::string &why) {
  noteLine(search.note, search.manager + "'s record \"" + path + "\" is damaged (" + why + "); skipping it");
}

void noteSkipped(ManagerSearch &search, const std::string &path, const std::string &why) {
  noteLine(search.note, search.manager + "'s record \"" + path + "\" " + why + "; skipping it");
}

void refuse(ManagedPrefix &prefix, const char *next, const char *format, ...) {
  char english[1024], shown[2048];
  va_list args;
  va_start(args, format);
  platFormatTexts(english, sizeof english, shown, sizeof shown, next, format, args);
  va_end(args);
  prefix.refusal = english;
  prefix.refusalShown = shown;
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

static void addScalars(yaml_document_t *doc, yaml_node_t *map, const std::string &outer,
                       YamlValues &values) {
  for (yaml_node_pair_t *pair = map->data.mapping.pairs.start; pair < map->data.mapping.pairs.top;
       ++pair) {
    yaml_node_t *key = yaml_document_get_node(doc, pair->key);
    yaml_node_t *value = yaml_document_get_node(doc, pair->value);
    if (!key || !value || key->type != YAML_SCALAR_NODE) continue;
    std::string name = outer + std::string((const char *)key->data.scalar.value, key->data.scalar.length);
    // A later key of the same name wins, as in the Python dictionary.
    if (value->type == YAML_SCALAR_NODE)
      values[name] = {std::string((const char *)value->data.scalar.value, value->data.scalar.length),
                      value->data.scalar.style == YAML_PLAIN_SCALAR_STYLE};
    else if (value->type == YAML_MAPPING_NODE && outer.empty())
      addScalars(doc, value, name + "/", values);
  }
}

bool readYamlRecord(ManagerSearch &search, const std::string &path, YamlValues &values) {
  values.clear();
  std::string text;
  if (!readRecord(search, path, text)) return false;
  yaml_parser_t parser;
  yaml_document_t doc;
  if (!yaml_parser_initialize(&parser)) return false;
  yaml_parser_set_input_string(&parser, (const unsigned char *)text.data(), text.size());
  bool loaded = yaml_parser_load(&parser, &doc);
  if (!loaded) {
    noteDamaged(search, path,
                "line " + std::to_string(parser.problem_mark.line + 1) + ": " +
                    (parser.problem ? parser.problem : "not YAML"));
    yaml_parser_delete(&parser);
    return false;
  }
  yaml_parser_delete(&parser);
  // An empty file holds no settings: Python reads it as None.
  yaml_node_t *root = yaml_document_get_root_node(&doc);
  bool ok = !root || root->type == YAML_MAPPING_NODE;
  if (!ok)
    noteDamaged(search, path, "not a mapping of settings");
  else if (root)
    addScalars(&doc, root, "", values);
  yaml_document_delete(&doc);
  return ok;
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
