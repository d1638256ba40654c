#ifndef LOOKUP_FORM_RULES_H
#define LOOKUP_FORM_RULES_H

#include <string>
#include <vector>

// Lemmas a word's ending may come from, where the morphology's own stems fall short: English by
// WordNet's detachment rules (Hunspell's English stems often take off a prefix instead, giving
// port for reporting), Russian participles as the verbs dictionaries list them under (Hunspell
// gives the participle), and Russian nouns whose last vowel drops out (пальцев, рта). Guesses,
// likeliest first: the caller keeps only those a dictionary knows. Words in small letters.
std::vector<std::string> EnglishLemmaGuesses(const std::string &word);
std::vector<std::string> RussianLemmaGuesses(const std::string &word);

#endif // LOOKUP_FORM_RULES_H
