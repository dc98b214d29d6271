// The game managers' records on any input: Lutris's and Bottles's YAML and
// Heroic's JSON, however nested or damaged, are read or refused with a
// reason, never more; and the command the launcher stores from them reads
// back to the same words.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/posix/games/records.h"
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
  return 0;
}
