// Reads INI values with GetPrivateProfileStringA, for comparison with the
// stand-in's reader.  Input (file named by argv[1]): one request a line,
// "path<TAB>section<TAB>key<TAB>size".  Output: per request the length, a
// space and the bytes in hex.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char **argv) {
  if (argc < 3) return 2;
  FILE *in = fopen(argv[1], "rb");
  FILE *out = fopen(argv[2], "wb");
  if (!in || !out) return 2;
  char line[8192];
  while (fgets(line, sizeof line, in)) {
    line[strcspn(line, "\r\n")] = 0;
    char *fields[4] = {};
    char *p = line;
    for (int i = 0; i < 4; ++i) {
      fields[i] = p;
      p = strchr(p, '\t');
      if (!p) break;
      *p++ = 0;
    }
    if (!fields[3]) return 2;
    unsigned size = (unsigned)atoi(fields[3]);
    std::vector<char> buf(size + 1, '#');
    DWORD n = GetPrivateProfileStringA(fields[1], fields[2], "DEFAULT", buf.data(), size, fields[0]);
    fprintf(out, "%lu ", (unsigned long)n);
    for (DWORD i = 0; i < n; ++i) fprintf(out, "%02x", (unsigned char)buf[i]);
    fprintf(out, "\n");
  }
  return fclose(out) == 0 ? 0 : 2;
}
