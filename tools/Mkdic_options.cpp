#include "Mkdic_options.h"

#include <cctype>

#include "Dictionary_id.h"

const char MKDIC_USAGE[] =
    "usage: kalvora-mkdic --id HEXID --category CATEGORY --short-name NAME [--long-name NAME]\n"
    "         [--source TEXT] [--dic-version X.Y] [--format tsv|dictd|stardict]\n"
    "         [--encoding auto|utf-8|cp1251] [--duplicates merge|keep] [--force] [--force-id]\n"
    "         [--dictionary-encoding auto|cp1251|utf-8] [--report FILE] INPUT OUTPUT_FOLDER";

const char MKDIC_HELP[] =
    "Makes a Kalvora dictionary folder from a tab-separated text file (headword TAB article),\n"
    "a dictd database (.index) or a StarDict dictionary (.ifo).\n"
    "OUTPUT_FOLDER is the dictionary folder to create inside a dics folder, for example\n"
    "~/.local/share/kalvora/dics/jargon.\n"
    "\n"
    "  --id HEXID            non-zero hexadecimal id, with or without 0x\n"
    "  --category CATEGORY   EXP definitions, ENC encyclopedia, anything else: others\n"
    "  --short-name NAME     caption of the dictionary's button\n"
    "  --long-name NAME      title in the dictionaries dialog (default: the source's own)\n"
    "  --source TEXT         where the text comes from (default: the source's own)\n"
    "  --dic-version X.Y     the dictionary's version (default 1.0)\n"
    "  --format FORMAT       tsv, dictd or stardict (default: from the input's name)\n"
    "  --encoding ENCODING   of tab-separated and dictd text: auto, utf-8 or cp1251\n"
    "  --dictionary-encoding ENCODING\n"
    "                        of the dictionary written: auto (Windows-1251 when every\n"
    "                        character fits, else UTF-8), cp1251 or utf-8\n"
    "  --duplicates HOW      merge (default) or keep headwords that read the same\n"
    "  --force               replace an existing dictionary folder\n"
    "  --force-id            allow an id that an installed dictionary already has\n"
    "  --report FILE         list every skipped, cut or changed entry with its reason\n"
    "  --help                show this help and exit\n"
    "  --version             show the version and exit\n"
    "\n"
    "Exit status: 0 written, 1 the input could not be read or converted, 2 a usage error.\n";

namespace {

// The loader reads the version as a decimal number and keeps one digit after the point.
bool IsVersion(const std::string &text)
{
    const std::size_t point = text.find('.');
    const std::string major = text.substr(0, point);
    const std::string minor = point == std::string::npos ? "0" : text.substr(point + 1);
    return !major.empty() && major.size() <= 9 && minor.size() == 1
        && (major + minor).find_first_not_of("0123456789") == std::string::npos;
}

std::string Upper(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The program groups dictionaries by the exact codes EXP and ENC.
std::string Category(const std::string &value)
{
    const std::string upper = Upper(value);
    return upper == "EXP" || upper == "ENC" ? upper : value;
}

// Sets the option from its value; false when the value is not one the option takes.
bool Apply(const std::string &option, const std::string &value, MkdicOptions &o, bool &known)
{
    known = true;
    if (option == "--id") {
        const auto id = ParseDictionaryId(value);
        o.id = id.value_or(0);
        return id.has_value();
    }
    if (option == "--category")
        o.category = Category(value);
    else if (option == "--short-name")
        o.shortName = value;
    else if (option == "--long-name")
        o.longName = value;
    else if (option == "--source")
        o.source = value;
    else if (option == "--report")
        o.reportPath = value;
    else if (option == "--dic-version") {
        if (!IsVersion(value))
            return false;
        o.version = value;
    } else if (option == "--format") {
        if (value != "tsv" && value != "dictd" && value != "stardict")
            return false;
        o.format = value == "tsv" ? SourceFormat::Tsv
            : value == "dictd"    ? SourceFormat::Dictd
                                  : SourceFormat::StarDict;
    } else if (option == "--encoding") {
        if (value != "auto" && value != "utf-8" && value != "cp1251")
            return false;
        o.encoding = value == "auto" ? TextEncoding::Auto
            : value == "utf-8"       ? TextEncoding::Utf8
                                     : TextEncoding::Cp1251;
    } else if (option == "--dictionary-encoding") {
        if (value != "auto" && value != "utf-8" && value != "cp1251")
            return false;
        o.dictionaryEncoding.reset();
        if (value != "auto")
            o.dictionaryEncoding =
                value == "utf-8" ? DictionaryEncoding::Utf8 : DictionaryEncoding::Cp1251;
    } else if (option == "--duplicates") {
        if (value != "merge" && value != "keep")
            return false;
        o.duplicates = value == "merge" ? Duplicates::Merge : Duplicates::Keep;
    } else {
        known = false;
    }
    return true;
}

} // namespace

std::string ParseMkdicOptions(const std::vector<std::string> &arguments, MkdicOptions &options)
{
    options = MkdicOptions();
    for (const std::string &argument : arguments)
        if (argument == "--help" || argument == "--version") {
            options.action =
                argument == "--help" ? MkdicOptions::Action::Help : MkdicOptions::Action::Version;
            return std::string();
        }

    int positional = 0;
    bool haveId = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        if (argument == "--force" || argument == "--force-id") {
            (argument == "--force" ? options.force : options.forceId) = true;
            continue;
        }
        if (argument.size() > 1 && argument[0] == '-') {
            if (i + 1 >= arguments.size())
                return argument + " needs a value";
            const std::string &value = arguments[++i];
            bool known = false;
            const bool accepted = Apply(argument, value, options, known);
            if (!known)
                return "unknown option " + argument;
            if (argument == "--id" && !accepted)
                return "--id needs a non-zero hexadecimal id of at most 8 digits, not \"" + value
                    + "\"";
            if (!accepted)
                return "bad value \"" + value + "\" for " + argument;
            haveId = haveId || argument == "--id";
        } else if (positional == 0) {
            options.input = argument;
            ++positional;
        } else if (positional == 1) {
            options.output = argument;
            ++positional;
        } else {
            return "give one input and one output folder";
        }
    }
    if (positional != 2)
        return "give one input and one output folder";
    if (!haveId)
        return "--id needs a non-zero hexadecimal id of at most 8 digits, not \"\"";
    if (options.category.empty() || options.shortName.empty())
        return "--category and --short-name must not be empty";
    if (!options.format)
        options.format = FormatFromName(options.input);
    if (!options.format)
        return "cannot tell the input's format from its name: give --format";
    return std::string();
}
