// fuzz_text.h - what the harnesses need to state their properties: the
// text-mode view of a file, the pieces a line reader of a given size hands
// out, and the tokenising rule written out afresh, so that a property never
// leans on the code it checks.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace fuzz {

// A property that does not hold: say which, and crash so that libFuzzer
// keeps the input.
[[noreturn]] inline void Broken(const char *what, const std::string &detail = "")
{
    std::fprintf(stderr, "property broken: %s\n%s\n", what, detail.c_str());
    std::abort();
}

#define FUZZ_CHECK(cond, ...)                                                                 \
    do {                                                                                       \
        if (!(cond))                                                                           \
            ::fuzz::Broken(#cond, ##__VA_ARGS__);                                              \
    } while (0)

// The characters a text-mode read gives: CR LF becomes "\n", a Ctrl-Z ends
// the file, a lone CR stays.
inline std::string TextModeView(const std::string &bytes)
{
    std::string out;
    for (size_t i = 0; i < bytes.size(); i++) {
        char c = bytes[i];
        if (c == '\x1a')
            break;
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            out += '\n';
            i++;
            continue;
        }
        out += c;
    }
    return out;
}

// The pieces a reader with a buffer of `size` characters gets: at most
// size-1 characters each, ending after a "\n".
inline std::vector<std::string> Pieces(const std::string &text, size_t size)
{
    std::vector<std::string> pieces;
    std::string piece;
    for (char c : text) {
        piece += c;
        if (c == '\n' || piece.size() == size - 1) {
            pieces.push_back(piece);
            piece.clear();
        }
    }
    if (!piece.empty())
        pieces.push_back(piece);
    return pieces;
}

// The first token of text on the given delimiters; "" when there is none.
// A NUL ends the text, as it ends a C string.
inline std::string FirstToken(const std::string &text, const char *delimiters)
{
    std::string s = text.substr(0, text.find('\0'));
    size_t from = s.find_first_not_of(delimiters);
    if (from == std::string::npos)
        return "";
    size_t to = s.find_first_of(delimiters, from);
    return s.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

inline std::string Upper(std::string s)
{
    for (char &c : s)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return s;
}

inline bool SameText(const std::string &a, const std::string &b) { return Upper(a) == Upper(b); }

constexpr const char *kInfDelimiters = " ,=\t\n";

inline bool InfFirstTokenIs(const std::string &line, const std::string &expected)
{
    std::string t = FirstToken(line, kInfDelimiters);
    return !t.empty() && SameText(t, expected);
}

inline bool InfHasToken(const std::string &line) { return !FirstToken(line, kInfDelimiters).empty(); }

} // namespace fuzz
