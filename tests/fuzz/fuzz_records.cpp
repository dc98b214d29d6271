// The game managers' records on any input: Lutris's and Bottles's YAML and
// Heroic's JSON, however nested or damaged, are read or refused with a
// reason, never more; the command the launcher stores from them, and a
// Steam shortcut's launch options, read back to the same words.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/posix/games/records.h"
#include "platform/posix/steam/steam.h"
#include "platform/posix/wine/starter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string input((const char *)data, size), why;
  YamlValues values;
  if (!yamlValues(input, values, why) && why.empty()) abort();
  HeroicSettings settings;
  if (!heroicSettings(input, "Zarnok", settings, why) && why.empty()) abort();

  std::vector<std::string> environment, command, env2, command2;
  if (starterParse(input, environment, command)) {
    if (command.empty()) abort();
    if (!starterParse(starterText(environment, command), env2, command2) || env2 != environment ||
        command2 != command)
      abort();
  }

  // A Steam shortcut's launch options: what is read, quoted again, reads
  // back to the same words on each side of the command.
  std::vector<std::string> before, after, before2, after2;
  if (steamLaunchOptions(input, before, after)) {
    std::string again;
    auto quote = [&](const std::string &word) {
      again += " '";
      for (char c : word) again += c == '\'' ? std::string("'\\''") : std::string(1, c);
      again += "'";
    };
    for (const std::string &word : before) quote(word);
    again += " %command%";
    for (const std::string &word : after) quote(word);
    if (!steamLaunchOptions(again, before2, after2) || before2 != before || after2 != after) abort();
  }
  return 0;
}
