#pragma once
// What every test executable shares: a temporary program folder and a
// temporary configuration home for each test, message boxes that are logged
// and answered from a queue, and small file helpers.

#include "platform/ansi/ansi.h"
#include "platform/dialogs/dialogs.h"

#include <QString>
#include <QStringList>
#include <QTest>
#include <map>

namespace testsupport {

// A fresh, empty program folder and configuration home; the program's
// executable is taken to lie in that folder. Clears the box log and queue.
void FreshSandbox();
// The program folder, ending in "/".
AnsiString ProgramDir();
AnsiString ConfigHome();
AnsiString InProgramDir(std::string_view name);

void WriteFile(const AnsiString& path, std::string_view bytes);
AnsiString ReadFile(const AnsiString& path);

// Every file in the program folder, by name, with its bytes.
std::map<AnsiString, AnsiString> ProgramFolderFiles();

// What another program does to a file a window has read: "bytes" writes
// these bytes, "remove" removes it, "time" changes its time and nothing else.
void ChangeAsAnotherProgram(const AnsiString& path, const QString& change, std::string_view bytes);
// The cases of saving over such a change: the change, and the answer to the
// question it asks (0: no question).
void AddChangedOnDiskRows();
// The question a save asks then: the file's path, what the window holds
// ("films"), the backup's and the side file's names.
AnsiString ChangedQuestion(const AnsiString& path, const char* content, const char* backup, const AnsiString& side);
// The side file's name that question offers; empty when it offers none.
AnsiString OfferedSideFile(const AnsiString& question);

// Types the text into the widget key by key; unlike QTest::keyClicks it
// takes any character, not only ASCII.
void TypeText(QWidget* widget, const QString& text);

// The number of pages of a PDF file as its page tree counts them; -1 when
// the file holds no page tree.
int PdfPageCount(const AnsiString& path);

// Makes the CUPS client library find no server, so that there is no CUPS
// destination and nothing can reach a real printer. Call it before anything
// asks CUPS (the library keeps its first answer).
void NoCupsServer();
// Keys as a user types them: the window is shown and made active first, and
// every key goes to the control that really has the keyboard focus.
void Activate(QWidget* window);
QWidget* FocusedNow();
// A key pressed and released where the focus really is.
void UserKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// Only the release of a key whose press went elsewhere: to a message box
// that closed on it, or to a menu.
void ReleaseOnly(Qt::Key key);

// SANE's configuration for the rest of the run: the "test" backend (or the
// given backends) with these settings. SANE keeps the folder it read first
// for the whole process, so every call rewrites the files of one folder.
// Every setting a test may change is written each time, at the backend's
// own default unless the test says otherwise: a backend kept loaded keeps
// what the previous file said.
void ConfigureSane(const QStringList& testConf, const QString& backends = "test");

// The boxes shown since the last FreshSandbox.
const std::vector<dialogs::test::ShownBox>& Boxes();

int Run(int argc, char** argv, QObject* test);

}  // namespace testsupport

#define FLICKSTOW_TEST_MAIN(TestClass)              \
    int main(int argc, char** argv) {               \
        TestClass test;                             \
        return testsupport::Run(argc, argv, &test); \
    }
