#include "support/Key_positions.h"

#include <cstring>

char32_t RussianLetterOnKey(char32_t latin)
{
    // The US layout's keys, and below them the Russian layout's letters on the same keys.
    static const char KEYS[] = "`qwertyuiop[]asdfghjkl;'zxcvbnm,.";
    static const char32_t LETTERS[] = U"ёйцукенгшщзхъфывапролджэячсмитьбю";
    if (latin == 0 || latin > 0x7F)
        return 0;
    const char *found = std::strchr(KEYS, static_cast<char>(latin));
    return found ? LETTERS[found - KEYS] : 0;
}
