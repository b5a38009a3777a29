#pragma once
// The run journal: every change an installation makes to the machine is recorded, written
// through to the disk, before it is made, so that a failed, cancelled or interrupted run can be
// played backwards and leave the machine as it was.
//
// The journal lives in a hidden folder beside the installation folder, on the same volume
// ("C:\Programs\ORVO\" -> "C:\Programs\ORVO.~rollback\"). Files that a run replaces or deletes are
// not deleted: they are moved into that folder's staging area (a rename, instant and without
// free space) and removed only when the run has succeeded.
//
// The file is UTF-8 text, one record a line, fields separated by tabs (a tab, line break or
// backslash inside a field is escaped with a backslash). A line without its line break (the
// process ended while writing it) is ignored.
#include <windows.h>

#include <memory>
#include <vector>

#include "base/string.h"
#include "platform/handles.h"

namespace uinst {

class TRunJournal {
public:
    static constexpr StringView kFolderSuffix = u".~rollback";
    static constexpr StringView kFileName = u"journal.txt";

    // The journal folder for an installation folder, with a trailing backslash.
    static String FolderFor(const String& destPath);
    static bool Exists(const String& destPath);
    // Starts the journal of a new run for the installation folder.
    static std::unique_ptr<TRunJournal> Begin(const String& destPath);
    // A journal that an earlier run left behind (the process ended, the machine went off): rolls
    // it back, or finishes its commit when that run had succeeded. False when there was none.
    static bool RecoverInterrupted(const String& destPath);

    ~TRunJournal();
    TRunJournal(const TRunJournal&) = delete;
    TRunJournal& operator=(const TRunJournal&) = delete;

    // Each record is on the disk when these return.
    void FolderCreated(const String& folder);
    void FileCreated(const String& file);
    // Before a file is written where one may exist: an existing file is set aside, then the
    // creation is recorded. False when an existing file could not be set aside (it is still there).
    bool Replacing(const String& file);
    // Moves an existing file or folder into the staging area (copies it there when it cannot be
    // moved, for example to another volume). True when nothing is left at the path afterwards.
    bool SetAside(const String& path);
    void Renamed(const String& from, const String& to);
    void FolderRemoved(const String& folder);
    // Before a registry key is written or deleted: the key as it is now (values and subkeys).
    void RegistryKeyChanging(HKEY root, REGSAM view, const String& path);
    // Before a library's registration is undone: on rollback it registers itself again.
    void LibraryUnregistering(const String& library);
    // Before a helper integrates the product: on rollback the undo command runs.
    void HelperIntegrating(const String& undoCommandLine);

    // True once anything has been recorded.
    bool HasChanges() const { return FChanges > 0; }
    // Plays the journal backwards, one "Rollback: ..." log line per change; errors are logged
    // and the rollback goes on. The journal folder goes when nothing is left in the staging area.
    void Rollback();
    // The run succeeded: the staging area and the journal are deleted.
    void Commit();

    const String& Folder() const { return FFolder; }

private:
    TRunJournal(String destPath, String folder);
    void Append(const std::vector<String>& fields);
    String NextStagedName();

    String FDestPath;
    String FFolder;
    TUniqueFile FFile;
    int FChanges = 0;
    int FStaged = 0;
};

// The journal of the installation being run, or null (no run, or a run that is not journaled).
TRunJournal* ActiveJournal();
void SetActiveJournal(TRunJournal* journal);

// With an active journal the change is recorded (and files set aside); without one these behave
// as the plain operations.
void JournaledDelete(const String& file);  // DeleteOrDefer
void JournalFolderCreated(const String& folder);
// ForceFolders, each folder it makes recorded first.
bool JournaledForceFolders(const String& folder, uint32_t& error);
void JournalReplacing(const String& file);
void JournalRenamed(const String& from, const String& to);

}  // namespace uinst
