#include "lookup/Form_rules.h"

#include <utility>

namespace {

struct Ending
{
    const char *ending;
    const char *lemma;
};

// WordNet's detachment rules for nouns, verbs and adjectives, in one list: the longer endings
// first, and e put back before it is left off (hoping is hope before hop).
const Ending ENGLISH[] = {{"ies", "y"}, {"ches", "ch"}, {"shes", "sh"}, {"sses", "ss"},
    {"xes", "x"}, {"zes", "z"}, {"men", "man"}, {"es", "e"}, {"es", ""}, {"s", ""}, {"ied", "y"},
    {"ed", "e"}, {"ed", ""}, {"ing", "e"}, {"ing", ""}, {"ier", "y"}, {"iest", "y"}, {"er", ""},
    {"er", "e"}, {"est", ""}, {"est", "e"}};

// Russian participles (the masculine singular nominative that the morphology gives as their
// lemma) and the infinitives they come from; superlatives and their adjectives.
const Ending PARTICIPLES[] = {{"ающий", "ать"}, {"ающий", "авать"}, {"яющий", "ять"},
    {"еющий", "еть"}, {"ующий", "овать"}, {"ующий", "евать"}, {"ующий", "уть"}, {"ящий", "ить"},
    {"ящий", "ять"}, {"ящий", "еть"}, {"ащий", "ать"}, {"ащий", "ить"}, {"ащий", "еть"},
    {"ущий", "ти"}, {"ивший", "ить"}, {"авший", "ать"}, {"явший", "ять"}, {"евший", "еть"},
    {"увший", "уть"}, {"ывший", "ыть"}, {"ший", "нуть"}, {"ший", "ти"}, {"аемый", "ать"},
    {"аемый", "авать"}, {"яемый", "ять"}, {"имый", "ить"}, {"анный", "ать"}, {"янный", "ять"},
    {"енный", "ить"}, {"ённый", "ить"}, {"енный", "еть"}, {"ённый", "еть"}, {"тый", "ть"},
    {"ейший", "ый"}, {"айший", "ий"}, {"чайший", "кий"}};

// Consonants that alternate before the ending of a past passive participle: укреплённый
// keeps its л, but охлаждённый is охладить and окрашенный окрасить.
const std::pair<const char *, const char *> ALTERNATIONS[] = {{"жд", "д"}, {"ж", "д"}, {"ж", "з"},
    {"ж", "г"}, {"ш", "с"}, {"ш", "х"}, {"ч", "т"}, {"ч", "к"}, {"щ", "ст"}, {"щ", "ск"},
    {"бл", "б"}, {"вл", "в"}, {"пл", "п"}, {"мл", "м"}, {"фл", "ф"}};

// Forms of the pronouns, and of the few words whose forms share no beginning with their lemma:
// a closed list, as WordNet's exceptions are for English.
const std::pair<const char *, const char *> RUSSIAN_EXCEPTIONS[] = {{"чего", "что"},
    {"чему", "что"}, {"чем", "что"}, {"чём", "что"}, {"кого", "кто"}, {"кому", "кто"},
    {"кем", "кто"}, {"ком", "кто"}, {"его", "он"}, {"него", "он"}, {"ему", "он"}, {"нему", "он"},
    {"им", "он"}, {"ним", "он"}, {"нём", "он"}, {"её", "она"}, {"неё", "она"}, {"ей", "она"},
    {"ней", "она"}, {"ею", "она"}, {"нею", "она"}, {"их", "они"}, {"них", "они"}, {"ими", "они"},
    {"ними", "они"}, {"меня", "я"}, {"мне", "я"}, {"мной", "я"}, {"тебя", "ты"}, {"тебе", "ты"},
    {"тобой", "ты"}, {"нас", "мы"}, {"нам", "мы"}, {"нами", "мы"}, {"вас", "вы"}, {"вам", "вы"},
    {"вами", "вы"}, {"себя", "себя"}, {"люди", "человек"}, {"людей", "человек"},
    {"людям", "человек"}, {"людьми", "человек"}, {"людях", "человек"}, {"дети", "ребёнок"},
    {"детей", "ребёнок"}, {"детям", "ребёнок"}, {"детьми", "ребёнок"}, {"детях", "ребёнок"},
    {"шёл", "идти"}, {"шла", "идти"}, {"шло", "идти"}, {"шли", "идти"}, {"лучше", "хороший"},
    {"хуже", "плохой"}, {"больше", "большой"}, {"меньше", "маленький"}};

// The endings of pronouns and adjectives declined like them: одного is один, всеми весь.
const std::pair<const char *, const char *> PRONOUN_STEMS[] = {{"одн", "один"}, {"т", "тот"},
    {"вс", "весь"}, {"эт", "этот"}, {"сво", "свой"}, {"мо", "мой"}, {"тво", "твой"}, {"наш", "наш"},
    {"ваш", "ваш"}, {"сам", "сам"}};
const char *const PRONOUN_ENDINGS[] = {"ого", "его", "ому", "ему", "им", "ым", "ом", "ём", "ем",
    "ой", "ей", "у", "ю", "а", "я", "о", "е", "и", "ы", "их", "ех", "ими", "ыми", "еми", "ех",
    "ем"};

// Case endings of nouns, longest first.
const char *const CASE_ENDINGS[] = {"ьями", "ьев", "ьям", "ьях", "ами", "ями", "ья", "ов", "ев",
    "ей", "ам", "ям", "ах", "ях", "ом", "ем", "ой", "а", "я", "у", "ю", "ы", "и", "е"};

// The ten nouns in -мя: времени is время.
const char *const MYA_ENDINGS[] = {"менами", "менах", "менам", "менем", "мени", "мена", "мён"};

const char *const CONSONANTS = "бвгджзклмнпрстфхцчшщ";

bool EndsWith(const std::string &word, const std::string &ending)
{
    return word.size() > ending.size()
        && word.compare(word.size() - ending.size(), ending.size(), ending) == 0;
}

void Add(std::vector<std::string> &guesses, std::string guess)
{
    for (const std::string &known : guesses)
        if (known == guess)
            return;
    guesses.push_back(std::move(guess));
}

// Cyrillic letters are two bytes in UTF-8.
constexpr std::size_t LETTER = 2;

bool IsConsonant(const std::string &letter)
{
    return std::string(CONSONANTS).find(letter) != std::string::npos && letter.size() == LETTER;
}

void AddParticipleGuesses(const std::string &word, std::vector<std::string> &guesses)
{
    std::string stem = word;
    std::string reflexive;
    if (EndsWith(stem, "ся")) {
        stem.resize(stem.size() - LETTER * 2);
        reflexive = "ся";
    }
    for (const Ending &rule : PARTICIPLES) {
        const std::string ending = rule.ending;
        if (!EndsWith(stem, ending))
            continue;
        const std::string base = stem.substr(0, stem.size() - ending.size());
        Add(guesses, base + rule.lemma + reflexive);
        if (ending == "енный" || ending == "ённый")
            for (const auto &[from, to] : ALTERNATIONS)
                if (EndsWith(base, from))
                    Add(guesses,
                        base.substr(0, base.size() - std::string(from).size()) + to + rule.lemma
                            + reflexive);
    }
}

// Nouns whose е or о drops out before an ending: пальцев is палец, рта is рот.
void AddFleetingVowelGuesses(const std::string &word, std::vector<std::string> &guesses)
{
    for (const char *caseEnding : CASE_ENDINGS) {
        if (!EndsWith(word, caseEnding))
            continue;
        const std::string base = word.substr(0, word.size() - std::string(caseEnding).size());
        if (base.size() < LETTER * 2)
            continue;
        // Neuter nouns: вёслами is весло, перьями перо; the ё of a form may be the е of its lemma.
        std::string plain = base;
        for (std::size_t at = plain.find("ё"); at != std::string::npos; at = plain.find("ё"))
            plain.replace(at, LETTER, "е");
        for (const std::string &stem : {base, plain})
            for (const char *ending : {"о", "е", "ь"})
                Add(guesses, stem + ending);
        const std::string last = base.substr(base.size() - LETTER);
        const std::string before = base.substr(base.size() - LETTER * 2, LETTER);
        if (!IsConsonant(last))
            continue;
        if (before == "ь" || before == "й")
            Add(guesses, base.substr(0, base.size() - LETTER * 2) + "е" + last);
        else if (IsConsonant(before))
            for (const char *vowel : {"е", "о"})
                Add(guesses, base.substr(0, base.size() - LETTER) + vowel + last);
        Add(guesses, base);
    }
}

} // namespace

std::vector<std::string> EnglishLemmaGuesses(const std::string &word)
{
    std::vector<std::string> guesses;
    for (const Ending &rule : ENGLISH) {
        const std::string ending = rule.ending;
        if (!EndsWith(word, ending) || word.size() - ending.size() < 2)
            continue;
        const std::string base = word.substr(0, word.size() - ending.size());
        Add(guesses, base + rule.lemma);
        // A consonant doubled before the ending: hopping, bigger.
        const std::size_t n = base.size();
        if (*rule.lemma == '\0' && n >= 3 && base[n - 1] == base[n - 2]
            && std::string("aeiou").find(base[n - 1]) == std::string::npos)
            Add(guesses, base.substr(0, n - 1));
    }
    return guesses;
}

std::vector<std::string> RussianLemmaGuesses(const std::string &word)
{
    std::vector<std::string> guesses;
    for (const auto &[form, lemma] : RUSSIAN_EXCEPTIONS)
        if (word == form)
            Add(guesses, lemma);
    for (const auto &[stem, lemma] : PRONOUN_STEMS)
        for (const char *ending : PRONOUN_ENDINGS)
            if (word == std::string(stem) + ending)
                Add(guesses, lemma);
    for (const char *ending : MYA_ENDINGS)
        if (EndsWith(word, ending))
            Add(guesses, word.substr(0, word.size() - std::string(ending).size()) + "мя");
    AddParticipleGuesses(word, guesses);
    AddFleetingVowelGuesses(word, guesses);
    return guesses;
}
