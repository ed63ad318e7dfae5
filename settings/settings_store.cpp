// The settings store on the platform's private-profile functions.
#include "settings_store.h"

#include <windows.h>

#include "ansi_text.h"
#include "setting_text.h"

SettingsStore g_settings;

namespace {

// Windows refuses to write a read-only file, but Wine run by root writes it anyway;
// the store keeps the promise itself so that a read-only settings file stays as it is.
bool IsReadOnlyFile(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Reading a profile value drops blanks at either end and one pair of quotes around
// it, so a password " pw " would log in as "pw". Only such a value is written inside
// quotes; the reader takes them off again and every other value is stored as it is.
std::string ProfileText(const char* value)
{
    const std::string text = value ? value : "";
    if (text.empty())
        return text;
    const char first = text.front();
    const char last = text.back();
    const bool quoted = text.size() >= 2 && (first == '"' || first == '\'') && last == first;
    if (IsBlank(first) || IsBlank(last) || quoted)
        return '"' + text + '"';
    return text;
}

}  // namespace

void PointSettingsAtIniFile()
{
    g_settings.filePath = "./Pelmix.ini";
}

SettingsStore& SettingsStore::SelectKey(const char* name)
{
    keyName = name ? name : "";
    return *this;
}

const std::string& SettingsStore::GetString(const char* defaultValue)
{
    char buffer[256] = {};
    GetPrivateProfileStringA(sectionName.c_str(), keyName.c_str(), defaultValue ? defaultValue : "",
                             buffer, sizeof(buffer), filePath.c_str());
    buffer[sizeof(buffer) - 1] = '\0';
    // A value cut at 255 bytes may end in half a double-byte character.
    buffer[WholeCharacterLength(buffer)] = '\0';
    lastResult = buffer;
    return lastResult;
}

int32_t SettingsStore::GetInt(int32_t defaultValue)
{
    return static_cast<int32_t>(GetPrivateProfileIntA(sectionName.c_str(), keyName.c_str(), defaultValue,
                                                      filePath.c_str()));
}

bool SettingsStore::WriteString(const char* value)
{
    if (IsReadOnlyFile(filePath))
        return false;
    return WritePrivateProfileStringA(sectionName.c_str(), keyName.c_str(), ProfileText(value).c_str(),
                                      filePath.c_str()) != FALSE;
}

bool SettingsStore::WriteInt(int32_t value)
{
    char text[80];
    wsprintfA(text, "%d", static_cast<int>(value));
    return WriteString(text);
}

std::string ReadSetting(const StringSetting& setting)
{
    return g_settings.SelectKey(setting.key).GetString(setting.defaultValue);
}

int32_t ReadSetting(const IntSetting& setting)
{
    if (setting.least == INT32_MIN && setting.most == INT32_MAX)
        return g_settings.SelectKey(setting.key).GetInt(setting.defaultValue);
    int32_t value = setting.defaultValue;
    ReadDecimalInRange(g_settings.SelectKey(setting.key).GetString("").c_str(), setting.least, setting.most, value);
    return value;
}

WordChoice ReadSetting(const WordSetting& setting)
{
    WordChoice choice{0, g_settings.SelectKey(setting.key).GetString(setting.words[0])};
    choice.index = FindWord(choice.text.c_str(), setting.words, setting.count);
    return choice;
}

bool WriteSetting(const IntSetting& setting, int32_t value)
{
    return g_settings.SelectKey(setting.key).WriteInt(value);
}

bool WriteSetting(const WordSetting& setting, int index)
{
    return index >= 0 && index < setting.count && g_settings.SelectKey(setting.key).WriteString(setting.words[index]);
}
