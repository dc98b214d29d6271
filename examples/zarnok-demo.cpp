// A stand-in for the game, for the demonstration and the tests.  It says
// which server it was asked to join; when ZARNOK_RECORD names a file it
// writes its arguments (not its own name) there instead, each as its length
// in bytes, a colon and the bytes, then a line end.  The record is written to
// a temporary name and renamed, so a reader never sees half of it.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char **argv) {
  const char *record = getenv("ZARNOK_RECORD");
  if (!record || !*record) {
    for (int i = 1; i < argc; ++i) printf("Zarnok would now join %s\n", argv[i]);
    return 0;
  }
  std::string temp = std::string(record) + ".part";
  FILE *out = fopen(temp.c_str(), "wb");
  if (!out) return 2;
  for (int i = 1; i < argc; ++i) fprintf(out, "%zu:%s\n", strlen(argv[i]), argv[i]);
  if (fclose(out) != 0) return 2;
  return rename(temp.c_str(), record) == 0 ? 0 : 2;
}
