// Locale-free ASCII helpers shared by both platform implementations.
#ifndef ZARNOLAUNCH_TEXT_H
#define ZARNOLAUNCH_TEXT_H

inline unsigned char asciiLower(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? (unsigned char)(c - 'A' + 'a') : c;
}

#endif
