#pragma once
// Test helper: folders of a test's own below the temporary folder.
#include <vector>

#include "base/string.h"

namespace uinst::test {

// A fresh folder below the temporary folder (its path ends with a backslash), removed with
// everything in it when the test ends. The name part makes a leftover recognisable.
class TTempFolder {
public:
    explicit TTempFolder(StringView name = u"test");
    ~TTempFolder();
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;
    const String& Path() const { return FPath; }

private:
    String FPath;
};

// Removes a folder tree by itself, through long names, never entering a folder link (a link is
// removed as a link; what it shows stays). Only a folder strictly below the temporary folder is
// touched: false, and nothing removed, for any other path. True when the folder is gone.
bool RemoveTempTree(const String& folder);

// The files (not folders) of a folder (ending with a backslash) that match the mask, as full
// paths sorted by name; none when the folder cannot be listed.
std::vector<String> ListFiles(const String& folder, StringView mask = u"*");

}  // namespace uinst::test
