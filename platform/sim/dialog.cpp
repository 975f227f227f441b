// dialog.cpp - the simulated PC's modal dialogs: DialogBoxParamA,
// CheckRadioButton and EndDialog.
//
// DialogBoxParamA runs a dialog the way Windows does, from the template in
// the running program's own compiled resources: it finds the RT_DIALOG
// resource by name, builds the controls from the template, sends
// WM_INITDIALOG to the dialog procedure and then plays the user's answers
// as clicks until the procedure calls EndDialog. A click on an auto radio
// button checks it and clears the other radio buttons of its group before
// the procedure hears of it (BN_CLICKED); a click on any other button only
// sends the WM_COMMAND; "cancel" is the IDCANCEL command that Escape, Alt+F4
// and the close box produce, and, as on Windows, it closes nothing unless
// the procedure does. When the answers run out the default button (1027)
// is clicked, or, at a terminal, the dialog is drawn as text and the person
// chooses.
#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "dialog.h"
#include "dlgtemplate.h"
#include "machine.h"

namespace sim {

namespace {

constexpr DWORD kErrorResourceDataNotFound = 1812;
constexpr DWORD kErrorInvalidWindowHandle = 1400;
constexpr uint32_t kWsGroup = 0x00020000;
constexpr uint32_t kWsTabStop = 0x00010000;
constexpr uint32_t kWsDisabled = 0x08000000;
constexpr uint16_t kClassButton = 0x0080;

enum ButtonKind : uint32_t {
    kPushButton = 0,
    kDefPushButton = 1,
    kCheckBox = 2,
    kAutoCheckBox = 3,
    kRadioButton = 4,
    kThreeState = 5,
    kAutoThreeState = 6,
    kGroupBox = 7,
    kUserButton = 8,
    kAutoRadioButton = 9,
};

struct Control {
    DialogItem item;
    HWND hwnd = nullptr;
    int checked = 0;
};

struct Dialog {
    std::string name;
    HWND hwnd = nullptr;
    DialogTemplate tmpl;
    std::vector<Control> controls;
    DLGPROC proc = nullptr;
    bool ended = false;
    INT_PTR result = 0;
    std::vector<std::string> clicks;
    bool inputEnded = false; // the terminal's input has ended
};

// The dialogs open now, innermost last (a procedure may open another).
std::vector<Dialog *> g_open;

struct OpenGuard {
    explicit OpenGuard(Dialog *d) { g_open.push_back(d); }
    ~OpenGuard() { g_open.pop_back(); }
};

Dialog *FindDialog(HWND hwnd)
{
    for (Dialog *d : g_open)
        if (d->hwnd == hwnd)
            return d;
    return nullptr;
}

HWND NewWindow() { return reinterpret_cast<HWND>(CurrentPc().NewHandle()); }

bool IsClass(const DialogItem &item, uint16_t ordinal, const char *name)
{
    if (item.windowClass.kind == ResId::Ordinal)
        return item.windowClass.ordinal == ordinal;
    return item.windowClass.kind == ResId::Name && EqualNoCase(item.windowClass.name, name);
}

bool IsButton(const Control &c) { return IsClass(c.item, kClassButton, "BUTTON"); }
uint32_t Kind(const Control &c) { return c.item.style & 0x0F; }
bool IsRadio(const Control &c)
{
    return IsButton(c) && (Kind(c) == kRadioButton || Kind(c) == kAutoRadioButton);
}
bool IsClickable(const Control &c) { return IsButton(c) && Kind(c) != kGroupBox; }
WORD ControlId(const Control &c) { return WORD(c.item.id & 0xFFFF); }
std::string TitleText(const DialogItem &item)
{
    return item.title.kind == ResId::Name ? item.title.name : std::string();
}

std::string TemplateName(LPCSTR name)
{
    if (reinterpret_cast<uintptr_t>(name) < 0x10000)
        return "#" + std::to_string(reinterpret_cast<uintptr_t>(name));
    return name;
}

ResId TemplateId(LPCSTR name)
{
    if (reinterpret_cast<uintptr_t>(name) < 0x10000)
        return ResId::MakeOrdinal(uint16_t(reinterpret_cast<uintptr_t>(name)));
    return ResId::MakeName(name);
}

// The template of the running program's resource, or nullopt when it has none.
std::optional<DialogTemplate> LoadTemplate(LPCSTR name)
{
    const unsigned char *res = ProgramResources();
    if (!res)
        return std::nullopt;
    std::string bytes(reinterpret_cast<const char *>(res), ProgramResourcesSize());
    std::string why;
    auto entries = ParseResFile(bytes, &why);
    if (!entries)
        throw MachineError{"the program's compiled resources are malformed: " + why};
    const ResourceEntry *e = FindResource(*entries, ResId::MakeOrdinal(kRtDialog), TemplateId(name));
    if (!e)
        return std::nullopt;
    auto t = ParseDialogTemplate(e->data, &why);
    if (!t)
        throw MachineError{"dialog " + TemplateName(name) + ": " + why};
    return t;
}

// --- the person at the terminal ---

// "&Finish" as the screen shows it: the accelerator marks go.
std::string Shown(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '&' && i + 1 < text.size())
            i++;
        out += text[i];
    }
    return out;
}

// One line per visible control, indented by its x (4 dialog units to a
// character), with the answer that clicks it at the right.
void Draw(const Dialog &d, std::ostream &out)
{
    std::vector<std::pair<std::string, std::string>> rows; // text, answer
    for (const Control &c : d.controls) {
        std::string indent(size_t(c.item.x > 0 ? c.item.x / 4 : 0), ' ');
        std::string text = Shown(TitleText(c.item));
        if (IsButton(c)) {
            switch (Kind(c)) {
            case kGroupBox:
                if (text.empty())
                    continue;
                rows.push_back({indent + "-- " + text + " --", ""});
                continue;
            case kRadioButton:
            case kAutoRadioButton:
                text = std::string(c.checked ? "(*) " : "( ) ") + text;
                break;
            case kCheckBox:
            case kAutoCheckBox:
            case kThreeState:
            case kAutoThreeState:
                text = std::string(c.checked ? "[x] " : "[ ] ") + text;
                break;
            default:
                text = "[ " + text + " ]";
            }
            rows.push_back({indent + text, std::to_string(ControlId(c))});
        } else {
            rows.push_back({indent + text, ""});
        }
    }
    size_t width = d.tmpl.title.size() + 6;
    for (const auto &r : rows)
        width = std::max(width, r.first.size() + (r.second.empty() ? 0 : r.second.size() + 6));
    std::string rule = "+" + std::string(width + 2, '-') + "+\n";
    auto line = [&](const std::string &left, const std::string &right) {
        std::string s = left + std::string(width - left.size() - right.size(), ' ') + right;
        out << "| " << s << " |\n";
    };
    out << rule;
    line(d.tmpl.title, "[x]");
    out << rule;
    for (const auto &r : rows)
        line(r.first, r.second.empty() ? "" : "<" + r.second + ">");
    out << rule;
}

// The person's next clicks: a control's number, "cancel", "now" or
// "later"; an empty line presses the default button.
std::vector<std::string> AskPerson(Dialog &d)
{
    Pc::Impl &pc = CurrentPc();
    std::ostream &out = *pc.terminalOut;
    std::string ids, defaultId;
    for (const Control &c : d.controls) {
        if (!IsClickable(c) || (c.item.style & kWsDisabled))
            continue;
        ids += std::to_string(ControlId(c)) + ", ";
        if (Kind(c) == kDefPushButton && defaultId.empty())
            defaultId = std::to_string(ControlId(c));
    }
    for (;;) {
        Draw(d, out);
        out << "Click " << ids << "or cancel";
        if (!defaultId.empty())
            out << " (Enter: " << defaultId << ")";
        out << ": " << std::flush;
        std::string answer;
        if (!std::getline(*pc.terminalIn, answer)) {
            // The end of the input presses the default button, once.
            if (d.inputEnded)
                throw MachineError{"the terminal closed while the dialog " + d.name + " was open"};
            d.inputEnded = true;
            return {defaultId.empty() ? "1027" : defaultId};
        }
        size_t b = answer.find_first_not_of(" \t\r");
        size_t e = answer.find_last_not_of(" \t\r");
        answer = b == std::string::npos ? "" : Lower(answer.substr(b, e - b + 1));
        if (answer.empty() && !defaultId.empty())
            return {defaultId};
        if (answer == "now")
            return {"1025", "1027"};
        if (answer == "later")
            return {"1026", "1027"};
        if (answer == "cancel")
            return {answer};
        for (const Control &c : d.controls)
            if (IsClickable(c) && std::to_string(ControlId(c)) == answer)
                return {answer};
        out << "No such choice: " << answer << "\n";
    }
}

// --- playing one click ---

void Send(Dialog &d, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (d.proc)
        d.proc(d.hwnd, message, wParam, lParam);
}

// The controls of c's group: from the nearest control with WS_GROUP at or
// before it up to the next one with WS_GROUP, as GetNextDlgGroupItem goes.
std::vector<Control *> GroupOf(Dialog &d, size_t index)
{
    size_t first = index;
    while (first > 0 && !(d.controls[first].item.style & kWsGroup))
        first--;
    std::vector<Control *> group{&d.controls[first]};
    for (size_t i = first + 1; i < d.controls.size() && !(d.controls[i].item.style & kWsGroup); i++)
        group.push_back(&d.controls[i]);
    return group;
}

void Click(Dialog &d, const Answer &a)
{
    d.clicks.push_back(a.value);
    if (a.value == "cancel") {
        Send(d, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    auto bad = [&](const std::string &why) {
        return MachineError{"answer " + std::to_string(a.position) + " \"" + a.written +
                            "\": " + why};
    };
    bool number = !a.value.empty() && a.value.find_first_not_of("0123456789") == std::string::npos;
    if (!number)
        throw bad("the dialog " + d.name + " takes a control's number, cancel, now or later");
    for (size_t i = 0; i < d.controls.size(); i++) {
        Control &c = d.controls[i];
        if (std::to_string(ControlId(c)) != a.value || !IsClickable(c))
            continue;
        if (c.item.style & kWsDisabled)
            throw bad("control " + a.value + " of the dialog " + d.name + " is disabled");
        if (Kind(c) == kAutoRadioButton) {
            for (Control *other : GroupOf(d, i))
                if (IsRadio(*other))
                    other->checked = 0;
            c.checked = 1;
        } else if (Kind(c) == kAutoCheckBox) {
            c.checked = !c.checked;
        } else if (Kind(c) == kAutoThreeState) {
            c.checked = (c.checked + 1) % 3;
        }
        Send(d, WM_COMMAND, WPARAM(ControlId(c)) | WPARAM(BN_CLICKED) << 16,
             reinterpret_cast<LPARAM>(c.hwnd));
        return;
    }
    throw bad("the dialog " + d.name + " has no button " + a.value);
}

void RecordDialog(const Dialog &d)
{
    std::string clicks;
    for (const std::string &c : d.clicks)
        clicks += (clicks.empty() ? "" : ",") + c;
    RecordEvent("dialog", "dialog name=" + d.name + " caption=" + Quote(d.tmpl.title) +
                              " clicks=" + clicks + " result=" + std::to_string(d.result));
}

INT_PTR Failed(const std::string &name, DWORD error)
{
    CurrentPc().SetLastError(error);
    RecordEvent("dialog", "dialog name=" + name + " result=-1 error=" + std::to_string(error));
    return -1;
}

} // namespace

} // namespace sim

using namespace sim;

INT_PTR WINAPI DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND /*hWndParent*/,
                               DLGPROC lpDialogFunc, LPARAM dwInitParam)
{
    Pc::Impl &pc = CurrentPc();
    std::string name = TemplateName(lpTemplateName);
    if (pc.Enter("DialogBoxParamA", false))
        return Failed(name, pc.lastError);
    if (hInstance != nullptr && hInstance != ProgramInstance())
        return Failed(name, kErrorResourceDataNotFound);
    std::optional<DialogTemplate> t = LoadTemplate(lpTemplateName);
    if (!t)
        return Failed(name, ERROR_RESOURCE_NAME_NOT_FOUND);

    Dialog d;
    d.name = name;
    d.hwnd = NewWindow();
    d.tmpl = *t;
    d.proc = lpDialogFunc;
    HWND focus = nullptr;
    for (const DialogItem &item : d.tmpl.items) {
        Control c;
        c.item = item;
        c.hwnd = NewWindow();
        if (!focus && (item.style & kWsTabStop) && !(item.style & kWsDisabled))
            focus = c.hwnd;
        d.controls.push_back(c);
    }
    OpenGuard open(&d);

    Send(d, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), dwInitParam);
    std::vector<Answer> typed; // the person's clicks still to play
    bool defaulted = false;
    while (!d.ended) {
        std::optional<Answer> a;
        if (!typed.empty()) {
            a = typed.front();
            typed.erase(typed.begin());
        } else {
            a = TakeAnswer();
        }
        if (!a && Interactive()) {
            for (const std::string &v : AskPerson(d))
                typed.push_back(Answer{v, v, 0});
            continue;
        }
        if (!a) {
            if (defaulted)
                throw MachineError{"the dialog " + d.name + " stayed open after a click on 1027"};
            defaulted = true;
            a = Answer{"1027", "1027", 0};
        }
        Click(d, *a);
    }
    RecordDialog(d);
    return d.result;
}

BOOL WINAPI CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton, int nIDCheckButton)
{
    Pc::Impl &pc = CurrentPc();
    if (pc.Enter("CheckRadioButton", false))
        return FALSE;
    Dialog *d = FindDialog(hDlg);
    if (!d) {
        pc.SetLastError(kErrorInvalidWindowHandle);
        return FALSE;
    }
    for (Control &c : d->controls) {
        int id = ControlId(c);
        if (id >= nIDFirstButton && id <= nIDLastButton && IsButton(c))
            c.checked = id == nIDCheckButton;
    }
    return TRUE;
}

BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult)
{
    Pc::Impl &pc = CurrentPc();
    if (pc.Enter("EndDialog", false))
        return FALSE;
    Dialog *d = FindDialog(hDlg);
    if (!d) {
        pc.SetLastError(kErrorInvalidWindowHandle);
        return FALSE;
    }
    d->ended = true;
    d->result = nResult;
    return TRUE;
}

namespace sim {

int DialogButtonState(HWND dialog, int id)
{
    Dialog *d = FindDialog(dialog);
    if (!d)
        return -1;
    for (const Control &c : d->controls)
        if (ControlId(c) == WORD(id))
            return c.checked;
    return -1;
}

} // namespace sim
