#include "base/paths.h"

#include <vector>

namespace uinst {

bool IsPathDelimiter(Char c) {
    return c == u'\\' || c == u'/' || c == u':';
}

namespace {
size_t NamePos(StringView path) {
    size_t i = path.size();
    while (i > 0 && !IsPathDelimiter(path[i - 1])) --i;
    return i;
}
}  // namespace

String ExtractFileName(StringView path) {
    return String(path.substr(NamePos(path)));
}

String ExtractFilePath(StringView path) {
    return String(path.substr(0, NamePos(path)));
}

String ExtractFileExt(StringView path) {
    const size_t name = NamePos(path);
    const size_t dot = path.rfind(u'.');
    if (dot == StringView::npos || dot < name) return String();
    return String(path.substr(dot));
}

String ChangeFileExt(StringView path, StringView ext) {
    const size_t name = NamePos(path);
    size_t dot = path.rfind(u'.');
    if (dot == StringView::npos || dot < name) dot = path.size();
    String out(path.substr(0, dot));
    out += ext;
    return out;
}

String IncludeTrailingPathDelimiter(StringView path) {
    String out(path);
    if (out.empty() || out.back() != u'\\') out += u'\\';
    return out;
}

String ExcludeTrailingPathDelimiter(StringView path) {
    String out(path);
    if (!out.empty() && out.back() == u'\\') out.pop_back();
    return out;
}

// ---------------------------------------------------------------------------------------------
// Full and long forms

namespace {

bool IsDriveLetter(Char c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

bool StartsWith(StringView text, StringView prefix) {
    return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

String WithBackslashes(StringView path) {
    String out(path);
    for (Char& c : out)
        if (c == u'/') c = u'\\';
    return out;
}

// "C:\" or "\\server\share\" and the rest after it; false when the path has neither root (a UNC
// path needs both its server and its share).
bool SplitRoot(StringView path, String& root, StringView& rest) {
    if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == u':' && path[2] == u'\\') {
        root = String(path.substr(0, 3));
        rest = path.substr(3);
        return true;
    }
    if (!StartsWith(path, u"\\\\")) return false;
    const size_t server = path.find(u'\\', 2);
    if (server == StringView::npos || server == 2) return false;
    size_t share = path.find(u'\\', server + 1);
    if (share == StringView::npos) share = path.size();
    if (share == server + 1) return false;
    root = String(path.substr(0, share)) + u'\\';
    rest = share < path.size() ? path.substr(share + 1) : StringView();
    return true;
}

// A name that the file system stores as it is written: no trailing dot or blank (Windows would
// drop them, and the folder made would not be the one named) and no reserved character.
bool IsStorableName(StringView name) {
    if (name.back() == u'.' || name.back() == u' ') return false;
    for (const Char c : name)
        if (c < 0x20 || StringView(u"<>:\"|?*").find(c) != StringView::npos) return false;
    return true;
}

// The parts of rest with "." and empty parts dropped and ".." taken back (never above the root).
// With check set, a part that is not storable ends the walk: false, and badName is that part.
bool ResolveParts(StringView rest, std::vector<StringView>& parts, bool check, String& badName) {
    size_t start = 0;
    while (start < rest.size()) {
        size_t end = rest.find(u'\\', start);
        if (end == StringView::npos) end = rest.size();
        const StringView part = rest.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == u".") continue;
        if (part == u"..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        if (check && !IsStorableName(part)) {
            badName = String(part);
            return false;
        }
        parts.push_back(part);
    }
    return true;
}

String JoinParts(const String& root, const std::vector<StringView>& parts) {
    String out = root;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out += u'\\';
        out += parts[i];
    }
    return out;
}

// A prefixed path without its prefix ("\\?\UNC\server" is "\\server").
String WithoutLongPrefix(String path) {
    for (StringView unc : {StringView(u"\\\\?\\UNC\\"), StringView(u"\\\\.\\UNC\\")})
        if (StartsWith(path, unc)) return u"\\\\" + path.substr(unc.size());
    for (StringView prefix : {StringView(u"\\\\?\\"), StringView(u"\\\\.\\")})
        if (StartsWith(path, prefix)) return path.substr(prefix.size());
    return path;
}

}  // namespace

String LongPathName(StringView path) {
    if (path.size() < kLongPathFrom || StartsWith(path, u"\\\\?\\") || StartsWith(path, u"\\\\.\\"))
        return String(path);
    const String name = WithBackslashes(path);
    String root;
    StringView rest;
    if (!SplitRoot(name, root, rest)) return String(path);
    std::vector<StringView> parts;
    String unused;
    ResolveParts(rest, parts, false, unused);
    String full = JoinParts(root, parts);
    if (!parts.empty() && name.back() == u'\\') full += u'\\';
    if (StartsWith(full, u"\\\\")) return u"\\\\?\\UNC\\" + full.substr(2);
    return u"\\\\?\\" + full;
}

bool NormalizeFolderPath(StringView path, StringView currentFolder, String& result, String& badName) {
    result.clear();
    badName.clear();
    const String name = WithoutLongPrefix(WithBackslashes(path));
    String root;
    StringView rest;
    String combined;  // the path made absolute, when it was not
    if (!SplitRoot(name, root, rest)) {
        // "\\server" without a share names no folder.
        if (name.empty() || StartsWith(name, u"\\\\")) return false;
        String current;
        String ignored;
        // The current folder is full; normalising it gives its root.
        if (currentFolder.empty() || !NormalizeFolderPath(currentFolder, u"", current, ignored)) return false;
        if (name.size() >= 2 && IsDriveLetter(name[0]) && name[1] == u':') {
            // "D:name": relative to the current folder when it is on that drive, else to the root.
            const bool sameDrive = current.size() >= 2 && current[1] == u':' && (current[0] | 0x20) == (name[0] | 0x20);
            combined = (sameDrive ? current : name.substr(0, 2) + u"\\") + name.substr(2);
        } else if (name[0] == u'\\') {
            String currentRoot;
            StringView unused;
            SplitRoot(current, currentRoot, unused);
            combined = currentRoot + name.substr(1);
        } else {
            combined = current + name;
        }
        if (!SplitRoot(combined, root, rest)) return false;
    }
    if (root[1] == u':') root[0] = static_cast<Char>(root[0] & ~0x20);  // "c:\" is "C:\"
    std::vector<StringView> parts;
    if (!ResolveParts(rest, parts, true, badName)) return false;
    result = JoinParts(root, parts);
    if (!parts.empty()) result += u'\\';
    return true;
}

}  // namespace uinst
