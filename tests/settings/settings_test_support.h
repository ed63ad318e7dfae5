// Shared by the settings tests: a scratch folder that holds ./Pelmix.ini, file helpers,
// and a driver that opens the real settings dialog and plays user steps into it.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// Each test runs in a fresh empty folder that is the current folder, with the store
// pointed at ./Pelmix.ini the way start-up does it.
// The file the store is pointed at, relative to the test's folder.
inline constexpr char kIni[] = "Pelmix.ini";

// count copies of one two-byte kanji, for length limits counted in bytes.
std::string Kanji(int count);

class IniFolderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string folder_;

private:
    char previousFolder_[MAX_PATH] = "";
};

bool FileExists(const char* path);
std::string ReadFileBytes(const char* path);
void WriteFileBytes(const char* path, const std::string& bytes);
FILETIME LastWriteTime(const char* path);
// Moves the file's time stamp a few seconds on, as an edit made later would.
void AgeFileTimeForward(const char* path);

// One step of a user session with the open dialog. Steps run one after another, each
// only once everything the step before posted has been handled by the dialog.
using DialogStep = std::function<void(HWND dialog)>;

// Opens dialog 129 modally with SettingsDialogProc, plays the steps and, as the program
// does, stores what the dialog took when it closed with OK. Returns the dialog's
// result; 99 when the steps ran out and the dialog was still open.
INT_PTR RunSettingsDialog(const std::vector<DialogStep>& steps);
// Any dialog template of the program with its procedure and parameter; stores nothing.
INT_PTR RunDialog(int templateId, DLGPROC procedure, const std::vector<DialogStep>& steps, LPARAM param);

// What a user does, as the window messages the system would deliver.
void TypeText(HWND control, const std::string& text);   // characters into a control
void PressKey(HWND dialog, WPARAM virtualKey);          // a key to the focused control
void ClickButton(HWND dialog, int buttonId);
std::string FieldText(HWND dialog, int controlId);
