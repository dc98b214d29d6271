#include <cstring>

#include "launcher/launcher.h"

// Character classes are spelled out rather than taken from <cctype>: the
// result must not change with the locale, and bytes 0x80 and above must end
// an address whatever code page the link file came from.
static bool isBlank(char c) { return c == ' ' || c == '\t'; }
static bool isDigit(char c) { return c >= '0' && c <= '9'; }
static bool isAlnum(char c) {
  return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char *skipBlanks(char *text) {
  while (isBlank(*text)) ++text;
  return text;
}

char *cleanServer(char *text) {
  if (!text) return nullptr;
  char *p = skipBlanks(text);
  // Browsers hand over addresses in their URL form; one prefix is allowed.
  static const char prefix[] = "zarnok://";
  if (strncmp(p, prefix, sizeof prefix - 1) == 0) p += sizeof prefix - 1;

  char *start = p;
  int dots = 0;
  bool port = false;
  bool more = true;
  while (*p && more && isAlnum(*p)) {
    while (isAlnum(*p)) ++p;
    if (*p == '.') {
      ++p;
      ++dots;
    } else if (*p == ':') {
      ++p;
      port = true;
      more = false;
    }
  }
  // A bare word like "localhost" is not a server on the game's network.
  if (dots < 2) return nullptr;
  // A port above 65535 names no server, and browsers refuse such a link;
  // cut short, it would name some other server, so the value is refused.
  // Leading zeros count for nothing, as in a browser's reading.
  long number = 0;
  while (port && isDigit(*p)) {
    number = number * 10 + (*p++ - '0');
    if (number > 65535) return nullptr;
  }
  *p = '\0';
  return start;
}
