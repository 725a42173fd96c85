#pragma once
// Saving a window's content over a file that another program (a second
// Flickstow on another machine, a synchronising tool, an editor) may have
// changed since the window read it. Nothing is saved over such a change
// without asking, and no answer loses either version.

#include "platform/ansi/ansi.h"
#include "platform/files/files.h"

#include <QDateTime>
#include <functional>
#include <string_view>

class FormKeys;

// The name a window's content is saved under beside the file when the user
// keeps the other version: the file's name up to its last ".", "-", the
// date and time as YYYYMMDD-HHMMSS, and the ending ("data-20240131-235959.vrx");
// when that name is taken, "-2", "-3" ... before the ending.
AnsiString SideFileName(std::string_view fileName, const QDateTime& when,
                        const std::function<bool(const AnsiString& name)>& taken);

// A file a window reads and saves back.
struct GuardedFile {
    AnsiString path;
    // What the window read or last wrote; a save there brings it up to date.
    files::FileIdentity known;
    // The question's caption, and what the window holds ("films").
    const char* caption;
    const char* contentName;
    // Where a replacement keeps the other version, and whether every save
    // keeps the file it replaces there (else only an answered Yes does).
    AnsiString backupPath;
    bool backupEverySave = false;
};

enum class SaveOutcome { Saved, SavedAside, Cancelled };

// Saves content() to the file. When the file changed on disk since it was
// known (a vanished file did not), asks first, caption and content name
// from the file, warning icon, Yes, No and Cancel: Yes replaces the file and
// keeps the other version as the backup; No leaves the file alone and saves
// the content as a new side file beside it (SideFileName, never over
// anything); Cancel writes nothing. Raises EFCreateError when a write fails.
SaveOutcome SaveWithoutLoss(FormKeys& keys, GuardedFile& file, const std::function<files::Producer()>& content);
