// The one accessor of the settings file. Every access selects a key and then reads
// or writes it; nothing is cached, so a change on disk is seen at the next read.
#pragma once
#include <cstdint>
#include <string>

class SettingsStore {
public:
    SettingsStore& SelectKey(const char* name);
    const std::string& GetString(const char* defaultValue);  // at most 255 characters
    int32_t GetInt(int32_t defaultValue);
    // False when nothing was written (a read-only file, a folder that cannot be written).
    bool WriteString(const char* value);
    bool WriteInt(int32_t value);

    std::string filePath = "win.ini";
    std::string sectionName = "SETTING";
    std::string keyName = "key";
    std::string lastResult;
};

extern SettingsStore g_settings;

// Start-up's first step: from here on every setting lives in "./Pelmix.ini" of the
// folder that is current at start.
void PointSettingsAtIniFile();

// The keys and their defaults, named once so that every reader uses the same default.
struct StringSetting { const char* key; const char* defaultValue; };
// A number key with a range reads strictly: text that is not a plain decimal number
// within least..most ("1e9", "4294967297", "2145abc") counts as absent, so that such a
// value never becomes a small number that deletes pictures or a port elsewhere. A key
// without a range reads as the platform reads it.
struct IntSetting {
    const char* key;
    int32_t defaultValue;
    int32_t least = INT32_MIN;
    int32_t most = INT32_MAX;
};
// A key whose value is one of a few words, in any case; absent, the first word. Any
// other value is never taken for a default: its reader refuses to act on it. Keys where a
// wrong value would weaken security or send pictures elsewhere are of this kind.
struct WordSetting { const char* key; const char* const* words; int count; };
// Which word a WordSetting holds (-1: none of them) and its text as stored.
struct WordChoice { int index; std::string text; };

namespace Setting {
constexpr StringSetting st{"st", "pc"};
constexpr StringSetting msg{"msg", "[%y/%m/%d %H:%M]"};
constexpr StringSetting localDir{"local_dir", "."};
constexpr StringSetting server{"server", ""};
constexpr StringSetting id{"id", ""};
constexpr StringSetting pass{"pass", ""};
constexpr StringSetting dutJpg{"dut_jpg", ""};
constexpr StringSetting dir{"dir", ""};
constexpr IntSetting jpegQ{"jpeg_q", 75};
constexpr IntSetting timer{"timer", 60};
// Running unattended: none of these is written unless the user asks for it, and absent
// each means what the program did without it.
constexpr IntSetting autoStart{"auto_start", 0};    // 1: the automatic mode starts at launch
constexpr IntSetting autoUpload{"auto_upload", 0};  // the switches it starts with
constexpr IntSetting autoBackup{"auto_backup", 0};
constexpr IntSetting keepFiles{"keep_files", 0, 0, 99999};  // backups kept: the newest N, 0 = all
constexpr IntSetting keepDays{"keep_days", 0, 0, 36500};    // backups kept: of the last D days, 0 = all
// The upload's connection; absent keys give a plain active-mode upload on port 21.
constexpr IntSetting ftpPort{"ftp_port", 21, 1, 65535};
constexpr const char* kFtpModeWords[] = {"active", "passive", "auto"};
constexpr WordSetting ftpMode{"ftp_mode", kFtpModeWords, 3};
constexpr IntSetting ftpAtomic{"ftp_atomic", 0};
constexpr const char* kFtpTlsWords[] = {"none", "explicit", "implicit"};
constexpr WordSetting ftpTls{"ftp_tls", kFtpTlsWords, 3};
constexpr IntSetting ftpTlsInsecure{"ftp_tls_insecure", 0, 0, 1};
// A camera on a bracket, and a lighter picture for the web page; absent, every picture is
// saved, shown and sent as the camera gives it.
constexpr IntSetting rotate{"rotate", 0};                 // clockwise: 0, 90, 180 or 270
constexpr StringSetting flip{"flip", "none"};             // none, horizontal or vertical
constexpr IntSetting uploadWidth{"upload_width", 0};      // the upload's copy at most this wide; 0: none
constexpr IntSetting uploadQuality{"upload_quality", 0};  // that copy's JPEG quality; 0: jpeg_q
// A season unattended: hours of the day, free disk space, a daily timelapse, the tray icon.
// Absent, the automatic mode runs all day, nothing is deleted for space, no video is made
// and no icon is shown.
constexpr StringSetting activeFrom{"active_from", ""};  // local "HH:MM"
constexpr StringSetting activeTo{"active_to", ""};
constexpr StringSetting latitude{"latitude", ""};       // decimal degrees: daylight instead
constexpr StringSetting longitude{"longitude", ""};
constexpr IntSetting sunMargin{"sun_margin", 0};        // minutes before sunrise and after sunset
// MB kept free on the image folder's drive (at most 16 TB)
constexpr IntSetting keepFreeMb{"keep_free_mb", 0, 0, 16777216};
constexpr IntSetting timelapse{"timelapse", 0};         // 1: a video of each day's pictures
constexpr IntSetting timelapseFps{"timelapse_fps", 24};
constexpr IntSetting timelapseFrames{"timelapse_frames", 1440};
constexpr IntSetting timelapseUpload{"timelapse_upload", 0};
constexpr StringSetting timelapseName{"timelapse_name", "timelapse.avi"};
constexpr IntSetting tray{"tray", 0};                   // 1: minimising hides the window
// SFTP: absent keys give the FTP upload. With protocol=sftp, ftp_port is the SSH port
// (absent or out of range: 22); ssh_hostkey pins the server's key ("SHA256:..." as
// `ssh-keygen -lf` prints it); ssh_key is a private key file used instead of the password.
constexpr const char* kProtocolWords[] = {"ftp", "sftp"};
constexpr WordSetting protocol{"protocol", kProtocolWords, 2};
constexpr IntSetting sftpPort{"ftp_port", 22, 1, 65535};
constexpr StringSetting sshHostKey{"ssh_hostkey", ""};
constexpr StringSetting sshKey{"ssh_key", ""};
}  // namespace Setting

// Reads one setting with its own default (a copy: the store's buffer is reused).
std::string ReadSetting(const StringSetting& setting);
int32_t ReadSetting(const IntSetting& setting);
WordChoice ReadSetting(const WordSetting& setting);
// False when nothing was written.
bool WriteSetting(const IntSetting& setting, int32_t value);
bool WriteSetting(const WordSetting& setting, int index);
// The log's words for a change that could not be written.
constexpr const char* kSettingsNotWritten = "設定を保存できませんでした (Pelmix.ini に書き込めません)";
