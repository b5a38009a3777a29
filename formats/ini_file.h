#pragma once
// INI files as the program, the player and the language files keep them. Every line of a section
// stays exactly as read or written (comments and odd lines survive a load and save); section and
// key names are found without regard to case. Reading never fails on syntax: whatever does not
// look like a header or a key is kept as a plain line, and missing values read as defaults.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "base/stream.h"
#include "base/string.h"
#include "base/string_list.h"

namespace uinst {

// How an INI file is stored. Loading detects it from the byte-order mark; without one the
// system's ANSI code page applies.
enum TORLTextEncoding : uint8_t { teAnsi, teUTF8, teUTF16LE, teUTF16BE };

// The PJW (ELF) hash of at most the first 64 code units of the name, upper-cased. Names that are
// equal with case ignored have equal hashes, so lookups compare hashes before names.
uint32_t IniNameHash(StringView name);

// The name of a line is the text before its first "=", the value the text after it, both as they
// stand. A line without "=" has an empty name and its value is the whole line.
StringView IniLineName(StringView line);
StringView IniLineValue(StringView line);

// The lines of one section, in file order, each with a cached hash of its name.
class TORLIniFileSection {
public:
    explicit TORLIniFileSection(StringView name) : FName(name) {}

    const String& Name() const { return FName; }
    uint32_t NameHash() const;

    int Count() const { return static_cast<int>(FLines.size()); }
    const String& Strings(int index) const { return FLines.at(static_cast<size_t>(index)).Text; }
    void Add(StringView line) { FLines.push_back({String(line), 0}); }
    void SetString(int index, StringView line);
    void Delete(int index);
    void Clear() { FLines.clear(); }
    // Index of the first line whose name matches the key (hash of the key given), or -1.
    int IndexOfKey(StringView key, uint32_t keyHash) const;
    // The lines, each followed by CR LF.
    String Text() const;

private:
    struct TLine {
        String Text;
        mutable uint32_t Hash;  // 0: not computed yet
    };
    String FName;
    mutable uint32_t FNameHash = 0;
    std::vector<TLine> FLines;
};

class TORLIniFile {
public:
    using TChangeEvent = std::function<void(TORLIniFile& sender)>;

    // An unbound, empty object that saves UTF-16LE.
    TORLIniFile();
    // Bound to the file and loaded from it when the name is not empty; with autoSave the file is
    // written back (when modified) as the object is destroyed.
    explicit TORLIniFile(StringView fileName, bool autoSave = false);
    // Errors of the automatic save cannot leave a destructor; callers that must know call
    // UpdateFile themselves first.
    virtual ~TORLIniFile();
    TORLIniFile(const TORLIniFile&) = delete;
    TORLIniFile& operator=(const TORLIniFile&) = delete;

    bool AutoSave() const { return FAutoSave; }
    void SetAutoSave(bool value) { FAutoSave = value; }
    TORLTextEncoding Encoding() const { return FEncoding; }
    void SetEncoding(TORLTextEncoding value) { FEncoding = value; }
    const String& FileName() const { return FFileName; }
    void SetFileName(StringView value) { FFileName = String(value); }
    bool Modified() const { return FModified; }
    void SetModified(bool value) { FModified = value; }
    void SetOnChanged(TChangeEvent handler) { FOnChanged = std::move(handler); }

    // Sets Modified; outside an update it also calls OnChanged.
    virtual void Changed();
    virtual bool KeyExists(StringView section, StringView key) const;
    virtual bool SectionExists(StringView section) const;
    virtual bool IsEmpty() const;
    // Decimal, or hexadecimal after "$", "x", "X", "0x" or "0X"; anything else gives the default.
    virtual int32_t ReadInteger(StringView section, StringView key, int32_t defaultValue) const;
    virtual bool ReadString(StringView section, StringView key, String& value) const;
    // Creates the section when missing; replaces the first line of that name or appends one.
    virtual void WriteString(StringView section, StringView key, StringView value);
    // Clears the object, binds it to the file and loads it; a file that cannot be opened leaves
    // the object empty. Modified is false afterwards.
    virtual void LoadFromFile(StringView fileName);
    // Decodes the rest of the stream and parses it; Encoding becomes the detected encoding.
    virtual void LoadFromStream(TStream& stream);
    virtual void LoadFromText(const Char* text, size_t count);
    virtual void SaveToStream(TStream& stream, TORLTextEncoding encoding) const;
    // Saves to FileName with Encoding when bound and modified. True when the file is up to date
    // afterwards; false when it could not be created (Modified then stays true) or is unbound.
    virtual bool UpdateFile();

    String ReadString(StringView section, StringView key, StringView defaultValue) const;
    bool ReadBool(StringView section, StringView key, bool defaultValue) const;
    // The value as hexadecimal text, two digits per byte, written into the stream at its position;
    // the position then returns to 0. False (nothing written) for a missing, empty, odd-length or
    // non-hexadecimal value.
    bool ReadStream(StringView section, StringView key, TStream& stream) const;
    // The non-empty names of the section's lines, in order (the list is cleared first).
    void ReadSection(StringView section, TORLStringList& names) const;
    // All lines of the section, each followed by CR LF; empty for a missing section.
    String ReadSectionText(StringView section) const;
    int Count() const { return static_cast<int>(FSections.size()); }
    const String& Sections(int index) const { return FSections.at(static_cast<size_t>(index))->Name(); }

    // Deletes the key instead when the value equals the default.
    void WriteString(StringView section, StringView key, StringView value, StringView defaultValue);
    void WriteInteger(StringView section, StringView key, int32_t value);
    void WriteBool(StringView section, StringView key, bool value);
    // The stream's whole content as uppercase hexadecimal; an empty stream deletes the key.
    void WriteStream(StringView section, StringView key, TStream& stream);
    bool DeleteKey(StringView section, StringView key);
    bool DeleteSection(StringView section);
    // Replaces the section's lines with the lines of the text (empty lines in the middle stay, a
    // final empty segment is dropped); the section is created when missing.
    void WriteSectionText(StringView section, StringView text);
    void Clear();
    // Makes this object a copy of the other one's saved content (sections without lines vanish).
    void Assign(const TORLIniFile& other);
    // Adds the other object's keys; existing keys keep their values unless overwrite is set, and
    // sections missing here are copied whole, comments included.
    void Merge(const TORLIniFile& other, bool overwrite);
    void Merge(StringView fileName, bool overwrite);

    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();

    void LoadFromText(StringView text) { LoadFromText(text.data(), text.size()); }
    // Always UTF-16LE with its byte-order mark: the form the uninstall data package stores.
    void SaveToStream(TStream& stream) const { SaveToStream(stream, teUTF16LE); }
    // The file is either left as it was or replaced whole (a read-only one too). False, without
    // an exception, when the file cannot be created or replaced; errors while writing (a full
    // disk) pass to the caller, and the old file then stays.
    bool SaveToFile(StringView fileName, TORLTextEncoding encoding = teUTF16LE) const;
    // The saved content as text (what SaveToStream writes after the byte-order mark).
    String SaveToText() const;

    // Equal when both save to the same UTF-16 text.
    bool operator==(const TORLIniFile& other) const { return SaveToText() == other.SaveToText(); }

protected:
    TORLIniFileSection* FindSection(StringView name) const;
    TORLIniFileSection& FindOrAddSection(StringView name);

private:
    template <class Sink>
    void Serialize(Sink&& sink) const;

    bool FAutoSave = false;
    int FUpdateCount = 0;
    TORLTextEncoding FEncoding = teUTF16LE;
    String FFileName;
    mutable TORLIniFileSection* FLastSection = nullptr;  // shortcut for the next lookup
    bool FModified = false;
    TChangeEvent FOnChanged;
    std::vector<std::unique_ptr<TORLIniFileSection>> FSections;
};

// Splits text into lines at CR LF, CR, LF or U+2028 (U+2028 directly followed by a break counts
// as one). A final segment after the last break is a line too, even when empty.
template <class F>
void SplitIniLines(StringView text, F&& onLine) {
    size_t start = 0;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        const Char c = text[i];
        if (c != u'\r' && c != u'\n' && c != u'\u2028') {
            ++i;
            continue;
        }
        onLine(text.substr(start, i - start), false);
        if (c == u'\u2028') {
            ++i;
            if (i < n && (text[i] == u'\r' || text[i] == u'\n')) {
                if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n') ++i;
                ++i;
            }
        } else if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') {
            i += 2;
        } else {
            ++i;
        }
        start = i;
    }
    onLine(text.substr(start), true);
}

}  // namespace uinst
