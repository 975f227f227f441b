// fs.cpp - the drives of the simulated PC: folders and files in memory,
// Windows paths resolved ignoring case, component by component.
#include "machine.h"

#include <algorithm>

namespace sim {

std::string Lower(std::string s)
{
    for (char &c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

bool EqualNoCase(const std::string &a, const std::string &b)
{
    return a.size() == b.size() && Lower(a) == Lower(b);
}

FsNode *FsNode::Find(const std::string &childName) const
{
    for (const auto &c : children)
        if (EqualNoCase(c->name, childName))
            return c.get();
    return nullptr;
}

FsNode *FsNode::AddChild(const std::string &childName, bool isFolder)
{
    auto node = std::make_unique<FsNode>();
    node->name = childName;
    node->folder = isFolder;
    node->parent = this;
    if (!isFolder)
        node->data = std::make_shared<std::string>();
    children.push_back(std::move(node));
    return children.back().get();
}

void FsNode::RemoveChild(const FsNode *child)
{
    children.erase(std::remove_if(children.begin(), children.end(),
                                  [&](const std::unique_ptr<FsNode> &c) { return c.get() == child; }),
                   children.end());
}

std::string FsNode::Path() const
{
    if (!parent)
        return name + "\\"; // a drive root is named "C:"
    std::string up = parent->Path();
    if (up.back() != '\\')
        up += '\\';
    return up + name;
}

static bool IsSeparator(char c) { return c == '\\' || c == '/'; }

static char UpperDrive(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

// Split "rest" at separators into parts, applying "." and "..".
static void AddParts(const std::string &rest, std::vector<std::string> &parts)
{
    std::string cur;
    auto flush = [&] {
        if (cur.empty() || cur == ".") {
        } else if (cur == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else {
            parts.push_back(cur);
        }
        cur.clear();
    };
    for (char c : rest) {
        if (IsSeparator(c))
            flush();
        else
            cur += c;
    }
    flush();
}

bool Pc::Impl::Parse(const std::string &path, PathParts &out) const
{
    out = PathParts();
    if (path.empty())
        return false;
    bool hasDrive = path.size() >= 2 && path[1] == ':' &&
                    ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    if (hasDrive) {
        out.drive = UpperDrive(path[0]);
        std::string rest = path.substr(2);
        // "C:name" is relative to the drive's current folder: the current
        // folder when it is on that drive, else the root.
        if (!rest.empty() && !IsSeparator(rest[0]) && UpperDrive(currentFolder[0]) == out.drive)
            AddParts(currentFolder.substr(2), out.parts);
        AddParts(rest, out.parts);
        return true;
    }
    if (IsSeparator(path[0])) { // "\name": the root of the current drive
        out.drive = UpperDrive(currentFolder[0]);
        AddParts(path, out.parts);
        return true;
    }
    out.drive = UpperDrive(currentFolder[0]);
    AddParts(currentFolder.substr(2), out.parts);
    AddParts(path, out.parts);
    return true;
}

FsNode *Pc::Impl::Lookup(const PathParts &p) const
{
    auto d = drives.find(p.drive);
    if (d == drives.end())
        return nullptr;
    FsNode *node = d->second.get();
    for (const std::string &part : p.parts) {
        if (!node->folder)
            return nullptr;
        node = node->Find(part);
        if (!node)
            return nullptr;
    }
    return node;
}

FsNode *Pc::Impl::LookupParent(const PathParts &p) const
{
    if (p.parts.empty())
        return nullptr;
    PathParts up = p;
    up.parts.pop_back();
    FsNode *node = Lookup(up);
    return node && node->folder ? node : nullptr;
}

FsNode *Pc::Impl::Lookup(const std::string &path) const
{
    PathParts p;
    return Parse(path, p) ? Lookup(p) : nullptr;
}

FsNode *Pc::Impl::Drive(char letter, bool create)
{
    letter = UpperDrive(letter);
    auto d = drives.find(letter);
    if (d != drives.end())
        return d->second.get();
    if (!create)
        return nullptr;
    auto root = std::make_unique<FsNode>();
    root->name = std::string(1, letter) + ":";
    root->folder = true;
    FsNode *r = root.get();
    drives[letter] = std::move(root);
    return r;
}

std::string Pc::Impl::SystemFolder() const
{
    if (systemFolder)
        return *systemFolder;
    std::string w = windowsFolder;
    if (!w.empty() && w.back() != '\\')
        w += '\\';
    return w + "SYSTEM";
}

bool Pc::Impl::FileIsOpen(const std::shared_ptr<std::string> &data) const
{
    for (const auto &h : fileHandles)
        if (!h.second.probe && h.second.data == data)
            return true;
    return false;
}

} // namespace sim
