#include "base/format.h"

#include <vector>

namespace uinst {

String IntToStr(int64_t value) {
    const std::string s = std::to_string(value);
    return String(s.begin(), s.end());
}

String FormatArg::AsText() const {
    if (const auto* s = std::get_if<String>(&FValue)) return *s;
    return IntToStr(std::get<int64_t>(FValue));
}

String Format(StringView pattern, std::initializer_list<FormatArg> args) {
    const std::vector<FormatArg> list(args);
    String out;
    out.reserve(pattern.size() + 16);
    size_t next = 0;
    size_t i = 0;
    while (i < pattern.size()) {
        const Char c = pattern[i];
        if (c != u'%') {
            out.push_back(c);
            ++i;
            continue;
        }
        if (i + 1 < pattern.size() && pattern[i + 1] == u'%') {
            out.push_back(u'%');
            i += 2;
            continue;
        }
        // %[index:][-][width][.precision]type
        size_t j = i + 1;
        size_t index = next;
        size_t k = j;
        while (k < pattern.size() && pattern[k] >= u'0' && pattern[k] <= u'9') ++k;
        if (k > j && k < pattern.size() && pattern[k] == u':') {
            index = 0;
            for (size_t d = j; d < k && index < 1000; ++d) index = index * 10 + (pattern[d] - u'0');
            j = k + 1;
        }
        if (j < pattern.size() && pattern[j] == u'-') ++j;
        while (j < pattern.size() && ((pattern[j] >= u'0' && pattern[j] <= u'9') || pattern[j] == u'.')) ++j;
        if (j >= pattern.size()) {
            out.append(pattern.substr(i));
            break;
        }
        const Char type = static_cast<Char>(pattern[j] | 0x20);
        if ((type == u's' || type == u'd' || type == u'u') && index < list.size()) {
            out += list[index].AsText();
            next = index + 1;
        } else {
            out.append(pattern.substr(i, j + 1 - i));
        }
        i = j + 1;
    }
    return out;
}

}  // namespace uinst
