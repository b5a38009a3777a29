#include "engine/installer_resources.h"

#include <windows.h>
#include <shlobj.h>

#include "base/format.h"
#include "base/paths.h"
#include "base/text_case.h"
#include "engine/engine_routines.h"
#include "engine/installer.h"
#include "engine/installer_errors.h"
#include "engine/language_choice.h"
#include "engine/product_info.h"
#include "formats/ini_file.h"
#include "package/setup_package.h"
#include "platform/files.h"
#include "platform/shell_folders.h"

namespace uinst {

namespace {

String SpecialFolderOrTemp(int csidl) {
    String folder = GetSpecialFolder(csidl);
    return folder.empty() ? GetTempFolder() : folder;
}

String ReplaceAll(String text, StringView what, StringView with) {
    size_t pos = 0;
    while ((pos = text.find(what, pos)) != String::npos) {
        text.replace(pos, what.size(), with);
        pos += with.size();
    }
    return text;
}

// "*.lng;" style mask lists: does the extension match one of them (case ignored)?
bool MatchesMaskList(StringView name, StringView masks) {
    const String ext = ExtractFileExt(name);
    size_t start = 0;
    while (start < masks.size()) {
        size_t end = masks.find(u';', start);
        if (end == StringView::npos) end = masks.size();
        StringView mask = masks.substr(start, end - start);
        if (mask.size() > 1 && mask[0] == u'*' && SameText(mask.substr(1), ext)) return true;
        start = end + 1;
    }
    return false;
}

[[noreturn]] void RaiseMissingFile(StringView name) {
    throw EInstallerInstallError(Format(u"Cannot locate \"%s\" file in setup archive", {String(name)}));
}

}  // namespace

std::unique_ptr<TInstallerResources> TInstallerResources::CreateFromModule() {
    HMODULE module = GetModuleHandleW(nullptr);
    auto setup = std::make_unique<TSetupPackageReader>(module, u"SETUP");
    const String self = ModuleFileName();
    std::unique_ptr<TSetupPackageReader> product;
    if (SameText(ExtractFileName(self), u"Uninstall.exe"))
        product = std::make_unique<TSetupPackageReader>(ChangeFileExt(self, u".dat"));
    else
        product = std::make_unique<TSetupPackageReader>(module, u"PRODUCT");
    return std::make_unique<TInstallerResources>(std::move(setup), std::move(product));
}

TInstallerResources::TInstallerResources(std::unique_ptr<TSetupPackageReader> setupPackage,
                                         std::unique_ptr<TSetupPackageReader> productPackage)
    : FLanguage(std::make_unique<TORLIniFile>()),
      FProductPackage(std::move(productPackage)),
      FSetupPackage(std::move(setupPackage)) {
    FScript.LoadFromStream(*GetFile(u"Install.xml"));
    const auto& table = FSetupPackage->FileTable();
    for (int i = 0; i < table.Count(); ++i) {
        if (MatchesMaskList(table.Items(i).Name, u"*.lng;")) FLanguages.Add(table.Items(i).Name);
    }
    FLanguages.SortLogical();
    FDesktopFolder = SpecialFolderOrTemp(CSIDL_COMMON_DESKTOPDIRECTORY);
    FProgramFilesFolder = SpecialFolderOrTemp(CSIDL_PROGRAM_FILES);
    FStartMenuFolder = SpecialFolderOrTemp(CSIDL_COMMON_PROGRAMS);
    FProgramFilesFolderNoX86 = ReplaceAll(FProgramFilesFolder, u" (x86)", u"");
}

TInstallerResources::~TInstallerResources() = default;

std::unique_ptr<TMemoryStream> TInstallerResources::GetFile(StringView name) const {
    std::unique_ptr<TMemoryStream> stream;
    if (FProductPackage->Extract(name, stream) || FSetupPackage->Extract(name, stream)) return stream;
    RaiseMissingFile(name);
}

std::unique_ptr<TReadOnlyMemoryStream> TInstallerResources::OpenFile(StringView name) const {
    for (const TSetupPackageReader* package : {FProductPackage.get(), FSetupPackage.get()}) {
        const TSetupPackageFileTableItem* item = nullptr;
        if (!package->FileTable().Find(name, item)) continue;
        if (!package->ItemInContent(*item)) throw EReadError();
        return std::make_unique<TReadOnlyMemoryStream>(package->Content().data() + item->Offset,
                                                       static_cast<size_t>(item->Size));
    }
    RaiseMissingFile(name);
}

bool TInstallerResources::HasFile(StringView name) const {
    return FProductPackage->Contains(name) || FSetupPackage->Contains(name);
}

bool TInstallerResources::ProductPackageContains(StringView name) const {
    return FProductPackage->Contains(name);
}

std::unique_ptr<TMemoryStream> TInstallerResources::GetLicense() const {
    const TInstallerScriptFile* entry = nullptr;
    if (FScript.License().Find(GetLanguageFamily(), entry) || FScript.License().Find(u"EN", entry))
        return GetFile(entry->Name);
    return nullptr;
}

String TInstallerResources::GetLanguageFamily() const {
    return FLanguage->ReadString(u"File", u"Family", u"EN");
}

String TInstallerResources::GetText(StringView section, StringView key) const {
    return ExpandVariables(FLanguage->ReadString(section, key, u""));
}

String TInstallerResources::ExpandVariables(StringView text) const {
    return Expand(text, true);
}

String TInstallerResources::Expand(StringView text, bool lineBreaks) const {
    String s(text);
    if (lineBreaks && s.find(u'\\') != String::npos) s = ReplaceAll(std::move(s), u"\\n", u"\r\n");
    if (s.find(u'$') == String::npos) return s;
    // Product values are asked for only when their variable occurs: a missing product name
    // must not fail texts that do not show it.
    auto replace = [&s](StringView variable, auto value) {
        if (s.find(variable) != String::npos) s = ReplaceAll(std::move(s), variable, value());
    };
    replace(u"$DEST", [] { return Installer ? Installer->DestPath() : String(); });
    replace(u"$TEMP", [] { return GetTempFolder(); });
    replace(u"$LINK", [] { return Installer ? Installer->ProductInfo().GetHomePage() : String(); });
    replace(u"$NAME", [] { return Installer ? Installer->ProductInfo().GetName() : String(); });
    replace(u"$VERSION", [] { return Installer ? Installer->ProductInfo().GetVersionInfo() : String(); });
    replace(u"$DESKTOP", [this] { return FDesktopFolder; });
    replace(u"$STARTMENU", [this] { return FStartMenuFolder; });
    replace(u"$PROGRAMS", [this] { return FProgramFilesFolder; });
    return s;
}

String TInstallerResources::ExpandPath(StringView text) const {
    return CleanPath(Expand(text, false));
}

void TInstallerResources::LoadLanguage() {
    const bool automatic = Installer && Installer->Options().Has(ioAuto);
    LoadLanguageFile(ChooseLanguage(*this, automatic));
}

void TInstallerResources::LoadLanguageFile(StringView fileName) {
    FLanguage->LoadFromStream(*GetFile(u"English.lng"));
    FLanguageName = String(fileName);
    TORLIniFile chosen;
    chosen.LoadFromStream(*GetFile(fileName));
    FLanguageName = ChangeFileExt(ExtractFileName(fileName), u"");
    FLanguage->Merge(chosen, true);
}

// ---------------------------------------------------------------------------------------------

String CleanFileName(StringView part) {
    String out;
    out.reserve(part.size());
    for (Char c : part) {
        if (c == u'"') c = u'\'';
        switch (c) {
            case u'\\':
            case u'"':
            case u'<':
            case u'>':
            case u'*':
            case u':':
            case u'?':
            case u'|':
            case u'/':
                continue;
            default:
                out.push_back(c);
        }
    }
    size_t begin = 0;
    while (begin < out.size() && out[begin] == u' ') ++begin;
    out.erase(0, begin);
    while (out.size() > 1 && (out.back() == u' ' || out.back() == u'.')) out.pop_back();
    if (out.size() > 255) out.resize(255);
    return out;
}

String CleanPath(StringView path) {
    String root;
    StringView rest = path;
    if (path.size() >= 2 && path[1] == u':') {
        root = String(path.substr(0, 2));
        rest = path.substr(2);
    } else if (path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\') {
        const size_t next = path.find(u'\\', 2);
        const size_t end = next == StringView::npos ? path.size() : next;
        root = String(path.substr(0, end));
        rest = path.substr(end);
    }
    String joined;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find(u'\\', start);
        if (end == StringView::npos) end = rest.size();
        const String part = CleanFileName(rest.substr(start, end - start));
        if (!part.empty()) {
            if (!joined.empty()) joined += u'\\';
            joined += part;
        }
        start = end + 1;
    }
    String result = root.empty() ? joined : root + u"\\" + joined;
    const bool trailing = !path.empty() && path.back() == u'\\';
    if (trailing && (result.empty() || result.back() != u'\\')) result += u'\\';
    return result;
}

}  // namespace uinst
