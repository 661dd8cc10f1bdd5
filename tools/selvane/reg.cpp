// selvane reg: get, set, del, ls, export, import.
#include "cli.h"
#include "reg_key.h"
#include "regedit_file.h"
#include "registry/registry_store.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

namespace selvane {

namespace {

const char kHelp[] =
    "usage: selvane reg get KEY VALUE\n"
    "       selvane reg set KEY VALUE (--sz TEXT | --dword N | --hex \"11 91 30\")\n"
    "       selvane reg del KEY [VALUE]\n"
    "       selvane reg ls KEY\n"
    "       selvane reg export KEY [FILE]\n"
    "       selvane reg import FILE\n"
    "\n"
    "KEY starts with HKEY_LOCAL_MACHINE or HKLM, HKEY_CURRENT_USER or HKCU, HKEY_DYN_DATA or\n"
    "HKDD; names are matched without regard to case. VALUE \"\" or \"@\" is the key's default\n"
    "value. get prints text as stored, a DWORD in decimal, anything else as upper-case hex bytes.\n"
    "set creates missing keys. del removes a value, or a key with everything under it.\n"
    "export writes REGEDIT4 text (to standard output without FILE); import reads it, all or\n"
    "nothing.\n";

KeyName TakeKey(Args& args) {
    std::string text = args.take("KEY");
    KeyName key;
    if (!ParseKeyName(text, key))
        throw Usage("unknown key root in '" + text + "' (HKLM, HKCU or HKDD)");
    return key;
}

std::string TakeValueName(Args& args) {
    std::string name = args.take("VALUE");
    return name == "@" ? "" : name;
}

std::string Shown(const std::string& name) {
    return name.empty() ? "@" : name;
}

struct Closer {
    HKEY key;
    ~Closer() { RegCloseKey(key); }
};

DWORD ToDword(const std::vector<BYTE>& data) {
    DWORD value = 0;
    for (size_t i = 0; i < 4 && i < data.size(); ++i)
        value |= static_cast<DWORD>(data[i]) << (8 * i);
    return value;
}

// How `get` and `ls` show a value's data.
std::string ShowData(DWORD type, const std::vector<BYTE>& data) {
    if ((type == REG_SZ || type == REG_EXPAND_SZ) && (data.empty() || data.back() == 0)) {
        std::string text(data.begin(), data.end());
        return text.substr(0, text.find('\0'));
    }
    if (type == REG_DWORD && data.size() == 4) return std::to_string(ToDword(data));
    return HexBytes(data.data(), data.size());
}

bool QueryValue(HKEY key, const std::string& name, DWORD& type, std::vector<BYTE>& data) {
    DWORD size = 0;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return false;
    data.assign(size, 0);
    return RegQueryValueExA(key, name.c_str(), nullptr, &type, data.data(), &size) == ERROR_SUCCESS;
}

std::vector<std::string> SubKeys(HKEY key) {
    std::vector<std::string> names;
    char name[1024];
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i)
        names.emplace_back(name);
    return names;
}

struct NamedValue {
    std::string name;
    DWORD type;
    std::vector<BYTE> data;
};

std::vector<NamedValue> Values(HKEY key) {
    std::vector<NamedValue> values;
    char name[1024];
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = sizeof name, type = 0, dataSize = 0;
        if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, nullptr, &dataSize) !=
            ERROR_SUCCESS)
            break;
        NamedValue value{name, type, {}};
        if (!QueryValue(key, value.name, value.type, value.data)) continue;
        values.push_back(std::move(value));
    }
    return values;
}

int Get(Args& args) {
    KeyName key = TakeKey(args);
    std::string name = TakeValueName(args);
    args.done();
    RequireRoot();
    Closer handle{OpenKey(key)};
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!QueryValue(handle.key, name, type, data))
        throw Failure("no value " + Shown(name) + " in " + key.full());
    std::cout << ShowData(type, data) << "\n";
    return 0;
}

std::vector<BYTE> ParseHexArgument(const std::string& text) {
    std::vector<BYTE> bytes;
    std::string digits;
    auto flush = [&] {
        if (digits.empty()) return;
        if (digits.size() > 2) throw Usage("malformed hex byte '" + digits + "'");
        bytes.push_back(static_cast<BYTE>(std::strtoul(digits.c_str(), nullptr, 16)));
        digits.clear();
    };
    for (char c : text) {
        if (c == ' ' || c == ',' || c == '\t') {
            flush();
        } else if (std::isxdigit(static_cast<unsigned char>(c))) {
            digits += c;
        } else {
            throw Usage("malformed hex value '" + text + "'");
        }
    }
    flush();
    return bytes;
}

DWORD ParseDword(const std::string& text) {
    if (text.empty() || text[0] == '-' || text[0] == '+' ||
        std::isspace(static_cast<unsigned char>(text[0])))
        throw Usage("malformed DWORD '" + text + "'");
    errno = 0;
    char* end = nullptr;
    unsigned long long value = std::strtoull(text.c_str(), &end, 0);
    if (errno || *end || value > 0xFFFFFFFFull) throw Usage("malformed DWORD '" + text + "'");
    return static_cast<DWORD>(value);
}

int Set(Args& args) {
    KeyName key = TakeKey(args);
    std::string name = TakeValueName(args);
    std::string text;
    DWORD type;
    std::vector<BYTE> data;
    if (args.takeOption("--sz", text)) {
        type = REG_SZ;
        data.assign(text.begin(), text.end());
        data.push_back(0);
    } else if (args.takeOption("--dword", text)) {
        type = REG_DWORD;
        DWORD value = ParseDword(text);
        for (int b = 0; b < 4; ++b)
            data.push_back(static_cast<BYTE>(value >> (8 * b)));
    } else if (args.takeOption("--hex", text)) {
        type = REG_BINARY;
        data = ParseHexArgument(text);
    } else {
        throw Usage("give the data as --sz TEXT, --dword N or --hex \"11 91 30\"");
    }
    args.done();
    CheckRegistry();
    HKEY handle;
    LONG status = RegCreateKeyExA(key.root, key.path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &handle, nullptr);
    if (status != ERROR_SUCCESS)
        throw Failure("cannot create " + key.full() + " (error " + std::to_string(status) + ")");
    Closer closer{handle};
    status =
        RegSetValueExA(handle, name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
    if (status != ERROR_SUCCESS)
        throw Failure("cannot set " + Shown(name) + " (error " + std::to_string(status) + ")");
    return 0;
}

int Del(Args& args) {
    KeyName key = TakeKey(args);
    bool value = !args.empty();
    std::string name = value ? TakeValueName(args) : "";
    args.done();
    RequireRoot();
    if (value) {
        Closer handle{OpenKey(key)};
        LONG status = RegDeleteValueA(handle.key, name.c_str());
        if (status == ERROR_FILE_NOT_FOUND)
            throw Failure("no value " + Shown(name) + " in " + key.full());
        if (status != ERROR_SUCCESS)
            throw Failure("cannot delete " + Shown(name) + " (error " + std::to_string(status) +
                          ")");
        return 0;
    }
    if (key.path.empty()) throw Usage("a root key cannot be deleted");
    Closer handle{OpenKey(key)}; // says so when the key is missing
    LONG status = RegDeleteKeyA(key.root, key.path.c_str());
    if (status != ERROR_SUCCESS)
        throw Failure("cannot delete " + key.full() + " (error " + std::to_string(status) + ")");
    return 0;
}

int Ls(Args& args) {
    KeyName key = TakeKey(args);
    args.done();
    RequireRoot();
    Closer handle{OpenKey(key)};
    for (const auto& name : SubKeys(handle.key))
        std::cout << name << "\\\n";
    for (const auto& value : Values(handle.key))
        std::cout << Shown(value.name) << "\t" << TypeName(value.type) << "\t"
                  << ShowData(value.type, value.data) << "\n";
    return 0;
}

void ExportKey(HKEY handle, const std::string& fullName, std::string& out) {
    out += "[" + fullName + "]\r\n";
    for (const auto& value : Values(handle))
        out += FormatRegeditValue(value.name, value.type, value.data) + "\r\n";
    out += "\r\n";
    for (const auto& name : SubKeys(handle)) {
        HKEY child;
        if (RegOpenKeyExA(handle, name.c_str(), 0, KEY_ALL_ACCESS, &child) != ERROR_SUCCESS)
            continue;
        Closer closer{child};
        ExportKey(child, fullName + "\\" + name, out);
    }
}

int Export(Args& args) {
    KeyName key = TakeKey(args);
    std::string file;
    if (!args.empty()) file = args.take("FILE");
    args.done();
    RequireRoot();
    std::string out = "REGEDIT4\r\n\r\n";
    {
        Closer handle{OpenKey(key)};
        ExportKey(handle.key, key.full(), out);
    }
    if (file.empty()) {
        std::cout << out;
        return 0;
    }
    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    if (!stream || !(stream << out) || !stream.flush()) throw Failure("cannot write " + file);
    return 0;
}

LONG Apply(const RegOperation& op) {
    HKEY handle;
    switch (op.kind) {
    case RegOperation::DeleteKey: {
        LONG status = RegDeleteKeyA(op.key.root, op.key.path.c_str());
        return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
    }
    case RegOperation::CreateKey: {
        LONG status = RegCreateKeyExA(op.key.root, op.key.path.c_str(), 0, nullptr, 0,
                                      KEY_ALL_ACCESS, nullptr, &handle, nullptr);
        if (status == ERROR_SUCCESS) RegCloseKey(handle);
        return status;
    }
    case RegOperation::SetValue:
    case RegOperation::DeleteValue: {
        LONG status = RegOpenKeyExA(op.key.root, op.key.path.c_str(), 0, KEY_ALL_ACCESS, &handle);
        if (status != ERROR_SUCCESS) return status;
        if (op.kind == RegOperation::SetValue)
            status = RegSetValueExA(handle, op.name.c_str(), 0, op.type, op.data.data(),
                                    static_cast<DWORD>(op.data.size()));
        else if ((status = RegDeleteValueA(handle, op.name.c_str())) == ERROR_FILE_NOT_FOUND)
            status = ERROR_SUCCESS;
        RegCloseKey(handle);
        return status;
    }
    }
    return ERROR_INVALID_PARAMETER;
}

int Import(Args& args) {
    std::string file = args.take("FILE");
    args.done();
    std::ifstream stream(file, std::ios::binary);
    if (!stream) throw Failure("cannot read " + file);
    std::stringstream text;
    text << stream.rdbuf();
    std::vector<RegOperation> operations;
    try {
        operations = ParseRegedit(text.str());
    } catch (const Failure& error) {
        throw Failure(file + ": " + error.what() + "; nothing was changed");
    }
    CheckRegistry();
    LONG status = platform::registry::Store::Instance().Transaction([&]() -> LONG {
        for (const auto& op : operations)
            if (LONG error = Apply(op); error != ERROR_SUCCESS) return error;
        return ERROR_SUCCESS;
    });
    if (status != ERROR_SUCCESS)
        throw Failure("import failed (error " + std::to_string(status) + "); nothing was changed");
    return 0;
}

} // namespace

int Reg(Args& args) {
    if (args.empty()) throw Usage("missing a reg command (get, set, del, ls, export, import)");
    if (args.peek() == "--help" || args.peek() == "-h") {
        std::cout << kHelp;
        return 0;
    }
    std::string command = args.take("command");
    if (!args.empty() && (args.peek() == "--help" || args.peek() == "-h")) {
        std::cout << kHelp;
        return 0;
    }
    if (command == "get") return Get(args);
    if (command == "set") return Set(args);
    if (command == "del") return Del(args);
    if (command == "ls") return Ls(args);
    if (command == "export") return Export(args);
    if (command == "import") return Import(args);
    throw Usage("unknown reg command '" + command + "'");
}

} // namespace selvane
