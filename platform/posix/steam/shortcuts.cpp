// The games a player added to Steam ("Add a Non-Steam Game"): each Steam
// user's userdata/<user>/config/shortcuts.vdf, in Steam's binary KeyValues,
// a block "shortcuts" of one block a shortcut (protontricks'
// get_custom_windows_shortcuts).  Steam writes "appid", "AppName", "Exe"
// and "StartDir" (the last two in double quotes), then the shortcut's
// options; other tools that write the file spell the keys in other cases.
#include <stdlib.h>

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
                           unquoted(vdfText(entry.children, "StartDir"))};
    // The stored id is Steam's own (it may differ from the computed one
    // once Steam has changed it), a signed 32-bit number in the file.
    const VdfNode *appid = vdfFind(entry.children, "appid");
    uint32_t id = appid && !appid->block && !appid->value.empty()
                      ? (uint32_t)strtoll(appid->value.c_str(), nullptr, 10)
                      : steamShortcutId(shortcut.exe, shortcut.name);
    shortcut.exe = unquoted(shortcut.exe);
    steam.shortcuts.emplace(id, shortcut);
  }
}

const SteamShortcut *steamShortcut(SteamInstall &steam, uint32_t id) {
  if (!steam.shortcutsRead) {
    steam.shortcutsRead = true;
    for (const std::string &user : folderEntries(steam.root + "/userdata")) {
      std::string file = steam.root + "/userdata/" + user + "/config/shortcuts.vdf";
      if (isRegularFile(file)) readShortcuts(steam, file);
    }
  }
  auto found = steam.shortcuts.find(id);
  return found == steam.shortcuts.end() ? nullptr : &found->second;
}
