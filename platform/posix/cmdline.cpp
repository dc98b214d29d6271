#include "platform/posix/cmdline.h"

// The rules of CommandLineToArgvW and the C start-up code:
//  - the program name ends at the first blank, or, when it begins with a
//    double quote, at the next double quote; backslashes are plain there;
//  - later arguments are separated by blanks; double quotes group and are
//    removed; inside quotes a doubled quote is one literal quote;
//  - 2n backslashes before a double quote become n, and the quote groups;
//    2n+1 backslashes become n and a literal quote; other backslashes are
//    plain.
std::vector<std::string> splitCommandLine(const char *p) {
  std::vector<std::string> args;
  auto blank = [](char c) { return c == ' ' || c == '\t'; };

  while (blank(*p)) ++p;
  if (!*p) return args;
  const char *start = p + (*p == '"');
  const char *end = start;
  if (*p == '"') {
    while (*end && *end != '"') ++end;
    p = *end ? end + 1 : end;
  } else {
    while (*end && !blank(*end)) ++end;
    p = end;
  }
  args.emplace_back(start, (size_t)(end - start));

  for (;;) {
    while (blank(*p)) ++p;
    if (!*p) break;
    std::string arg;
    bool quoted = false;
    while (*p && (quoted || !blank(*p))) {
      if (*p == '\\') {
        size_t count = 0;
        while (*p == '\\') ++count, ++p;
        if (*p == '"') {
          arg.append(count / 2, '\\');
          if (count % 2) arg += *p++;
        } else {
          arg.append(count, '\\');
        }
      } else if (*p == '"') {
        if (quoted && p[1] == '"') {
          arg += '"';
          p += 2;
        } else {
          quoted = !quoted;
          ++p;
        }
      } else {
        const char *run = p;  // up to the next character with a meaning
        while (*p && *p != '\\' && *p != '"' && (quoted || !blank(*p))) ++p;
        arg.append(run, (size_t)(p - run));
      }
    }
    args.push_back(arg);
  }
  return args;
}
