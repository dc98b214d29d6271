#include "support/game_managers.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace support {

void putFile(const std::string &path, const std::string &text, bool program) {
  fs::create_directories(fs::path(path).parent_path());
  FILE *f = fopen(path.c_str(), "wb");
  if (f) {
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
  }
  if (program) fs::permissions(path, fs::perms::owner_all, fs::perm_options::add);
}

namespace {

void write(const std::string &path, const std::string &text) { putFile(path, text); }

// A quoted string as Steam and JSON both write it.
std::string quoted(const std::string &text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string expandTilde(const std::string &path, const std::string &home) {
  size_t tilde = path.find('~');
  return tilde == std::string::npos ? path : path.substr(0, tilde) + home + path.substr(tilde + 1);
}

}  // namespace

void makeWinePrefix(const std::string &prefix) {
  if (fs::exists(prefix + "/system.reg")) return;
  fs::create_directories(prefix + "/drive_c/windows/system32");
  fs::create_directories(prefix + "/dosdevices");
  std::error_code linked;
  fs::create_directory_symlink("../drive_c", prefix + "/dosdevices/c:", linked);
  write(prefix + "/system.reg",
        "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n\n"
        "[Software\\\\Wine] 1712345678\n#time=1da84c5e1b2a3f0\n\"Version\"=\"win10\"\n");
}

void makeSteamRoot(const std::string &root, const std::vector<std::string> &libraries) {
  std::string vdf = "\"libraryfolders\"\n{\n";
  for (size_t i = 0; i < libraries.size(); ++i)
    vdf += "\t\"" + std::to_string(i) + "\"\n\t{\n\t\t\"path\"\t\t" + quoted(libraries[i]) +
           "\n\t\t\"label\"\t\t\"\"\n\t\t\"contentid\"\t\t\"730581636782635614" + std::to_string(i) +
           "\"\n\t\t\"totalsize\"\t\t\"0\"\n\t\t\"update_clean_bytes_tally\"\t\t\"79891548\"\n"
           "\t\t\"time_last_update_verified\"\t\t\"1712345678\"\n\t\t\"apps\"\n\t\t{\n"
           "\t\t\t\"228980\"\t\t\"283758390\"\n\t\t}\n\t}\n";
  write(root + "/steamapps/libraryfolders.vdf", vdf + "}\n");
  fs::create_directories(root + "/config");
}

void makeSteamApp(const std::string &library, const std::string &appid, bool installed) {
  std::string steamapps = library + "/steamapps";
  write(steamapps + "/compatdata/" + appid + "/version", "8.0-5\n");
  makeWinePrefix(steamapps + "/compatdata/" + appid + "/pfx");
  if (!installed) return;
  makeSteamManifest(library, appid, "Zarnok");
  fs::create_directories(steamapps + "/common/Zarnok");
}

void makeSteamManifest(const std::string &library, const std::string &appid, const std::string &installdir) {
  write(library + "/steamapps/appmanifest_" + appid + ".acf",
        "\"AppState\"\n{\n\t\"appid\"\t\t\"" + appid +
            "\"\n\t\"universe\"\t\t\"1\"\n\t\"name\"\t\t" + quoted(installdir) + "\n\t\"StateFlags\"\t\t\"4\"\n"
            "\t\"installdir\"\t\t" + quoted(installdir) + "\n\t\"LastUpdated\"\t\t\"1712345678\"\n"
            "\t\"SizeOnDisk\"\t\t\"1048576\"\n\t\"buildid\"\t\t\"13371337\"\n"
            "\t\"LastOwner\"\t\t\"76561198000000000\"\n\t\"AutoUpdateBehavior\"\t\t\"0\"\n"
            "\t\"InstalledDepots\"\n\t{\n\t\t\"" + appid +
            "1\"\n\t\t{\n\t\t\t\"manifest\"\t\t\"1234567890123456789\"\n\t\t\t\"size\"\t\t\"1048576\"\n"
            "\t\t}\n\t}\n\t\"UserConfig\"\n\t{\n\t\t\"language\"\t\t\"english\"\n\t}\n}\n");
}

VdfNode vdfString(const std::string &key, const std::string &value) {
  VdfNode node;
  node.key = key;
  node.value = value;
  return node;
}

VdfNode vdfInt(const std::string &key, long long value) {
  VdfNode node = vdfString(key, std::to_string(value));
  node.type = VDF_BINARY_INT32;
  return node;
}

VdfNode vdfBlock(const std::string &key, const std::vector<VdfNode> &children) {
  VdfNode node;
  node.key = key;
  node.block = true;
  node.type = VDF_BINARY_BLOCK;
  node.children = children;
  return node;
}

static void addNumber(std::string &out, unsigned long long value, int size) {
  for (int i = 0; i < size; ++i) out += (char)((value >> (8 * i)) & 0xFF);
}

static void addNodes(std::string &out, const std::vector<VdfNode> &nodes, std::vector<std::string> *keys) {
  for (const VdfNode &n : nodes) {
    out += (char)n.type;
    if (keys) {
      size_t index = 0;
      while (index < keys->size() && (*keys)[index] != n.key) ++index;
      if (index == keys->size()) keys->push_back(n.key);
      addNumber(out, index, 4);
    } else {
      out += n.key + '\0';
    }
    switch (n.type) {
      case VDF_BINARY_BLOCK: addNodes(out, n.children, keys); break;
      case VDF_BINARY_STRING: out += n.value + '\0'; break;
      case VDF_BINARY_FLOAT32: {
        float f = strtof(n.value.c_str(), nullptr);
        unsigned int bits;
        memcpy(&bits, &f, sizeof bits);
        addNumber(out, bits, 4);
        break;
      }
      case VDF_BINARY_UINT64: addNumber(out, strtoull(n.value.c_str(), nullptr, 10), 8); break;
      case VDF_BINARY_INT64: addNumber(out, (unsigned long long)strtoll(n.value.c_str(), nullptr, 10), 8); break;
      default: addNumber(out, (unsigned long long)strtoll(n.value.c_str(), nullptr, 10), 4);
    }
  }
  out += (char)VDF_BINARY_END;
}

std::string binaryVdf(const std::vector<VdfNode> &nodes, std::vector<std::string> *keys) {
  std::string out;
  addNodes(out, nodes, keys);
  return out;
}

void makeSteamShortcuts(const std::string &root, const std::string &user, const std::vector<Shortcut> &shortcuts) {
  // Steam's own order of a shortcut's keys, with its defaults.
  std::vector<VdfNode> list;
  for (const Shortcut &s : shortcuts) {
    std::vector<VdfNode> keys;
    if (s.appid) keys.push_back(vdfInt("appid", (int)(unsigned int)s.appid));
    for (const VdfNode &n : {vdfString("AppName", s.name), vdfString("Exe", "\"" + s.exe + "\""),
                             vdfString("StartDir", "\"" + s.startDir + "\""), vdfString("icon", ""),
                             vdfString("ShortcutPath", ""), vdfString("LaunchOptions", s.options), vdfInt("IsHidden", 0),
                             vdfInt("AllowDesktopConfig", 1), vdfInt("AllowOverlay", 1), vdfInt("OpenVR", 0),
                             vdfInt("Devkit", 0), vdfString("DevkitGameID", ""), vdfInt("DevkitOverrideAppID", 0),
                             vdfInt("LastPlayTime", 1712345678), vdfString("FlatpakAppID", ""),
                             vdfBlock("tags", {})})
      keys.push_back(n);
    list.push_back(vdfBlock(std::to_string(list.size()), keys));
  }
  write(root + "/userdata/" + user + "/config/shortcuts.vdf", binaryVdf({vdfBlock("shortcuts", list)}));
}

void makeSteamToolChoice(const std::string &root, const std::map<std::string, std::string> &tools) {
  std::string mapping;
  for (const auto &t : tools)
    mapping += "\t\t\t\t\t\t" + quoted(t.first) + "\n\t\t\t\t\t\t{\n\t\t\t\t\t\t\t\"name\"\t\t" +
               quoted(t.second) + "\n\t\t\t\t\t\t\t\"config\"\t\t\"\"\n\t\t\t\t\t\t\t\"priority\"\t\t\"250\"\n"
               "\t\t\t\t\t\t}\n";
  write(root + "/config/config.vdf",
        "\"InstallConfigStore\"\n{\n\t\"Software\"\n\t{\n\t\t\"Valve\"\n\t\t{\n\t\t\t\"Steam\"\n\t\t\t{\n"
        "\t\t\t\t\"AutoUpdateWindowEnabled\"\t\t\"0\"\n\t\t\t\t\"CompatToolMapping\"\n\t\t\t\t{\n" +
            mapping + "\t\t\t\t}\n\t\t\t}\n\t\t}\n\t}\n}\n");
}

static std::string toolManifest(const std::string &commandline, const std::string &required) {
  return "\"manifest\"\n{\n  \"version\" \"2\"\n  \"commandline\" " + quoted(commandline) + "\n" +
         (required.empty() ? "" : "  \"require_tool_appid\" " + quoted(required) + "\n") +
         "  \"use_sessions\" \"1\"\n  \"compatmanager_layer_name\" \"proton\"\n}\n";
}

std::string makeSteamTool(const std::string &library, const std::string &appid, const std::string &installdir,
                          const std::string &commandline, const std::string &required) {
  makeSteamManifest(library, appid, installdir);
  std::string folder = library + "/steamapps/common/" + installdir;
  write(folder + "/toolmanifest.vdf", toolManifest(commandline, required));
  putFile(folder + commandline.substr(0, commandline.find(' ')), "#!/bin/sh\n", true);
  return folder;
}

std::string makeCustomTool(const std::string &root, const std::string &folder, const std::string &name,
                           const std::string &required) {
  std::string dir = root + "/compatibilitytools.d/" + folder;
  write(dir + "/compatibilitytool.vdf",
        "\"compatibilitytools\"\n{\n  \"compat_tools\"\n  {\n    " + quoted(name) +
            " // Internal name of this tool\n    {\n      \"install_path\" \".\"\n      \"display_name\" " +
            quoted(name) + "\n      \"from_oslist\"  \"windows\"\n      \"to_oslist\"    \"linux\"\n    }\n  }\n}\n");
  write(dir + "/toolmanifest.vdf", toolManifest("/proton %verb%", required));
  putFile(dir + "/proton", "#!/usr/bin/env python3\n", true);
  return dir;
}

void makeSteamAppinfo(const std::string &root, const std::map<std::string, std::string> &tools) {
  std::vector<VdfNode> list;
  for (const auto &t : tools)
    list.push_back(vdfBlock(t.first, {vdfString("appid", t.second), vdfString("display_name", t.first),
                                      vdfString("from_oslist", "windows"), vdfString("to_oslist", "linux")}));
  std::vector<std::string> keys;
  std::string other = binaryVdf({vdfBlock("appinfo", {vdfString("appid", "10"), vdfBlock("common", {})})}, &keys);
  std::string section = binaryVdf({vdfBlock("appinfo", {vdfString("appid", "891390"),
                                                         vdfBlock("extended", {vdfBlock("compat_tools", list)})})},
                                  &keys);
  // The header (magic, universe, where the keys are), each app's id, size,
  // a fixed 60 bytes and its KeyValues, an id of 0, then the keys.
  std::string out;
  addNumber(out, 0x07564429, 4);
  addNumber(out, 1, 4);
  addNumber(out, 0, 8);
  for (const auto &app : {std::make_pair(10u, other), std::make_pair(891390u, section)}) {
    addNumber(out, app.first, 4);
    addNumber(out, 60 + app.second.size(), 4);
    out += std::string(60, '\x5a') + app.second;
  }
  addNumber(out, 0, 4);
  std::string table;
  addNumber(table, keys.size(), 4);
  for (const std::string &key : keys) table += key + '\0';
  std::string at;
  addNumber(at, out.size(), 8);
  out.replace(8, 8, at);
  write(root + "/appcache/appinfo.vdf", out + table);
}

void makeHeroicGame(const std::string &home, const std::string &gamesConfig, const std::string &appName,
                    const std::string &winePrefix, const std::string &bin, const std::string &type,
                    bool disableUmu) {
  // GameConfigV0.flush: the settings under the app's name, written by
  // JSON.stringify(config, null, 2).
  write(gamesConfig + "/" + appName + ".json",
        "{\n  " + quoted(appName) +
            ": {\n    \"autoInstallDxvk\": true,\n    \"autoInstallVkd3d\": true,\n"
            "    \"preferSystemLibs\": false,\n    \"enableEsync\": true,\n    \"enableFsync\": true,\n"
            "    \"nvidiaPrime\": false,\n    \"enviromentOptions\": [],\n    \"wrapperOptions\": [],\n"
            "    \"showFps\": false,\n    \"disableUMU\": " + std::string(disableUmu ? "true" : "false") + ",\n    \"useGameMode\": false,\n    \"language\": \"\",\n"
            "    \"winePrefix\": " + quoted(winePrefix) + ",\n    \"wineVersion\": {\n      \"bin\": " +
            quoted(bin) + ",\n      \"name\": " + quoted(fs::path(bin).parent_path().filename().string()) +
            ",\n      \"type\": " + quoted(type) + "\n    }\n  },\n  \"version\": \"v0\",\n  \"explicit\": true\n}");
  std::string prefix = expandTilde(winePrefix, home);
  makeWinePrefix(type == "proton" ? prefix + "/pfx" : prefix);
}

void makeLutrisGame(const std::string &home, const std::string &games, const std::string &slug,
                    const std::string &prefix, const std::string &version) {
  // LutrisConfig.save, through PyYAML's dump: sections and keys sorted.
  std::string yml = "game:\n  arch: win64\n  exe: " + prefix + "/drive_c/Games/Zarnok/zarnok.exe\n  prefix: " +
                    prefix + "\nsystem: {}\n";
  if (!version.empty()) yml += "wine:\n  version: " + version + "\n";
  write(games + "/" + slug + "-1712345678.yml", yml);
  makeWinePrefix(prefix.compare(0, 2, "~/") == 0 ? home + prefix.substr(1) : prefix);
}

std::string makeBottle(const std::string &bottles, const std::string &name, const std::string &folder) {
  // Manager.create_bottle: the folder's name is the bottle's with dashes
  // for blanks.
  std::string folderName = name;
  for (char &c : folderName)
    if (c == ' ') c = '-';
  std::string prefix = folder.empty() ? bottles + "/" + folderName : folder + "/" + folderName;
  if (!folder.empty()) write(bottles + "/" + folderName + "/placeholder.yml", "Path: " + prefix + "\n");
  write(prefix + "/bottle.yml",
        "Arch: win64\nCreation_Date: '2024-04-02 10:11:12.131415'\nCustom_Path: " +
            std::string(folder.empty() ? "false" : "true") +
            "\nDLL_Overrides: {}\nDXVK: dxvk-2.3\nEnvironment: Gaming\nEnvironment_Variables: {}\n"
            "External_Programs: {}\nInstalled_Dependencies: []\nName: " + name +
            "\nParameters:\n  dxvk: true\n  vkd3d: true\nPath: " + (folder.empty() ? folderName : prefix) +
            "\nRunner: soda-7.0-9\nSandbox: false\nVKD3D: vkd3d-proton-2.11\nVersioning: false\nWindows: win10\n");
  makeWinePrefix(prefix);
  return prefix;
}

}  // namespace support
