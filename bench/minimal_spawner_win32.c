/* The baseline for the Windows launch benchmark: the least a launcher can do,
 * start the game the way the launcher does (CreateProcessA with the command
 * line "game path" address) and end, without reading anything.
 *
 *   minimal_spawner.exe GAME ADDRESS */
#include <windows.h>

#include <string.h>

int main(int argc, char **argv) {
  if (argc < 3) return 2;
  char command[4096];
  size_t game = strlen(argv[1]), address = strlen(argv[2]);
  if (game + address + 4 > sizeof command) return 2;
  char *p = command;
  *p++ = '"';
  memcpy(p, argv[1], game);
  p += game;
  *p++ = '"';
  *p++ = ' ';
  memcpy(p, argv[2], address + 1);

  STARTUPINFOA startup = {0};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  if (!CreateProcessA(NULL, command, NULL, NULL, FALSE, NORMAL_PRIORITY_CLASS, NULL, NULL,
                      &startup, &process))
    return 1;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 0;
}
