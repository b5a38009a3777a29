#include "base/paths.h"

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

}  // namespace uinst
