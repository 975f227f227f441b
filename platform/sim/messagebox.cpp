// messagebox.cpp - MessageBoxA: a scripted answer, the person at the
// terminal, or the box's first button.
#include "machine.h"

#include <iostream>
#include <sstream>

using namespace sim;

namespace {

struct Button {
    const char *word; // the answer that presses it
    int id;           // what MessageBoxA returns
};

// The buttons of a box type, first (default) button first.
std::vector<Button> ButtonsOf(UINT type)
{
    switch (type & 0x0F) {
    case 0x00: return {{"ok", IDOK}};
    case 0x01: return {{"ok", IDOK}, {"cancel", IDCANCEL}};
    case 0x02: return {{"abort", 3}, {"retry", 4}, {"ignore", 5}};
    case 0x03: return {{"yes", IDYES}, {"no", IDNO}, {"cancel", IDCANCEL}};
    case 0x04: return {{"yes", IDYES}, {"no", IDNO}};
    case 0x05: return {{"retry", 4}, {"cancel", IDCANCEL}};
    }
    return {{"ok", IDOK}};
}

std::string ButtonList(const std::vector<Button> &buttons, const char *between)
{
    std::string s;
    for (size_t i = 0; i < buttons.size(); i++)
        s += (i ? between : "") + std::string(buttons[i].word);
    return s;
}

// Break text into lines of at most width characters, at blanks where possible.
std::vector<std::string> Wrap(const std::string &text, size_t width)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string para;
    while (std::getline(in, para)) {
        while (para.size() > width) {
            size_t cut = para.rfind(' ', width);
            if (cut == std::string::npos || cut == 0)
                cut = width;
            lines.push_back(para.substr(0, cut));
            para = para.substr(cut == width ? cut : cut + 1);
        }
        lines.push_back(para);
    }
    if (lines.empty())
        lines.push_back("");
    return lines;
}

// Draw the box on the terminal and read the person's choice. The end of
// the input presses the first button.
const Button *AskPerson(Pc::Impl &pc, LPCSTR text, LPCSTR caption, const std::vector<Button> &buttons)
{
    std::ostream &out = *pc.terminalOut;
    const size_t width = 56;
    std::string rule = "+" + std::string(width + 2, '-') + "+\n";
    auto row = [&](const std::string &s) { out << "| " << s << std::string(width - s.size(), ' ') << " |\n"; };
    out << rule;
    row(caption ? caption : "Error");
    out << rule;
    for (const std::string &l : Wrap(text ? text : "", width))
        row(l);
    row("");
    std::string bar;
    for (const Button &b : buttons) {
        std::string w = b.word;
        w[0] = char(w[0] - 'a' + 'A');
        bar += "[ " + w + " ]  ";
    }
    row(std::string((width - bar.size()) / 2, ' ') + bar);
    out << rule;
    for (;;) {
        out << "Answer (" << ButtonList(buttons, "/") << "): " << std::flush;
        std::string line;
        if (!std::getline(*pc.terminalIn, line))
            return &buttons[0];
        std::string word = Lower(line);
        while (!word.empty() && (word.back() == ' ' || word.back() == '\r'))
            word.pop_back();
        while (!word.empty() && word[0] == ' ')
            word.erase(0, 1);
        if (word.empty())
            return &buttons[0];
        for (const Button &b : buttons)
            if (word == b.word || (word.size() == 1 && word[0] == b.word[0]))
                return &b;
    }
}

} // namespace

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    Pc::Impl &pc = CurrentPc();
    pc.Enter("MessageBoxA", false);
    std::vector<Button> buttons = ButtonsOf(uType);
    const Button *pressed = nullptr;
    if (std::optional<Answer> a = pc.TakeAnswer()) {
        for (const Button &b : buttons)
            if (a->value == b.word)
                pressed = &b;
        if (!pressed)
            throw MachineError{"answer " + std::to_string(a->position) + " \"" + a->written +
                               "\" does not fit the message box " + Quote(lpText) +
                               ", which offers " + ButtonList(buttons, ", ")};
    } else if (pc.interactive) {
        pressed = AskPerson(pc, lpText, lpCaption, buttons);
    } else {
        pressed = &buttons[0];
    }
    pc.Record("message-box", "message-box caption=" + Quote(lpCaption) + " text=" + Quote(lpText) +
                                 " buttons=" + ButtonList(buttons, "-") + " answer=" + pressed->word);
    return pressed->id;
}
