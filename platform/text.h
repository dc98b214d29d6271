// Locale-free text helpers shared by the platform implementations.
#ifndef ZARNOLAUNCH_TEXT_H
#define ZARNOLAUNCH_TEXT_H

#include <stddef.h>

inline unsigned char asciiLower(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? (unsigned char)(c - 'A' + 'a') : c;
}

#endif
