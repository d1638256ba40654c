#ifndef LOOKUP_FOLDING_H
#define LOOKUP_FOLDING_H

#include <string>
#include <string_view>

// The form in which a word is compared when it is not a headword as typed: letter case, accents
// and stress marks dropped, ё read as е. Every other letter stays itself: й is not и. UTF-8 in and
// out; a byte that is not UTF-8 reads as U+FFFD. Folding twice gives the same as once.
std::string FoldText(std::string_view utf8);

// Only the letter case folded: what tells two spellings of one headword apart from two headwords
// (café and cafe are two).
std::string FoldCase(std::string_view utf8);

// The folded form of one character, appended to out: nothing for a mark of its own (a combining
// stress mark), one character otherwise.
void AppendFolded(std::string &out, char32_t code);

// The word with its combining marks removed (stress marks, accents typed as marks of their own),
// everything else as it was; a breve after и or И stays, since it makes й.
std::string DropMarks(std::string_view utf8);

#endif // LOOKUP_FOLDING_H
