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
    void WriteString(const char* value);
    void WriteInt(int32_t value);

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
struct IntSetting { const char* key; int32_t defaultValue; };

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
constexpr IntSetting keepFiles{"keep_files", 0};    // backups kept: the newest N, 0 = all
constexpr IntSetting keepDays{"keep_days", 0};      // backups kept: of the last D days, 0 = all
// The upload's connection; absent keys give a plain active-mode upload on port 21.
constexpr IntSetting ftpPort{"ftp_port", 21};
constexpr StringSetting ftpMode{"ftp_mode", "active"};
constexpr IntSetting ftpAtomic{"ftp_atomic", 0};
constexpr StringSetting ftpTls{"ftp_tls", "none"};
constexpr IntSetting ftpTlsInsecure{"ftp_tls_insecure", 0};
// SFTP: absent keys give the FTP upload. With protocol=sftp, ftp_port is the SSH port
// (absent: 22); ssh_hostkey pins the server's key ("SHA256:..." as `ssh-keygen -lf`
// prints it); ssh_key is a private key file used instead of the password.
constexpr StringSetting protocol{"protocol", "ftp"};
constexpr IntSetting sftpPort{"ftp_port", 22};
constexpr StringSetting sshHostKey{"ssh_hostkey", ""};
constexpr StringSetting sshKey{"ssh_key", ""};
}  // namespace Setting

// Reads one setting with its own default (a copy: the store's buffer is reused).
std::string ReadSetting(const StringSetting& setting);
int32_t ReadSetting(const IntSetting& setting);
void WriteSetting(const IntSetting& setting, int32_t value);
