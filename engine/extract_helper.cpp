#include "engine/extract_helper.h"

#include <windows.h>

#include <vector>

#include "base/md5.h"
#include "base/paths.h"
#include "base/text_case.h"
#include "engine/installer.h"
#include "engine/installer_errors.h"
#include "engine/installer_resources.h"
#include "engine/installer_script.h"
#include "engine/run_journal.h"
#include "engine/run_log.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/message_window.h"
#include "platform/os_error.h"
#include "platform/seams.h"

namespace uinst {

namespace {

constexpr size_t kBlock = 1 << 20;

// A file opened for writing, not shared, created anew or truncated.
class TTargetFileStream : public TStream {
public:
    explicit TTargetFileStream(HANDLE handle, String name) : FFile(handle), FName(std::move(name)) {}
    size_t Read(void*, size_t) override { return 0; }
    size_t Write(const void* buffer, size_t count) override {
        if (const uint32_t fault = Seams().FileFault(TFileOperation::foWrite)) RaiseOSError(fault, FName);
        DWORD written = 0;
        if (!WriteFile(FFile.Get(), buffer, static_cast<DWORD>(count), &written, nullptr)) RaiseLastOSError(FName);
        return written;
    }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override {
        LARGE_INTEGER distance, result;
        distance.QuadPart = offset;
        const DWORD method = origin == TSeekOrigin::soBeginning ? FILE_BEGIN
                             : origin == TSeekOrigin::soCurrent ? FILE_CURRENT
                                                                : FILE_END;
        return SetFilePointerEx(FFile.Get(), distance, &result, method) ? result.QuadPart : -1;
    }
    void SetSize(int64_t) override {}

private:
    TUniqueFile FFile;
    String FName;
};

HANDLE TryCreate(const String& fileName) {
    if (const uint32_t fault = Seams().FileFault(TFileOperation::foCreate)) {
        SetLastError(fault);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileW(WidePtr(LongPathName(fileName)), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

TMD5::TDigest FileDigest(const String& fileName) {
    TUniqueFile file(CreateFileW(WidePtr(LongPathName(fileName)), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) RaiseLastOSError(fileName);
    TMD5 md5;
    std::vector<uint8_t> buffer(kBlock);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
            RaiseLastOSError(fileName);
        if (read == 0) break;
        md5.Update(buffer.data(), read);
    }
    return md5.Final();
}

TMD5::TDigest StreamDigest(TStream& source) {
    const int64_t position = source.Position();
    TMD5 md5;
    std::vector<uint8_t> buffer(kBlock);
    for (size_t n; (n = source.Read(buffer.data(), buffer.size())) > 0;) md5.Update(buffer.data(), n);
    source.SetPosition(position);
    return md5.Final();
}

}  // namespace

String TInstallerExtractHelper::FormatText(StringView key, std::initializer_list<FormatArg> arguments) const {
    const String pattern = Installer->Resources().GetText(u"Common", key);
    // A language without the text still names the file or folder.
    return Format(pattern.empty() ? u"%s" : pattern, arguments);
}

void TInstallerExtractHelper::ForceDirectories(const String& folder) {
    // Every level it makes is journaled before it is made, so a rollback removes it again.
    uint32_t error = 0;
    if (!JournaledForceFolders(folder, error)) throw EInstallerInstallError(FormatText(u"E3", {folder}));
}

std::unique_ptr<TStream> TInstallerExtractHelper::CreateTargetStream(const String& fileName, TStream& source) {
    // A file that is there already is set aside for the rollback (and removed when the run has
    // succeeded); one that cannot be moved is handled below as before.
    TRunJournal* journal = ActiveJournal();
    if (journal) journal->Replacing(fileName);
    HANDLE handle = TryCreate(fileName);
    if (handle != INVALID_HANDLE_VALUE) return std::make_unique<TTargetFileStream>(handle, fileName);

    // The file exists and cannot be overwritten: leave it when it already has this content.
    if (FileDigest(fileName) == StreamDigest(source)) {
        RunLogLine(u"Unchanged and in use, left as it is: " + fileName);
        return nullptr;
    }
    JournalRenamed(fileName, fileName + u".bak");
    MoveFileW(WidePtr(LongPathName(fileName)), WidePtr(LongPathName(fileName + u".bak")));
    if (journal && !FileExists(fileName)) journal->FileCreated(fileName);
    const uint64_t firstTry = Seams().TickCount();
    for (;;) {
        handle = TryCreate(fileName);
        if (handle != INVALID_HANDLE_VALUE) return std::make_unique<TTargetFileStream>(handle, fileName);
        int answer = IDABORT;
        if (MessageBoxesSuppressed()) {
            // Unattended: retry for a few seconds, then abort (keeping the old file as it is).
            answer = Seams().TickCount() - firstTry < kUnattendedRetryMs ? IDRETRY : IDABORT;
            if (answer == IDRETRY) Seams().Sleep(250);
        } else {
            RunOnMainThread([&] {
                answer = ShowMessageBox(nullptr, FormatText(u"QM2", {fileName}),
                                        Installer->Resources().GetText(u"Common", u"Caption"),
                                        MB_ABORTRETRYIGNORE | MB_ICONWARNING | MB_DEFBUTTON2);
            });
        }
        if (answer == IDRETRY) continue;
        if (answer == IDIGNORE) {
            RunLogLine(u"Skipped at the user's request: " + fileName);
            return nullptr;
        }
        throw EInstallerInstallError(FormatText(u"E1", {fileName}));
    }
}

void TInstallerExtractHelper::Extract(const TInstallerScriptFile& entry) {
    TInstallerResources& resources = Installer->Resources();
    const String target = resources.ExpandPath(entry.Name);
    ForceDirectories(ExtractFilePath(target));
    // The source is a view of the package's content: written straight from there, no copy.
    std::unique_ptr<TReadOnlyMemoryStream> source = resources.OpenFile(entry.SourceName());
    std::unique_ptr<TStream> stream = CreateTargetStream(target, *source);
    if (!stream) return;
    const uint8_t* data = source->Memory();
    for (size_t done = 0, size = static_cast<size_t>(source->Size()); done < size;) {
        const size_t n = std::min(size - done, kBlock);
        stream->WriteBuffer(data + done, n);
        done += n;
    }
}

}  // namespace uinst
