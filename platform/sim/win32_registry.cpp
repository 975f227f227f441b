// win32_registry.cpp - the registry calls of ADVAPI32 over the simulated
// registry, behaving as Windows 95/98 do (RegDeleteKeyA takes the tree).
#include "machine.h"

#include <algorithm>

#include <cstring>

using namespace sim;

namespace sim {

// The key behind a handle: a predefined root or an open key. An open key
// is held by its path, so a handle to a key deleted meanwhile fails
// safely instead of pointing at freed memory.
RegKey *Pc::Impl::KeyOf(HKEY h, LONG *error)
{
    uintptr_t id = reinterpret_cast<uintptr_t>(h);
    if (id >= 0x80000000u) {
        RegKey *root = registry.Root(h);
        *error = root ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
        return root;
    }
    auto it = keyHandles.find(id);
    if (it == keyHandles.end()) {
        *error = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    RegKey *key = registry.FindPath(it->second);
    *error = key ? ERROR_SUCCESS : LONG(kErrorKeyDeleted);
    return key;
}

HKEY Pc::Impl::NewKeyHandle(const std::string &fullPath)
{
    uintptr_t id = NewHandle();
    keyHandles[id] = fullPath;
    return reinterpret_cast<HKEY>(id);
}

} // namespace sim

namespace {

// Fail a registry call: the result is also the last error.
LONG Failed(Pc::Impl &pc) { return LONG(pc.lastError); }

LONG Result(Pc::Impl &pc, LONG r)
{
    pc.SetLastError(DWORD(r));
    return r;
}

} // namespace

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                          PHKEY phkResult)
{
    Pc::Impl &pc = CurrentPc();
    if (phkResult)
        *phkResult = nullptr;
    if (pc.Enter("RegOpenKeyExA", true))
        return Failed(pc);
    if (!phkResult)
        return Result(pc, ERROR_INVALID_PARAMETER);
    LONG error;
    RegKey *base = pc.KeyOf(hKey, &error);
    if (!base)
        return Result(pc, error);
    RegKey *key = Registry::FindBelow(base, lpSubKey ? lpSubKey : "");
    if (!key)
        return Result(pc, ERROR_FILE_NOT_FOUND);
    *phkResult = pc.NewKeyHandle(key->Path());
    return ERROR_SUCCESS;
}

// The NT family's registry hands out subkeys in the order of their names
// (ignoring case); Windows 95/98 in the order they were created.
static const std::string &NthSubkeyByName(const RegKey &key, DWORD index)
{
    std::vector<const RegKey *> keys;
    keys.reserve(key.subkeys.size());
    for (const auto &k : key.subkeys)
        keys.push_back(k.get());
    auto upper = [](const std::string &t) {
        std::string u = t;
        for (char &c : u)
            if (c >= 'a' && c <= 'z')
                c = char(c - 'a' + 'A');
        return u;
    };
    std::nth_element(keys.begin(), keys.begin() + index, keys.end(),
                     [&](const RegKey *x, const RegKey *y) { return upper(x->name) < upper(y->name); });
    return keys[index]->name;
}

LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                          LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                          PFILETIME lpftLastWriteTime)
{
    Pc::Impl &pc = CurrentPc();
    if (pc.Enter("RegEnumKeyExA", true))
        return Failed(pc);
    if (!lpName || !lpcchName)
        return Result(pc, ERROR_INVALID_PARAMETER);
    LONG error;
    RegKey *key = pc.KeyOf(hKey, &error);
    if (!key)
        return Result(pc, error);
    if (dwIndex >= key->subkeys.size())
        return Result(pc, ERROR_NO_MORE_ITEMS);
    const std::string &name = pc.version == Version::NT ? NthSubkeyByName(*key, dwIndex)
                                                        : key->subkeys[dwIndex]->name;
    // The name and its NUL must fit the caller's size.
    if (name.size() + 1 > *lpcchName)
        return Result(pc, ERROR_MORE_DATA);
    std::memcpy(lpName, name.c_str(), name.size() + 1);
    *lpcchName = DWORD(name.size());
    if (lpClass && lpcchClass && *lpcchClass > 0) {
        lpClass[0] = '\0';
        *lpcchClass = 0;
    }
    if (lpftLastWriteTime)
        *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                             LPBYTE lpData, LPDWORD lpcbData)
{
    Pc::Impl &pc = CurrentPc();
    if (pc.Enter("RegQueryValueExA", true))
        return Failed(pc);
    if (lpData && !lpcbData)
        return Result(pc, ERROR_INVALID_PARAMETER);
    LONG error;
    RegKey *key = pc.KeyOf(hKey, &error);
    if (!key)
        return Result(pc, error);
    const RegValue *v = key->FindValue(lpValueName ? lpValueName : "");
    if (!v)
        return Result(pc, ERROR_FILE_NOT_FOUND);
    if (lpType)
        *lpType = v->type;
    DWORD size = DWORD(v->data.size());
    if (!lpData) { // the caller asks for the size only
        if (lpcbData)
            *lpcbData = size;
        return ERROR_SUCCESS;
    }
    if (size > *lpcbData) {
        *lpcbData = size;
        return Result(pc, ERROR_MORE_DATA);
    }
    std::memcpy(lpData, v->data.data(), size);
    *lpcbData = size;
    return ERROR_SUCCESS;
}

LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey)
{
    Pc::Impl &pc = CurrentPc();
    if (pc.Enter("RegDeleteKeyA", true))
        return Failed(pc);
    LONG error;
    RegKey *base = pc.KeyOf(hKey, &error);
    if (!base)
        return Result(pc, error);
    std::string sub = lpSubKey ? lpSubKey : "";
    while (!sub.empty() && sub.back() == '\\')
        sub.pop_back();
    if (sub.empty())
        return Result(pc, ERROR_INVALID_PARAMETER);
    size_t cut = sub.rfind('\\');
    RegKey *parent = cut == std::string::npos ? base : Registry::FindBelow(base, sub.substr(0, cut));
    std::string name = cut == std::string::npos ? sub : sub.substr(cut + 1);
    if (!parent || !parent->Find(name))
        return Result(pc, ERROR_FILE_NOT_FOUND);
    // Windows 95/98 delete the whole tree; the NT family refuses a key that
    // still has subkeys.
    if (pc.version == Version::NT && !parent->Find(name)->subkeys.empty())
        return Result(pc, ERROR_ACCESS_DENIED);
    parent->RemoveSubkey(name);
    return ERROR_SUCCESS;
}

LONG WINAPI RegCloseKey(HKEY hKey)
{
    Pc::Impl &pc = CurrentPc();
    pc.Enter("RegCloseKey", false);
    uintptr_t id = reinterpret_cast<uintptr_t>(hKey);
    if (id >= 0x80000000u)
        return pc.registry.Root(hKey) ? ERROR_SUCCESS : Result(pc, ERROR_INVALID_HANDLE);
    if (pc.keyHandles.erase(id))
        return ERROR_SUCCESS;
    return Result(pc, ERROR_INVALID_HANDLE);
}

// DeleteKeyTree is the Windows build's own (platform/win32/regtree.cpp),
// compiled into the sim as well: over the simulated RegDeleteKeyA it is
// tested in both families.
