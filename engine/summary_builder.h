#pragma once
// The ready-to-install summary: groups of indented lines under headers; a header that no line
// follows is never written.
#include "base/string.h"

namespace uinst {

class TInstallerSummaryBuilder {
public:
    void SetHeader(StringView text);
    void SetHeader(StringView section, StringView key);
    void AddLine(StringView text);
    void AddLine(StringView section, StringView key);
    String ToString() const { return FBuilder; }

private:
    String FBuilder;
    String FPendingHeader;
};

}  // namespace uinst
