/* The baseline for the launch benchmarks: the least a launcher can do, start
 * the game with the address (or wine with the game and the address) and end,
 * without reading anything. */
#include <spawn.h>

extern char **environ;

int main(int argc, char **argv) {
  if (argc < 3) return 2;
  pid_t pid;
  return posix_spawn(&pid, argv[1], 0, 0, argv + 1, environ) == 0 ? 0 : 1;
}
