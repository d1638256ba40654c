#ifndef SUPPORT_KEY_POSITIONS_H
#define SUPPORT_KEY_POSITIONS_H

// The Russian letter (small) on the key that carries latin (a small letter or a punctuation mark)
// in the US layout, as the standard Russian layout places them: 'a' gives U+0444 (ф), ';' U+0436
// (ж), '`' U+0451 (ё). 0 for any other character.
char32_t RussianLetterOnKey(char32_t latin);

#endif // SUPPORT_KEY_POSITIONS_H
