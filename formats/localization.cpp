#include "formats/localization.h"

#include <algorithm>

#include "base/code_page.h"
#include "base/paths.h"
#include "base/text_case.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace uinst {

namespace {

constexpr StringView kFileSection = u"File";

#ifdef _WIN32
constexpr Char kPathDelimiter = u'\\';
#else
constexpr Char kPathDelimiter = u'/';
#endif

String ExecutableFolder() {
#ifdef _WIN32
    std::wstring buffer(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    return ExtractFilePath(FromWide(buffer.data(), n));
#else
    std::string buffer(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0) return String();
    return ExtractFilePath(Utf8ToString(std::string_view(buffer.data(), static_cast<size_t>(n))));
#endif
}

String WithTrailingDelimiter(StringView folder) {
    String out(folder);
    if (!out.empty() && out.back() != u'\\' && out.back() != u'/') out += kPathDelimiter;
    return out;
}

String& LanguageFolderValue() {
    static String folder = WithTrailingDelimiter(ExecutableFolder() + u"Langs");
    return folder;
}

String IndexedKey(char16_t letter, int index) {
    String key(1, letter);
    key += u'[';
    const std::string digits = std::to_string(index);
    key.append(digits.begin(), digits.end());
    key += u']';
    return key;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Language information

bool ReadLanguageInfo(const TORLIniFile& ini, TORLLanguageInfo& info,
                      const std::function<void(TStream& icon)>& loadIcon) {
    info.Author = ini.ReadString(kFileSection, u"Author", StringView());
    info.Name = ini.ReadString(kFileSection, u"Name", StringView());
    info.LangId = ini.ReadInteger(kFileSection, u"LangId", 0);
    info.VersionId = ini.ReadInteger(kFileSection, u"VersionId", 0);
    if (loadIcon) {
        TMemoryStream bytes;
        if (ini.ReadStream(kFileSection, u"Icon", bytes)) {
            try {
                loadIcon(bytes);
            } catch (const std::exception&) {
                // A broken icon only means the language is listed without one.
            }
        }
    }
    return true;
}

bool ReadLanguageInfo(const TORLIniFile& ini, TORLLanguageInfo& info, TMemoryStream* icon) {
    if (!icon) return ReadLanguageInfo(ini, info, std::function<void(TStream&)>());
    icon->Clear();
    return ReadLanguageInfo(ini, info, [icon](TStream& bytes) {
        icon->CopyFrom(bytes, 0);
        icon->SetPosition(0);
    });
}

String LanguageFolder() {
    return LanguageFolderValue();
}

void SetLanguageFolder(StringView folder) {
    LanguageFolderValue() = WithTrailingDelimiter(folder);
}

// ---------------------------------------------------------------------------------------------
// TORLLocalization

TORLLocalization::TORLLocalization() = default;

TORLLocalization::TORLLocalization(StringView fileName) {
    // The base constructor cannot reach this class's loading, so the file is loaded here.
    if (!fileName.empty()) LoadFromFile(fileName);
}

TORLLocalization::~TORLLocalization() = default;

bool TORLLocalization::ReadString(StringView section, StringView key, String& value) const {
    if (!TORLIniFile::ReadString(section, key, value)) return false;
    size_t pos = value.find(u"\\n");
    if (pos == String::npos) return true;
    String out;
    out.reserve(value.size() + 8);
    size_t start = 0;
    while (pos != String::npos) {
        out.append(value, start, pos - start);
        out += u"\r\n";
        start = pos + 2;
        pos = value.find(u"\\n", start);
    }
    out.append(value, start, String::npos);
    value = std::move(out);
    return true;
}

void TORLLocalization::LoadFromFile(StringView fileName) {
    TORLIniFile::LoadFromFile(LanguageFolder() + String(fileName));
}

void TORLLocalization::LoadFromStream(TStream& stream) {
    TORLIniFile::LoadFromStream(stream);
    SetAnsiCodePageSetting(ReadInteger(kFileSection, u"ANSICP", 0));
    LangChanged();
}

void TORLLocalization::LangChanged() {
    const String name = ExtractFileName(FileName());
    if (!SameText(name, u"English.lng") && !SameText(name, u"Russian.lng"))
        Merge(LanguageFolder() + u"English.lng", false);

    NotifyListeners([](IORLLocalizationListener* listener) {
        if (auto* l = dynamic_cast<IORLLocalizationListener2*>(listener)) l->LocalizationChangedStage1();
    });
    NotifyListeners([](IORLLocalizationListener* listener) {
        if (auto* l = dynamic_cast<IORLLocalizationListener3*>(listener)) l->LocalizationChangedStage2();
    });
    NotifyWindows();
    NotifyListeners([](IORLLocalizationListener* listener) { listener->LocalizationChanged(); });
}

template <class F>
void TORLLocalization::NotifyListeners(F&& call) {
    // The lock is held for the whole pass; a listener on this thread may still add or remove
    // itself (the lock is recursive). The index moves on only when the listener is still in its
    // place, so one that removed itself does not make the pass skip its successor.
    std::lock_guard<std::recursive_mutex> guard(FListenersLock);
    size_t i = 0;
    while (i < FListeners.size()) {
        IORLLocalizationListener* listener = FListeners[i];
        call(listener);
        if (i < FListeners.size() && FListeners[i] == listener) ++i;
    }
}

void TORLLocalization::AddListener(IORLLocalizationListener* listener) {
    if (!listener) return;
    std::lock_guard<std::recursive_mutex> guard(FListenersLock);
    if (std::find(FListeners.begin(), FListeners.end(), listener) == FListeners.end()) FListeners.push_back(listener);
}

void TORLLocalization::RemoveListener(IORLLocalizationListener* listener) {
    std::lock_guard<std::recursive_mutex> guard(FListenersLock);
    FListeners.erase(std::remove(FListeners.begin(), FListeners.end(), listener), FListeners.end());
}

namespace {
TLocalizationWindowNotifier& WindowNotifier() {
    static TLocalizationWindowNotifier notifier;
    return notifier;
}
}  // namespace

void SetLocalizationWindowNotifier(TLocalizationWindowNotifier notifier) {
    WindowNotifier() = std::move(notifier);
}

void TORLLocalization::NotifyWindows() {
    if (const auto& notifier = WindowNotifier()) notifier();
}

// ---------------------------------------------------------------------------------------------
// The shared object

TORLLocalization& SharedLocalization() {
    static TORLLocalization localization;
    return localization;
}

String LocalizedText(StringView section, StringView key, StringView defaultValue) {
    return SharedLocalization().ReadString(section, key, defaultValue);
}

void LocalizeItems(StringView section, TORLStringList& items) {
    const TORLLocalization& localization = SharedLocalization();
    for (int i = 0; i < items.Count(); ++i)
        items.SetString(i, localization.ReadString(section, IndexedKey(u'i', i), items[i]));
}

void LocalizeButtons(StringView section, TORLStringList& buttons) {
    const TORLLocalization& localization = SharedLocalization();
    if (!localization.SectionExists(section)) return;
    for (int i = 0; i < buttons.Count(); ++i)
        buttons.SetString(i, localization.ReadString(section, IndexedKey(u'b', i), StringView()));
}

}  // namespace uinst
