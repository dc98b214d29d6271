#include "support/game_managers.h"

#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

namespace support {

namespace {

void write(const std::string &path, const std::string &text) {
  fs::create_directories(fs::path(path).parent_path());
  FILE *f = fopen(path.c_str(), "wb");
  if (f) {
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
  }
}

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
  write(steamapps + "/appmanifest_" + appid + ".acf",
        "\"AppState\"\n{\n\t\"appid\"\t\t\"" + appid +
            "\"\n\t\"universe\"\t\t\"1\"\n\t\"name\"\t\t\"Zarnok\"\n\t\"StateFlags\"\t\t\"4\"\n"
            "\t\"installdir\"\t\t\"Zarnok\"\n\t\"LastUpdated\"\t\t\"1712345678\"\n"
            "\t\"SizeOnDisk\"\t\t\"1048576\"\n\t\"buildid\"\t\t\"13371337\"\n"
            "\t\"LastOwner\"\t\t\"76561198000000000\"\n\t\"AutoUpdateBehavior\"\t\t\"0\"\n"
            "\t\"InstalledDepots\"\n\t{\n\t\t\"" + appid +
            "1\"\n\t\t{\n\t\t\t\"manifest\"\t\t\"1234567890123456789\"\n\t\t\t\"size\"\t\t\"1048576\"\n"
            "\t\t}\n\t}\n\t\"UserConfig\"\n\t{\n\t\t\"language\"\t\t\"english\"\n\t}\n}\n");
  fs::create_directories(steamapps + "/common/Zarnok");
}

void makeHeroicGame(const std::string &home, const std::string &gamesConfig, const std::string &appName,
                    const std::string &winePrefix, const std::string &bin, const std::string &type) {
  // GameConfigV0.flush: the settings under the app's name, written by
  // JSON.stringify(config, null, 2).
  write(gamesConfig + "/" + appName + ".json",
        "{\n  " + quoted(appName) +
            ": {\n    \"autoInstallDxvk\": true,\n    \"autoInstallVkd3d\": true,\n"
            "    \"preferSystemLibs\": false,\n    \"enableEsync\": true,\n    \"enableFsync\": true,\n"
            "    \"nvidiaPrime\": false,\n    \"enviromentOptions\": [],\n    \"wrapperOptions\": [],\n"
            "    \"showFps\": false,\n    \"useGameMode\": false,\n    \"language\": \"\",\n"
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
