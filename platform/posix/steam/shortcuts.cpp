// The games a player added to Steam ("Add a Non-Steam Game"): each Steam
// user's userdata/<user>/config/shortcuts.vdf, in Steam's binary KeyValues,
// a block "shortcuts" of one block a shortcut (protontricks'
// get_custom_windows_shortcuts).  Steam writes "appid", "AppName", "Exe"
// and "StartDir" (the last two in double quotes), then the shortcut's
// options; other tools that write the file spell the keys in other cases.
#include <stdlib.h>

#include <algorithm>

#include "platform/posix/steam/steam.h"

// Steam rewrites the file whole with every change of a shortcut; a few
// thousand shortcuts fit in a megabyte.
static const size_t largestShortcuts = 16 << 20;

uint32_t steamShortcutId(const std::string &exe, const std::string &name) {
  // CRC-32 as zlib computes it (the reflected polynomial 0xEDB88320).
  uint32_t crc = 0xFFFFFFFFu;
  for (const std::string *part : {&exe, &name}) {
    for (unsigned char byte : *part) {
      crc ^= byte;
      for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
  }
  return ~crc | 0x80000000u;
}

static std::string unquoted(const std::string &text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') return text.substr(1, text.size() - 2);
  return text;
}

static void readShortcuts(SteamInstall &steam, const std::string &file) {
  std::string data, why;
  std::vector<VdfNode> nodes;
  if (!readRecord(steam.search, file, data, largestShortcuts)) return;
  if (!vdfParseBinary(data, nodes, why)) {
    noteDamaged(steam.search, file, why);
    return;
  }
  const VdfNode *list = vdfFind(nodes, "shortcuts");
  if (!list || !list->block) {
    noteDamaged(steam.search, file, "no \"shortcuts\" block");
    return;
  }
  for (const VdfNode &entry : list->children) {
    if (!entry.block) continue;
    SteamShortcut shortcut{vdfText(entry.children, "AppName"), vdfText(entry.children, "Exe"),
                           unquoted(vdfText(entry.children, "StartDir")), vdfText(entry.children, "LaunchOptions"),
                           file};
    // The stored id is Steam's own (it may differ from the computed one
    // once Steam has changed it), a signed 32-bit number in the file.
    const VdfNode *appid = vdfFind(entry.children, "appid");
    uint32_t id = appid && !appid->block && !appid->value.empty()
                      ? (uint32_t)strtoll(appid->value.c_str(), nullptr, 10)
                      : steamShortcutId(shortcut.exe, shortcut.name);
    shortcut.exe = unquoted(shortcut.exe);
    // An id held by the user read first keeps that user's shortcut.
    steam.shortcuts.emplace(id, shortcut);
  }
}

// The userdata folder of the user signed in last: loginusers.vdf keeps each
// user under the 64-bit Steam ID, whose low 32 bits name the folder
// (protontricks' get_current_steam_user_id).  "" when none is marked.
static std::string signedInUser(SteamInstall &steam) {
  std::string file = steam.root + "/config/loginusers.vdf", text, why;
  std::vector<VdfNode> nodes;
  if (!isRegularFile(file) || !readRecord(steam.search, file, text)) return "";
  if (!vdfParse(text, nodes, why)) {
    noteDamaged(steam.search, file, why);
    return "";
  }
  const VdfNode *users = vdfFind(nodes, "users");
  if (!users || !users->block) return "";
  for (const VdfNode &user : users->children)
    if (user.block && vdfText(user.children, "MostRecent") == "1")
      return std::to_string(strtoull(user.key.c_str(), nullptr, 10) & 0xFFFFFFFFu);
  return "";
}

const SteamShortcut *steamShortcut(SteamInstall &steam, uint32_t id) {
  if (!steam.shortcutsRead) {
    steam.shortcutsRead = true;
    std::vector<std::string> users = folderEntries(steam.root + "/userdata");
    auto first = std::find(users.begin(), users.end(), signedInUser(steam));
    if (first != users.end()) std::rotate(users.begin(), first, first + 1);
    for (const std::string &user : users) {
      std::string file = steam.root + "/userdata/" + user + "/config/shortcuts.vdf";
      if (isRegularFile(file)) readShortcuts(steam, file);
    }
  }
  auto found = steam.shortcuts.find(id);
  return found == steam.shortcuts.end() ? nullptr : &found->second;
}

static bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

bool steamLaunchOptions(const std::string &text, std::vector<std::string> &before,
                        std::vector<std::string> &after) {
  before.clear();
  after.clear();
  std::vector<std::string> words;
  bool split = false;
  for (size_t i = 0; i < text.size();) {
    if (isBlank(text[i])) {
      ++i;
      continue;
    }
    std::string word;
    bool quoted = false;
    char quote = 0;
    for (; i < text.size() && (quote || !isBlank(text[i])); ++i) {
      char c = text[i];
      if (quote == '\'') {
        if (c == '\'')
          quote = 0;
        else
          word += c;
      } else if (quote && c == '"') {
        quote = 0;
      } else if (!quote && (c == '\'' || c == '"')) {
        quote = c;
        quoted = true;
      } else if (c == '\\' && i + 1 < text.size() &&
                 (!quote || text[i + 1] == '"' || text[i + 1] == '\\' || text[i + 1] == '$' || text[i + 1] == '`')) {
        word += text[++i];
      } else {
        word += c;
      }
    }
    if (quote) return false;
    // Steam puts its command in place of the first "%command%".
    if (!quoted && word == "%command%" && !split) {
      split = true;
      before.swap(words);
    } else {
      words.push_back(word);
    }
  }
  after.swap(words);
  return true;
}
