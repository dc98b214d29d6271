#include "support/support.h"

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <random>
#include <thread>

#include "registry/registry.h"

namespace fs = std::filesystem;

namespace support {

namespace {
struct TempRoot {
  fs::path root;
  ~TempRoot() {
    std::error_code ignored;
    if (!root.empty()) fs::remove_all(root, ignored);
  }
} tempRoot;
}  // namespace

std::string makeTempDir() {
  static unsigned counter = 0;
  if (tempRoot.root.empty()) {
    std::random_device seed;
    for (;;) {
      fs::path candidate = fs::temp_directory_path() /
                           ("zarno-test-" + std::to_string(seed()) + "-" + std::to_string(seed()));
      std::error_code error;
      if (fs::create_directory(candidate, error)) {
        tempRoot.root = candidate;
        break;
      }
    }
  }
  fs::path dir = tempRoot.root / ("t" + std::to_string(++counter));
  fs::create_directories(dir);
  return dir.string();
}

// Plain concatenation rather than std::filesystem, whose narrow strings are
// not UTF-8 under Windows: paths in other scripts must come through whole.
std::string joinPath(const std::string &dir, const std::string &name) {
  return dir + pathSeparator() + name;
}

bool writeFile(const std::string &path, const std::string &bytes) {
  FILE *f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

std::string readFile(const std::string &path) {
  std::string text;
  FILE *f = fopen(path.c_str(), "rb");
  if (!f) return text;
  char chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
  fclose(f);
  return text;
}

bool copyProgram(const std::string &from, const std::string &to) {
  std::string bytes = readFile(from);
  return !bytes.empty() && writeFile(to, bytes) && makeExecutable(to);
}

std::string normalise(const std::string &text) {
  std::string out;
  std::string end = lineEnd();
  for (size_t i = 0; i < text.size();) {
    if (text.compare(i, end.size(), end) == 0) {
      out += '\n';
      i += end.size();
    } else {
      out += text[i++];
    }
  }
  return out;
}

RunResult runLauncher(const std::vector<std::string> &args, const std::string &cwd) {
  std::vector<std::string> argv{launcherPath()};
  argv.insert(argv.end(), args.begin(), args.end());
  return run(argv, cwd);
}

SavedEnv::SavedEnv(const std::string &name) : name(name) {
  const char *old = std::getenv(name.c_str());
  set = old != nullptr;
  value = old ? old : "";
}
SavedEnv::~SavedEnv() {
  if (set)
    setEnv(name, value);
  else
    unsetEnv(name);
}

bool waitForFile(const std::string &path, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!fileExists(path)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

std::string regText(unsigned long root, const char *path, const char *name) {
  char *text = regReadString(root, path, name);
  if (!text) return "<none>";
  std::string s = text;
  free(text);
  return s;
}

bool readGameRecord(const std::string &path, std::vector<std::string> &args, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  FILE *f;
  while (!(f = fopen(path.c_str(), "rb"))) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::string text;
  char chunk[4096];
  for (size_t n; (n = fread(chunk, 1, sizeof chunk, f)) > 0;) text.append(chunk, n);
  fclose(f);
  args.clear();
  size_t i = 0;
  while (i < text.size()) {
    size_t colon = text.find(':', i);
    if (colon == std::string::npos) return false;
    size_t length = std::stoul(text.substr(i, colon - i));
    if (colon + 1 + length > text.size()) return false;
    args.push_back(text.substr(colon + 1, length));
    i = colon + 1 + length + 1;
  }
  return true;
}

}  // namespace support
