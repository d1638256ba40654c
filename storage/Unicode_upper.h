#ifndef STORAGE_UNICODE_UPPER_H
#define STORAGE_UNICODE_UPPER_H

// Unicode's simple upper-case mapping: one character to one character (a small e with acute to
// its capital, the small yo to the capital yo); a character without one, or whose capital is
// several characters, is returned unchanged. Upper-casing twice gives the same as once.
char32_t UnicodeUpper(char32_t code);

#endif // STORAGE_UNICODE_UPPER_H
