/* The baseline for the launch benchmark: the least a launcher can do, start
 * the game with the address and end, without reading anything. */
#include <spawn.h>

extern char **environ;

int main(int argc, char **argv) {
  if (argc < 3) return 2;
  char *args[] = {argv[1], argv[2], 0};
  pid_t pid;
  return posix_spawn(&pid, argv[1], 0, 0, args, environ) == 0 ? 0 : 1;
}
