// CString.
#include "afx.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

LPSTR CString::GetBuffer(int minLength) {
    if (minLength > GetLength()) s_.resize(static_cast<size_t>(minLength));
    return s_.data();
}

LPSTR CString::GetBufferSetLength(int length) {
    s_.resize(static_cast<size_t>(std::max(length, 0)));
    return s_.data();
}

void CString::ReleaseBuffer(int newLength) {
    if (newLength < 0)
        s_.resize(std::strlen(s_.c_str()));
    else
        s_.resize(std::min(static_cast<size_t>(newLength), s_.size()));
}

BOOL CString::LoadString(UINT id) {
    LPCSTR text = AfxFindString(id);
    if (!text) return FALSE;
    s_ = text;
    return TRUE;
}

void CString::FormatV(LPCSTR format, va_list arguments) {
    if (!format) {
        s_.clear();
        return;
    }
    va_list copy;
    va_copy(copy, arguments);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n < 0) {
        s_.clear();
        return;
    }
    std::string out(static_cast<size_t>(n), '\0');
    std::vsnprintf(out.data(), out.size() + 1, format, arguments);
    s_ = std::move(out);
}

void CString::Format(LPCSTR format, ...) {
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::Format(UINT formatId, ...) {
    CString format;
    format.LoadString(formatId);
    va_list args;
    va_start(args, formatId);
    FormatV(format, args);
    va_end(args);
}

int CString::Compare(LPCSTR other) const {
    return std::strcmp(s_.c_str(), other ? other : "");
}

int CString::CompareNoCase(LPCSTR other) const {
    const char* a = s_.c_str();
    const char* b = other ? other : "";
    for (;; ++a, ++b) {
        int ca = std::tolower(static_cast<unsigned char>(*a));
        int cb = std::tolower(static_cast<unsigned char>(*b));
        if (ca != cb) return ca < cb ? -1 : 1;
        if (!ca) return 0;
    }
}

CString CString::Left(int count) const {
    return CString(s_.substr(0, static_cast<size_t>(std::clamp(count, 0, GetLength()))));
}

CString CString::Mid(int first) const {
    return Mid(first, GetLength());
}

CString CString::Mid(int first, int count) const {
    first = std::clamp(first, 0, GetLength());
    count = std::clamp(count, 0, GetLength() - first);
    return CString(s_.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

CString CString::Right(int count) const {
    count = std::clamp(count, 0, GetLength());
    return CString(s_.substr(s_.size() - static_cast<size_t>(count)));
}

int CString::Find(char ch, int start) const {
    if (start < 0 || start > GetLength()) return -1;
    auto at = s_.find(ch, static_cast<size_t>(start));
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::Find(LPCSTR sub, int start) const {
    if (!sub || start < 0 || start > GetLength()) return -1;
    auto at = s_.find(sub, static_cast<size_t>(start));
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::ReverseFind(char ch) const {
    auto at = s_.rfind(ch);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::Replace(LPCSTR from, LPCSTR to) {
    if (!from || !*from) return 0;
    std::string f = from, t = to ? to : "";
    int count = 0;
    for (size_t at = s_.find(f); at != std::string::npos; at = s_.find(f, at + t.size())) {
        s_.replace(at, f.size(), t);
        ++count;
    }
    return count;
}

int CString::Replace(char from, char to) {
    int count = 0;
    for (char& c : s_)
        if (c == from) {
            c = to;
            ++count;
        }
    return count;
}

void CString::MakeUpper() {
    for (char& c : s_)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

void CString::MakeLower() {
    for (char& c : s_)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

void CString::TrimLeft() {
    size_t n = 0;
    while (n < s_.size() && std::isspace(static_cast<unsigned char>(s_[n])))
        ++n;
    s_.erase(0, n);
}

void CString::TrimRight() {
    while (!s_.empty() && std::isspace(static_cast<unsigned char>(s_.back())))
        s_.pop_back();
}
