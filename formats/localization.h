#pragma once
// Language files (".lng"): INI files whose section "File" describes the language and whose other
// sections hold the texts of windows, pages and groups. The library's localization object holds
// the current language and tells its listeners and the process's windows when it changes.
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "base/stream.h"
#include "base/string.h"
#include "base/string_list.h"
#include "formats/ini_file.h"

namespace uinst {

// Sent with both parameters 0 to the process's top-level windows when the language changes.
inline constexpr uint32_t WM_ORL_LOCALIZATIONCHANGED = 0x0400 + 101;

// A listener is told last, after the windows. Listeners that also support the stage interfaces
// are told earlier: every Stage1, then every Stage2, then the windows, then LocalizationChanged.
class IORLLocalizationListener {
public:
    virtual ~IORLLocalizationListener() = default;
    virtual void LocalizationChanged() = 0;
};
class IORLLocalizationListener2 : public virtual IORLLocalizationListener {
public:
    virtual void LocalizationChangedStage1() = 0;
};
class IORLLocalizationListener3 : public virtual IORLLocalizationListener {
public:
    virtual void LocalizationChangedStage2() = 0;
};

struct TORLLanguageInfo {
    String Author;
    int32_t LangId = 0;
    String Name;
    int32_t VersionId = 0;
};

// Reads "Author", "Name", "LangId" and "VersionId" of section "File". When a loader is given and
// "Icon" holds hexadecimal bytes, the loader gets them in a stream at position 0; a missing or
// undecodable value, or a loader that throws, counts as no icon. Always true.
bool ReadLanguageInfo(const TORLIniFile& ini, TORLLanguageInfo& info,
                      const std::function<void(TStream& icon)>& loadIcon = nullptr);
// The same, with the icon's bytes copied into a memory stream (left empty when there are none).
bool ReadLanguageInfo(const TORLIniFile& ini, TORLLanguageInfo& info, TMemoryStream* icon);

// The folder of the language files: the executable's folder followed by "Langs", with a trailing
// delimiter. Computed once; hosts and tests that keep languages elsewhere may set it first.
String LanguageFolder();
void SetLanguageFolder(StringView folder);

class TORLLocalization : public TORLIniFile {
public:
    TORLLocalization();
    // Loads the language folder's file of that name when the name is not empty.
    explicit TORLLocalization(StringView fileName);
    ~TORLLocalization() override;

    using TORLIniFile::LoadFromText;
    using TORLIniFile::ReadString;
    // As for INI files, then every backslash-n pair of the value becomes CR LF.
    bool ReadString(StringView section, StringView key, String& value) const override;
    // The name is relative to the language folder.
    void LoadFromFile(StringView fileName) override;
    // Loads the texts, switches the library's ANSI code page to "ANSICP" of section "File" (0: the
    // system's) and applies the language with LangChanged.
    void LoadFromStream(TStream& stream) override;

    // Fills the language's gaps from "English.lng" (unless this is English or Russian), then
    // tells the listeners and the windows, in that order of passes.
    void LangChanged();

    // Listeners are not owned; they must remove themselves before they go away. A listener may
    // remove itself while it is being told.
    void AddListener(IORLLocalizationListener* listener);
    void RemoveListener(IORLLocalizationListener* listener);

protected:
    // Tells the process's windows through the notifier that the program set (on Windows it sends
    // them WM_ORL_LOCALIZATIONCHANGED); nothing when none is set.
    virtual void NotifyWindows();

private:
    template <class F>
    void NotifyListeners(F&& call);

    std::recursive_mutex FListenersLock;
    std::vector<IORLLocalizationListener*> FListeners;
};

// How a language change reaches the process's windows. This layer knows no windows: the program
// sets a notifier at start-up, and every localization object calls it.
using TLocalizationWindowNotifier = std::function<void()>;
void SetLocalizationWindowNotifier(TLocalizationWindowNotifier notifier);

// The process's one localization object, created empty and unbound on first use.
TORLLocalization& SharedLocalization();
// The text from the shared object, or the default.
String LocalizedText(StringView section, StringView key, StringView defaultValue);
// Item i takes the value of key "i[i]", keeping its text when the key is missing.
void LocalizeItems(StringView section, TORLStringList& items);
// The buttons of an edit field: when the shared object has the section, button i takes the value
// of key "b[i]" (empty when missing); without the section nothing changes.
void LocalizeButtons(StringView section, TORLStringList& buttons);

}  // namespace uinst
