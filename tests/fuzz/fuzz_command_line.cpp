// The game's command line as the launcher composes it, "\"path\" address",
// splits back into exactly the game's path and the address; and any command
// line at all splits without harm.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "launcher/launcher.h"
#include "platform/posix/cmdline.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string raw((const char *)data, size);
  std::string whole = raw.substr(0, raw.find('\0'));
  splitCommandLine(whole.c_str());

  // The first part is the game's path: any bytes but a double quote (which no
  // file name holds) and the terminator; the rest is a Server value.
  size_t cut = whole.find('\n');
  if (cut == std::string::npos) return 0;
  std::string path = whole.substr(0, cut);
  if (path.empty() || path.find('"') != std::string::npos) return 0;
  std::string value = whole.substr(cut + 1);
  char *server = cleanServer(&value[0]);
  if (!server) return 0;
  std::string command = "\"" + path + "\" " + server;
  std::vector<std::string> args = splitCommandLine(command.c_str());
  if (args.size() != 2 || args[0] != path || args[1] != server) abort();
  return 0;
}
