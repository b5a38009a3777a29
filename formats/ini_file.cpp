#include "formats/ini_file.h"

#include <algorithm>

#include "base/code_page.h"
#include "base/file_replacement.h"
#include "base/integers.h"
#include "base/paths.h"
#include "base/text_case.h"

namespace uinst {

namespace {

// Files are read and written in pieces of this size.
constexpr size_t kIniBufferSize = 256 * 1024;
constexpr size_t kHashedNameLength = 64;

const Char kCrLf[] = u"\r\n";

// Collects bytes and hands them to the target stream in large writes.
class TBufferedWriter {
public:
    explicit TBufferedWriter(TStream& target) : FTarget(target) {}
    void Put(const void* data, size_t size) {
        const auto* p = static_cast<const char*>(data);
        if (FBuffer.size() + size > kIniBufferSize) Flush();
        if (size >= kIniBufferSize) {
            FTarget.WriteBuffer(p, size);
            return;
        }
        FBuffer.append(p, size);
    }
    void Flush() {
        if (!FBuffer.empty()) FTarget.WriteBuffer(FBuffer.data(), FBuffer.size());
        FBuffer.clear();
    }

private:
    TStream& FTarget;
    std::string FBuffer;
};

// Reads to the end of the stream in pieces of at most kIniBufferSize; the stream's size is only a
// hint, so that a stream that grows or lies about its size is still read to its real end.
std::vector<uint8_t> ReadRemainingBytes(TStream& stream) {
    const int64_t announced = stream.Size() - stream.Position();
    std::vector<uint8_t> bytes(announced > 0 ? static_cast<size_t>(announced) : 0);
    size_t used = 0;
    for (;;) {
        if (used == bytes.size()) {
            uint8_t probe;
            if (stream.Read(&probe, 1) == 0) break;
            bytes.resize(used + 1 + std::clamp<size_t>(used, 4096, kIniBufferSize));
            bytes[used++] = probe;
        }
        const size_t n = stream.Read(bytes.data() + used, std::min(bytes.size() - used, kIniBufferSize));
        if (n == 0) break;
        used += n;
    }
    bytes.resize(used);
    return bytes;
}

String DecodeUtf16(const uint8_t* data, size_t size, bool bigEndian) {
    String text(size / 2, u'\0');  // an odd last byte is ignored
    for (size_t i = 0; i < text.size(); ++i) {
        const uint8_t a = data[2 * i], b = data[2 * i + 1];
        text[i] = bigEndian ? static_cast<Char>(a << 8 | b) : static_cast<Char>(b << 8 | a);
    }
    return text;
}

// Converts 8-bit text; bytes that are not valid in the code page are converted with the system's
// ANSI code page instead.
String DecodeWithFallback(const uint8_t* data, size_t size, uint32_t codePage) {
    if (size == 0) return String();
    if (auto text = DecodeCodePage(data, size, codePage, true)) return std::move(*text);
    if (auto text = DecodeCodePage(data, size, 0, false)) return std::move(*text);
    return String();
}

String DecodeIniBytes(const uint8_t* data, size_t size, TORLTextEncoding& encoding) {
    // A 2-byte mark counts even when nothing follows it: an empty object saved as UTF-16 is just
    // the mark, and must load back as UTF-16.
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
        encoding = teUTF8;
        return DecodeWithFallback(data + 3, size - 3, kCodePageUtf8);
    }
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        encoding = teUTF16LE;
        return DecodeUtf16(data + 2, size - 2, false);
    }
    if (size >= 2 && data[0] == 0xFE && data[1] == 0xFF) {
        encoding = teUTF16BE;
        return DecodeUtf16(data + 2, size - 2, true);
    }
    encoding = teAnsi;
    return DecodeWithFallback(data, size, SystemAnsiCodePage());
}

// Writes text pieces in an encoding.
class TEncodedWriter {
public:
    TEncodedWriter(TStream& target, TORLTextEncoding encoding) : FOut(target), FEncoding(encoding) {}
    void Mark() {
        static const uint8_t kUtf8[] = {0xEF, 0xBB, 0xBF};
        static const uint8_t kLE[] = {0xFF, 0xFE};
        static const uint8_t kBE[] = {0xFE, 0xFF};
        switch (FEncoding) {
            case teUTF8:
                FOut.Put(kUtf8, 3);
                break;
            case teUTF16LE:
                FOut.Put(kLE, 2);
                break;
            case teUTF16BE:
                FOut.Put(kBE, 2);
                break;
            case teAnsi:
                break;
        }
    }
    void operator()(StringView piece) {
        switch (FEncoding) {
            case teUTF8: {
                const std::string bytes = StringToUtf8(piece);
                FOut.Put(bytes.data(), bytes.size());
                break;
            }
            case teAnsi: {
                const std::string bytes = EncodeCodePage(piece, SystemAnsiCodePage());
                FOut.Put(bytes.data(), bytes.size());
                break;
            }
            case teUTF16LE:
            case teUTF16BE: {
                FScratch.resize(piece.size() * 2);
                const bool be = FEncoding == teUTF16BE;
                for (size_t i = 0; i < piece.size(); ++i) {
                    const uint8_t lo = static_cast<uint8_t>(piece[i]), hi = static_cast<uint8_t>(piece[i] >> 8);
                    FScratch[2 * i] = static_cast<char>(be ? hi : lo);
                    FScratch[2 * i + 1] = static_cast<char>(be ? lo : hi);
                }
                FOut.Put(FScratch.data(), FScratch.size());
                break;
            }
        }
    }
    void Flush() { FOut.Flush(); }

private:
    TBufferedWriter FOut;
    TORLTextEncoding FEncoding;
    std::string FScratch;
};

int HexDigit(Char c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Names and lines

uint32_t IniNameHash(StringView name) {
    name = name.substr(0, std::min(name.size(), kHashedNameLength));
    const bool ascii = std::all_of(name.begin(), name.end(), [](Char c) { return c < 0x80; });
    String upper;
    if (!ascii) {
        upper = UpperCase(name);
        name = upper;
    }
    uint32_t h = 0;
    for (Char c : name) {
        if (ascii && c >= u'a' && c <= u'z') c = static_cast<Char>(c - 32);
        h = (h << 4) + c;
        const uint32_t g = h & 0xF0000000u;
        if (g != 0) h ^= g >> 24;
        h &= ~g;
    }
    return h;
}

StringView IniLineName(StringView line) {
    const size_t eq = line.find(u'=');
    return eq == StringView::npos ? StringView() : line.substr(0, eq);
}

StringView IniLineValue(StringView line) {
    const size_t eq = line.find(u'=');
    return eq == StringView::npos ? line : line.substr(eq + 1);
}

uint32_t TORLIniFileSection::NameHash() const {
    if (FNameHash == 0) FNameHash = IniNameHash(FName);
    return FNameHash;
}

void TORLIniFileSection::SetString(int index, StringView line) {
    TLine& l = FLines.at(static_cast<size_t>(index));
    l.Text = String(line);
    l.Hash = 0;
}

void TORLIniFileSection::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    FLines.erase(FLines.begin() + index);
}

int TORLIniFileSection::IndexOfKey(StringView key, uint32_t keyHash) const {
    for (size_t i = 0; i < FLines.size(); ++i) {
        const TLine& line = FLines[i];
        if (line.Hash == 0) line.Hash = IniNameHash(IniLineName(line.Text));
        if (line.Hash == keyHash && SameText(IniLineName(line.Text), key)) return static_cast<int>(i);
    }
    return -1;
}

String TORLIniFileSection::Text() const {
    size_t length = 0;
    for (const TLine& line : FLines) length += line.Text.size() + 2;
    String text;
    text.reserve(length);
    for (const TLine& line : FLines) {
        text += line.Text;
        text += kCrLf;
    }
    return text;
}

// ---------------------------------------------------------------------------------------------
// TORLIniFile: construction and change tracking

TORLIniFile::TORLIniFile() = default;

TORLIniFile::TORLIniFile(StringView fileName, bool autoSave) : FAutoSave(autoSave) {
    if (!fileName.empty()) TORLIniFile::LoadFromFile(fileName);
}

TORLIniFile::~TORLIniFile() {
    if (!FAutoSave) return;
    try {
        TORLIniFile::UpdateFile();
    } catch (...) {
        // An exception leaving a destructor would end the process.
    }
}

void TORLIniFile::Changed() {
    FModified = true;
    if (FUpdateCount == 0 && FOnChanged) FOnChanged(*this);
}

void TORLIniFile::EndUpdate() {
    if (FUpdateCount == 0) return;
    if (--FUpdateCount == 0) Changed();
}

// ---------------------------------------------------------------------------------------------
// Lookups

TORLIniFileSection* TORLIniFile::FindSection(StringView name) const {
    const uint32_t hash = IniNameHash(name);
    if (FLastSection && FLastSection->NameHash() == hash && SameText(FLastSection->Name(), name)) return FLastSection;
    for (const auto& section : FSections) {
        if (section->NameHash() == hash && SameText(section->Name(), name)) {
            FLastSection = section.get();
            return FLastSection;
        }
    }
    return nullptr;
}

TORLIniFileSection& TORLIniFile::FindOrAddSection(StringView name) {
    if (TORLIniFileSection* section = FindSection(name)) return *section;
    FSections.push_back(std::make_unique<TORLIniFileSection>(name));
    FLastSection = FSections.back().get();
    return *FLastSection;
}

bool TORLIniFile::KeyExists(StringView section, StringView key) const {
    const TORLIniFileSection* s = FindSection(section);
    return s && s->IndexOfKey(key, IniNameHash(key)) >= 0;
}

bool TORLIniFile::SectionExists(StringView section) const {
    return FindSection(section) != nullptr;
}

bool TORLIniFile::IsEmpty() const {
    return FSections.empty();
}

// ---------------------------------------------------------------------------------------------
// Reading

bool TORLIniFile::ReadString(StringView section, StringView key, String& value) const {
    const TORLIniFileSection* s = FindSection(section);
    if (!s) return false;
    const int index = s->IndexOfKey(key, IniNameHash(key));
    if (index < 0) return false;
    value = String(IniLineValue(s->Strings(index)));
    return true;
}

String TORLIniFile::ReadString(StringView section, StringView key, StringView defaultValue) const {
    String value;
    if (!ReadString(section, key, value)) return String(defaultValue);
    return value;
}

int32_t TORLIniFile::ReadInteger(StringView section, StringView key, int32_t defaultValue) const {
    String value;
    if (!ReadString(section, key, value)) return defaultValue;
    return StrToIntDef(value, defaultValue);
}

bool TORLIniFile::ReadBool(StringView section, StringView key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool TORLIniFile::ReadStream(StringView section, StringView key, TStream& stream) const {
    String value;
    if (!ReadString(section, key, value) || value.empty() || value.size() % 2 != 0) return false;
    std::vector<uint8_t> bytes(value.size() / 2);
    for (size_t i = 0; i < bytes.size(); ++i) {
        const int hi = HexDigit(value[2 * i]), lo = HexDigit(value[2 * i + 1]);
        if (hi < 0 || lo < 0) return false;
        bytes[i] = static_cast<uint8_t>(hi << 4 | lo);
    }
    stream.WriteBuffer(bytes.data(), bytes.size());
    stream.SetPosition(0);
    return true;
}

void TORLIniFile::ReadSection(StringView section, TORLStringList& names) const {
    names.Clear();
    const TORLIniFileSection* s = FindSection(section);
    if (!s) return;
    for (int i = 0; i < s->Count(); ++i) {
        const StringView name = IniLineName(s->Strings(i));
        if (!name.empty()) names.Add(name);
    }
}

String TORLIniFile::ReadSectionText(StringView section) const {
    const TORLIniFileSection* s = FindSection(section);
    return s ? s->Text() : String();
}

// ---------------------------------------------------------------------------------------------
// Writing

void TORLIniFile::WriteString(StringView section, StringView key, StringView value) {
    TORLIniFileSection& s = FindOrAddSection(section);
    String line;
    line.reserve(key.size() + 1 + value.size());
    line.append(key);
    line += u'=';
    line.append(value);
    const int index = s.IndexOfKey(key, IniNameHash(key));
    if (index >= 0)
        s.SetString(index, line);
    else
        s.Add(line);
    Changed();
}

void TORLIniFile::WriteString(StringView section, StringView key, StringView value, StringView defaultValue) {
    if (value == defaultValue)
        DeleteKey(section, key);
    else
        WriteString(section, key, value);
}

void TORLIniFile::WriteInteger(StringView section, StringView key, int32_t value) {
    const std::string digits = std::to_string(value);
    WriteString(section, key, String(digits.begin(), digits.end()));
}

void TORLIniFile::WriteBool(StringView section, StringView key, bool value) {
    WriteString(section, key, value ? u"1" : u"0");
}

void TORLIniFile::WriteStream(StringView section, StringView key, TStream& stream) {
    static const char kHex[] = "0123456789ABCDEF";
    const int64_t position = stream.Position();
    stream.SetPosition(0);
    const std::vector<uint8_t> bytes = ReadRemainingBytes(stream);
    stream.SetPosition(position);
    String hex(bytes.size() * 2, u'\0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        hex[2 * i] = static_cast<Char>(kHex[bytes[i] >> 4]);
        hex[2 * i + 1] = static_cast<Char>(kHex[bytes[i] & 15]);
    }
    WriteString(section, key, hex, StringView());
}

bool TORLIniFile::DeleteKey(StringView section, StringView key) {
    TORLIniFileSection* s = FindSection(section);
    if (!s) return false;
    const int index = s->IndexOfKey(key, IniNameHash(key));
    if (index < 0) return false;
    s->Delete(index);
    Changed();
    return true;
}

bool TORLIniFile::DeleteSection(StringView section) {
    TORLIniFileSection* s = FindSection(section);
    if (!s) return false;
    if (FLastSection == s) FLastSection = nullptr;
    FSections.erase(std::find_if(FSections.begin(), FSections.end(), [s](const auto& p) { return p.get() == s; }));
    Changed();
    return true;
}

void TORLIniFile::WriteSectionText(StringView section, StringView text) {
    TORLIniFileSection& s = FindOrAddSection(section);
    s.Clear();
    SplitIniLines(text, [&s](StringView line, bool last) {
        if (!last || !line.empty()) s.Add(line);
    });
    Changed();
}

void TORLIniFile::Clear() {
    FLastSection = nullptr;
    FSections.clear();
    Changed();
}

void TORLIniFile::Assign(const TORLIniFile& other) {
    if (&other == this) return;
    LoadFromText(other.SaveToText());
}

void TORLIniFile::Merge(const TORLIniFile& other, bool overwrite) {
    if (&other == this) return;
    for (const auto& source : other.FSections) {
        const String& name = source->Name();
        if (!SectionExists(name)) {
            WriteSectionText(name, other.ReadSectionText(name));
            continue;
        }
        for (int i = 0; i < source->Count(); ++i) {
            const StringView key = IniLineName(source->Strings(i));
            if (key.empty()) continue;
            if (!overwrite && KeyExists(name, key)) continue;
            // The stored text, not a subclass's reading of it: a language's "\n" must not turn
            // into a real line break inside a line.
            String value;
            other.TORLIniFile::ReadString(name, key, value);
            WriteString(name, key, value);
        }
    }
}

void TORLIniFile::Merge(StringView fileName, bool overwrite) {
    TORLIniFile source(fileName);
    Merge(source, overwrite);
}

// ---------------------------------------------------------------------------------------------
// Loading

void TORLIniFile::LoadFromFile(StringView fileName) {
    BeginUpdate();
    try {
        Clear();
        FFileName = String(fileName);
        std::unique_ptr<TORLFileStream> file;
        try {
            file = std::make_unique<TORLFileStream>(fileName, TORLFileStream::TMode::fmOpenRead);
        } catch (const EStreamError&) {
            // A missing or locked file reads as an empty one.
        }
        if (file) LoadFromStream(*file);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
    FModified = false;
}

void TORLIniFile::LoadFromStream(TStream& stream) {
    const std::vector<uint8_t> bytes = ReadRemainingBytes(stream);
    TORLTextEncoding encoding = teAnsi;
    const String text = DecodeIniBytes(bytes.data(), bytes.size(), encoding);
    LoadFromText(text.data(), text.size());
    FEncoding = encoding;
}

void TORLIniFile::LoadFromText(const Char* text, size_t count) {
    BeginUpdate();
    try {
        Clear();
        TORLIniFileSection* current = nullptr;
        SplitIniLines(StringView(text, count), [this, &current](StringView line, bool) {
            if (line.empty()) return;
            if (line[0] == u'[') {
                // The last character is dropped whatever it is: "[Name" opens "Nam".
                const StringView name = line.size() >= 2 ? line.substr(1, line.size() - 2) : StringView();
                current = &FindOrAddSection(name);
            } else if (current) {
                current->Add(line);
            }
        });
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

// ---------------------------------------------------------------------------------------------
// Saving

template <class Sink>
void TORLIniFile::Serialize(Sink&& sink) const {
    String header;
    for (const auto& section : FSections) {
        if (section->Count() == 0) continue;
        header.clear();
        header += u'[';
        header += section->Name();
        header += u"]\r\n";
        sink(StringView(header));
        for (int i = 0; i < section->Count(); ++i) {
            sink(StringView(section->Strings(i)));
            sink(StringView(kCrLf));
        }
        sink(StringView(kCrLf));
    }
}

String TORLIniFile::SaveToText() const {
    String text;
    Serialize([&text](StringView piece) { text.append(piece); });
    return text;
}

void TORLIniFile::SaveToStream(TStream& stream, TORLTextEncoding encoding) const {
    TEncodedWriter writer(stream, encoding);
    writer.Mark();
    Serialize(writer);
    writer.Flush();
}

bool TORLIniFile::SaveToFile(StringView fileName, TORLTextEncoding encoding) const {
    // Written beside the file first: a full disk leaves the old settings rather than an empty file.
    try {
        WriteFileReplacing(fileName, [&](TStream& file) { SaveToStream(file, encoding); });
    } catch (const EFOpenError&) {
        return false;
    }
    return true;
}

bool TORLIniFile::UpdateFile() {
    if (FFileName.empty()) return false;
    if (!FModified) return true;
    if (!SaveToFile(FFileName, FEncoding)) return false;
    FModified = false;
    return true;
}

}  // namespace uinst
