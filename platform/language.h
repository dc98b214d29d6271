// The translations the program carries: made by the build from
// resources/po/*.po (cmake/translations.py), into generated/translations.cpp.
#ifndef ZARNOLAUNCH_LANGUAGE_H
#define ZARNOLAUNCH_LANGUAGE_H

// The tables hold no pointers but the few of translations[]: the texts of
// each, one after the other with a NUL after each, and each one's offset
// there (-1: none).  A statically linked PIE relocates every pointer in its
// data at start, touching each page that holds one, so a launch, which
// reads none of these texts, pays nothing for them.
//
// The English texts, in the order of every translation's table.
extern const char translatedEnglish[];
extern const int translatedEnglish_at[];
extern const int translatedTextCount;

struct Translation {
  const char *code;                // "de", "pt_BR"
  // Each English text's translation, at its offset in texts, or -1.  A
  // text for a count has its English singular in translatedEnglish, and
  // here its forms one after the other, each ended by its NUL.
  const char *texts;
  const int *at;
  int (*plural)(unsigned long n);  // which of a count's forms n takes
  int forms;                       // how many forms a text for a count has
};
extern const Translation translations[];
extern const int translationCount;

#endif
