// The upload's settings read here and handed to the upload as a plain plan: the upload
// knows no settings file, the settings know no upload.
#include "upload_plan.h"

#include "connection_probe.h"
#include "picture_path.h"
#include "settings_store.h"
#include "upload_core.h"

namespace {

// In the order of the words of Setting::ftpMode and Setting::ftpTls.
constexpr FtpMode kModes[] = {FtpMode::active, FtpMode::passive, FtpMode::automatic};
constexpr FtpTls kTlsLevels[] = {FtpTls::none, FtpTls::explicitTls, FtpTls::implicitTls};
constexpr UploadProtocol kProtocols[] = {UploadProtocol::ftp, UploadProtocol::sftp};
static_assert(sizeof(kModes) / sizeof(kModes[0]) == Setting::ftpMode.count, "one mode per word");
static_assert(sizeof(kTlsLevels) / sizeof(kTlsLevels[0]) == Setting::ftpTls.count, "one TLS level per word");
static_assert(sizeof(kProtocols) / sizeof(kProtocols[0]) == Setting::protocol.count, "one protocol per word");

// The value of a word setting, or, for a value that is none of its words, the reason the
// upload refuses to start: a guess could send the password in clear.
template <typename Value>
Value TakeWord(const WordSetting& setting, const Value* values, std::string& refused)
{
    const WordChoice choice = ReadSetting(setting);
    if (choice.index >= 0)
        return values[choice.index];
    if (refused.empty()) {
        refused = std::string(setting.key) + "=" + choice.text + " は使えない値です (";
        for (int i = 0; i < setting.count; ++i)
            refused += std::string(i ? ", " : "") + setting.words[i];
        refused += " のどれか)";
    }
    return values[0];
}

}  // namespace

UploadPlan PlanUpload(const std::string& lastSavedFileName)
{
    UploadPlan plan;
    plan.server = ReadSetting(Setting::server);
    plan.user = ReadSetting(Setting::id);
    plan.password = ReadSetting(Setting::pass);
    plan.dir = ReadSetting(Setting::dir);
    plan.localPath = PicturePath(ReadSetting(Setting::localDir), lastSavedFileName);
    plan.remoteName = RemoteUploadName(ReadSetting(Setting::dutJpg), lastSavedFileName);
    plan.port = ReadSetting(Setting::ftpPort);
    plan.mode = TakeWord(Setting::ftpMode, kModes, plan.refused);
    plan.atomic = ReadSetting(Setting::ftpAtomic) != 0;
    plan.tls = TakeWord(Setting::ftpTls, kTlsLevels, plan.refused);
    plan.insecure = ReadSetting(Setting::ftpTlsInsecure) != 0;
    plan.protocol = TakeWord(Setting::protocol, kProtocols, plan.refused);
    if (plan.protocol == UploadProtocol::sftp) {
        plan.port = ReadSetting(Setting::sftpPort);
        plan.sshHostKey = ReadSetting(Setting::sshHostKey);
        plan.sshKey = ReadSetting(Setting::sshKey);
    }
    return plan;
}

ConnectionTestResult TestConnection(const ConnectionValues& values)
{
    ConnectionTestResult result;
    // A value the dialog shows no choice for is one the upload refuses: so does the test.
    const char* unknown = values.protocol < 0 ? Setting::protocol.key
                          : values.mode < 0   ? Setting::ftpMode.key
                          : values.tls < 0    ? Setting::ftpTls.key
                                              : nullptr;
    if (unknown) {
        result.sentence = std::string("接続テストはしていません (") + unknown + " の値が使えません。一覧から選んでください)。";
        return result;
    }
    UploadPlan plan;
    plan.server = values.server;
    plan.user = values.user;
    plan.password = values.password;
    plan.dir = values.dir;
    plan.port = values.port;
    plan.mode = kModes[values.mode];
    plan.tls = kTlsLevels[values.tls];
    plan.insecure = values.tlsInsecure;
    plan.protocol = kProtocols[values.protocol];
    plan.sshKey = values.sshKey;
    plan.sshHostKey = values.sshHostKey;
    const ProbeReport report = ProbeConnection(plan);
    result.sentence = ProbeSentence(report);
    if (report.verdict == ProbeVerdict::unknownHostKey || report.verdict == ProbeVerdict::hostKeyChanged) {
        result.fingerprint = report.fingerprint;
        result.keyType = report.keyType;
        result.keyChanged = report.verdict == ProbeVerdict::hostKeyChanged;
    }
    return result;
}
