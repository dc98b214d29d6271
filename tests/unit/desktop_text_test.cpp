// The desktop entry's Exec line and the edits of mimeapps.list.
#include <gtest/gtest.h>

#include <string>

#include "platform/posix/desktop/desktop.h"

namespace {

std::string execLine(const std::string &text) {
  size_t start = text.find("\nExec=");
  if (start == std::string::npos) return "<none>";
  start += 6;
  return text.substr(start, text.find('\n', start) - start);
}

TEST(DesktopEntry, ExecQuoting) {
  struct Case {
    std::string path;
    bool plain;        // usable as it is, by xdg-open too
    std::string exec;  // the Exec value as the file holds it
  } cases[] = {
      {"/usr/games/zarnolaunch", true, "/usr/games/zarnolaunch %u"},
      {"/opt/a-b_c.d/v1,2+x@y:z=w/zarnolaunch", true, "/opt/a-b_c.d/v1,2+x@y:z=w/zarnolaunch %u"},
      {"/home/j\xc3\xbcrgen/zarnolaunch", true, "/home/j\xc3\xbcrgen/zarnolaunch %u"},
      {"/home/j\xfcrgen/zarnolaunch", false, "/home/j\xfcrgen/zarnolaunch %u"},
      {"zarnolaunch", false, "zarnolaunch %u"},
      {"/opt/Zarno Launch/zarnolaunch", false, "\"/opt/Zarno Launch/zarnolaunch\" %u"},
      {"/opt/[x]/z", false, "/opt/[x]/z %u"},  // not reserved, though a shell would glob it
      {"/opt/100%/z", false, "/opt/100%%/z %u"},
      {"/opt/a b%/z", false, "\"/opt/a b%%/z\" %u"},
      {"/opt/say \"hi\"/z", false, "\"/opt/say \\\\\"hi\\\\\"/z\" %u"},
      {"/opt/$HOME/`id`/z", false, "\"/opt/\\\\$HOME/\\\\`id\\\\`/z\" %u"},
      {"/opt/back\\slash/z", false, "\"/opt/back\\\\\\\\slash/z\" %u"},
      {"/opt/tab\there/new\nline/z", false, "\"/opt/tab\\there/new\\nline/z\" %u"},
      {"/opt/it's/z", false, "\"/opt/it's/z\" %u"},
      {"/opt/~a/b;c|d&e>f<g*h?i#j(k)/z", false, "\"/opt/~a/b;c|d&e>f<g*h?i#j(k)/z\" %u"},
      {"/opt/trailing ", false, "\"/opt/trailing \" %u"},
      // The template's own place-holders in a path are filled in once only.
      {"/opt/@EXEC@/@TRY_EXEC@/z", true, "/opt/@EXEC@/@TRY_EXEC@/z %u"},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(desktopPlainPath(c.path), c.plain) << c.path;
    std::string text = desktopEntryText(c.path, c.path);
    EXPECT_EQ(execLine(text), c.exec) << c.path;
    // What a reader makes of it: the same path, as TryExec and as program.
    EXPECT_EQ(desktopEntryValue(text, "TryExec"), c.path);
    EXPECT_EQ(desktopExecProgram(desktopEntryValue(text, "Exec")), c.path);
  }
}

TEST(DesktopEntry, ValuesComeFromTheEntryGroupOnly) {
  const std::string text =
      "# TryExec=/comment\n"
      "[Desktop Action other]\n"
      "TryExec=/action\n"
      "[Desktop Entry]\n"
      "TryExec[de]=/localised\n"
      "TryExec = \\s/a b\\\\c\\q\\s\n"
      "Exec=/usr/bin/zarnolaunch\n";
  EXPECT_EQ(desktopEntryValue(text, "TryExec"), " /a b\\c\\q ");
  EXPECT_EQ(desktopExecProgram(desktopEntryValue(text, "Exec")), "/usr/bin/zarnolaunch");
  EXPECT_EQ(desktopEntryValue(text, "Icon"), "");
}

const std::string ours =
    "application/zarnolaunch=zarnolaunch.desktop;\n"
    "x-scheme-handler/zarnolaunch=zarnolaunch.desktop;\n";

TEST(Mimeapps, SettingTheDefaults) {
  struct Case {
    std::string before, after;
  } cases[] = {
      {"", "[Default Applications]\n" + ours},
      {"[Added Associations]\ntext/plain=a.desktop;",
       "[Added Associations]\ntext/plain=a.desktop;\n\n[Default Applications]\n" + ours},
      {"# mine\n[Default Applications]\ntext/html=b.desktop\n"
       "application/zarnolaunch = other.desktop;\n\n"
       "[Added Associations]\nApplication/ZarnoLaunch=other.desktop;\n",
       "# mine\n[Default Applications]\n" + ours + "text/html=b.desktop\n\n"
       "[Added Associations]\nApplication/ZarnoLaunch=other.desktop;\n"},
      {"[Default Applications]\nX-Scheme-Handler/ZarnoLaunch=old.desktop\n"
       "[Other]\nx=y\n[Default Applications]\nx-scheme-handler/zarnolaunch=older.desktop\n",
       "[Default Applications]\n" + ours + "[Other]\nx=y\n[Default Applications]\n"},
      {"[Default Applications]", "[Default Applications]\n" + ours},
      {"[Default Applications]\r\ntext/plain=a.desktop\r\n",
       "[Default Applications]\r\napplication/zarnolaunch=zarnolaunch.desktop;\r\n"
       "x-scheme-handler/zarnolaunch=zarnolaunch.desktop;\r\ntext/plain=a.desktop\r\n"},
  };
  for (const Case &c : cases) {
    std::string after = mimeappsSetDefaults(c.before, desktopFileId, desktopTypes());
    EXPECT_EQ(after, c.after) << c.before;
    EXPECT_EQ(mimeappsSetDefaults(after, desktopFileId, desktopTypes()), after) << c.before;
  }
}

TEST(Mimeapps, RemovingOurDesktopFile) {
  struct Case {
    std::string before, after;
  } cases[] = {
      {"[Default Applications]\napplication/zarnolaunch=zarnolaunch.desktop;\ntext/plain=a.desktop;\n",
       "[Default Applications]\ntext/plain=a.desktop;\n"},
      {"[Added Associations]\napplication/zarnolaunch=a.desktop; zarnolaunch.desktop ;b.desktop\n",
       "[Added Associations]\napplication/zarnolaunch=a.desktop;b.desktop\n"},
      {"[Default Applications]\r\nx-scheme-handler/zarnolaunch=zarnolaunch.desktop;b.desktop;\r\n",
       "[Default Applications]\r\nx-scheme-handler/zarnolaunch=b.desktop;\r\n"},
      // Not ours: another group, another desktop file, a comment.
      {"[Removed Associations]\napplication/zarnolaunch=zarnolaunch.desktop;\n",
       "[Removed Associations]\napplication/zarnolaunch=zarnolaunch.desktop;\n"},
      {"[Default Applications]\ntext/plain=zarnolaunch.desktop.old;\n# zarnolaunch.desktop\n",
       "[Default Applications]\ntext/plain=zarnolaunch.desktop.old;\n# zarnolaunch.desktop\n"},
      // A group left empty goes; one with a comment left stays.
      {"a=b\n\n[Default Applications]\n" + ours + "\n[Other]\nc=d\n", "a=b\n\n[Other]\nc=d\n"},
      {"[Default Applications]\n# keep\n" + ours, "[Default Applications]\n# keep\n"},
  };
  for (const Case &c : cases) EXPECT_EQ(mimeappsRemove(c.before, desktopFileId), c.after) << c.before;

  // "-install" then "-uninstall" gives back what was there.
  for (const std::string &before : {std::string(""), std::string("# mine\n[Default Applications]\ntext/plain=o.desktop;\n"),
                                    std::string("[Added Associations]\ntext/plain=a.desktop;\n")})
    EXPECT_EQ(mimeappsRemove(mimeappsSetDefaults(before, desktopFileId, desktopTypes()), desktopFileId),
              before);
}

}  // namespace
