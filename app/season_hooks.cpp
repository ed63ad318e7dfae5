// The automatic mode's free-space margin and daily timelapse, between the settings, the
// log and the capture folder's own code.
#include "season_hooks.h"

#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app_state.h"
#include "disk_guard.h"
#include "event_log.h"
#include "ftp_upload.h"
#include "picture_commands.h"
#include "picture_path.h"
#include "retention.h"
#include "settings_store.h"
#include "timelapse.h"
#include "timelapse_plan.h"
#include "upload_plan.h"

namespace {

constexpr uint64_t kBytesPerMb = 1024 * 1024;

struct TimelapseRun {
    TimelapseJob job;
    TimelapseOutcome outcome;
};
// The run belongs to the maker's thread until that has ended. A plain pointer: a static
// owner would free it at exit while the thread may still be writing.
HANDLE g_timelapseThread = nullptr;
TimelapseRun* g_timelapseRun = nullptr;
int32_t g_timelapseCheckedDate = 0;
// The made video waiting for its upload (empty: none), and whether the upload that runs
// is its. Window's thread only.
std::string g_timelapseToSend;
std::string g_timelapseRemoteName;
bool g_timelapseUploading = false;

DWORD WINAPI TimelapseThread(void* parameter)
{
    auto* run = static_cast<TimelapseRun*>(parameter);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    try {
        run->outcome = MakeDailyTimelapse(run->job);
    } catch (...) {
        run->outcome.result = TimelapseResult::Failed;
        run->outcome.why = "out of memory";
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return 0;
}

int32_t LocalDateToday()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now.wYear * 10000 + now.wMonth * 100 + now.wDay;
}

UploadPlan TimelapsePlan(const std::string& name)
{
    UploadPlan plan = PlanUpload(name);
    plan.remoteName = ReadSetting(Setting::timelapseName);
    return plan;
}

// One transfer at a time: while a picture's upload runs (or a cycle is about to start
// one), the video waits for a later tick.
void StartTimelapseUpload()
{
    if (g_timelapseToSend.empty() || g_cycleBusy || UploadRunning())
        return;
    // Out of memory: a later tick tries again.
    try {
        const UploadPlan plan = TimelapsePlan(g_timelapseToSend);
        if (!StartUpload(plan, g_mainWindow, WM_PELMIX_UPLOAD_ENDED))
            return;
        g_timelapseRemoteName = plan.remoteName;
    } catch (...) {
        return;
    }
    g_timelapseUploading = true;
}

// The maker's outcome once its thread has ended.
void CollectTimelapse()
{
    if (!g_timelapseThread || WaitForSingleObject(g_timelapseThread, 0) != WAIT_OBJECT_0)
        return;
    CloseHandle(g_timelapseThread);
    g_timelapseThread = nullptr;
    const TimelapseOutcome outcome = g_timelapseRun->outcome;
    delete g_timelapseRun;
    g_timelapseRun = nullptr;
    char line[600];
    if (outcome.result == TimelapseResult::Failed) {
        snprintf(line, sizeof(line), "タイムラプスを作成できませんでした (%s; %s)", outcome.name.c_str(), outcome.why.c_str());
        LogEvent(line);
        return;
    }
    if (outcome.result != TimelapseResult::Made)
        return;
    snprintf(line, sizeof(line), "タイムラプスを作成しました (%s, %u コマ)", outcome.name.c_str(),
             static_cast<unsigned>(outcome.frames));
    LogEvent(line);
    if (ReadSetting(Setting::timelapseUpload) == 1)
        g_timelapseToSend = outcome.name;
}

}  // namespace

std::string MakeRoomForAutomaticSave()
{
    const int32_t keepFreeMb = ReadSetting(Setting::keepFreeMb);
    if (keepFreeMb <= 0)
        return "";
    // The folder the save uses, a missing one being the current folder; its drive is measured.
    const RoomForSave room = MakeRoomForSave(ImageFolderPath(ReadSetting(Setting::localDir)), ReadSetting(Setting::st),
                                             static_cast<uint64_t>(keepFreeMb) * kBytesPerMb);
    const std::string deleted = DeletionLogLine(room.deleted, kPicturesForSpace);
    if (!deleted.empty())
        LogEvent(deleted.c_str());
    if (room.enough)
        return "";
    // The same words for every skipped cycle, so that a run of them is logged once.
    char line[300];
    snprintf(line, sizeof(line), "空き容量が足りないため撮影を保存しませんでした (keep_free_mb=%d; 消せる写真がありません)",
             static_cast<int>(keepFreeMb));
    return line;
}

void CheckDailyTimelapse()
{
    CollectTimelapse();
    StartTimelapseUpload();
    if (g_timelapseThread || ReadSetting(Setting::timelapse) != 1)
        return;
    const int32_t today = LocalDateToday();
    if (today == g_timelapseCheckedDate)
        return;
    auto run = std::make_unique<TimelapseRun>();
    run->job.imageFolder = ImageFolderPath(ReadSetting(Setting::localDir));
    run->job.prefix = ReadSetting(Setting::st);
    run->job.fps = UsableTimelapseFps(ReadSetting(Setting::timelapseFps));
    run->job.maxFrames = UsableTimelapseFrames(ReadSetting(Setting::timelapseFrames));
    run->job.today = today;
    HANDLE thread = CreateThread(nullptr, 0, TimelapseThread, run.get(), CREATE_SUSPENDED, nullptr);
    if (!thread)
        return;  // tried again on the next tick
    g_timelapseCheckedDate = today;
    // The cycle and the window come first on a busy machine.
    SetThreadPriority(thread, THREAD_PRIORITY_BELOW_NORMAL);
    g_timelapseRun = run.release();
    g_timelapseThread = thread;
    ResumeThread(thread);
}

bool TimelapseUploadRunning() { return g_timelapseUploading; }

bool OnTimelapseUploadEnded()
{
    if (!g_timelapseUploading)
        return false;
    g_timelapseUploading = false;
    const std::string name = g_timelapseToSend;
    g_timelapseToSend.clear();
    if (!UploadRunning())
        return true;
    const UploadOutcome sent = FinishUpload();
    char line[700];
    if (sent.result == UploadResult::Sent)
        snprintf(line, sizeof(line), "タイムラプスをアップロードしました (%s → %s)", name.c_str(),
                 g_timelapseRemoteName.c_str());
    else
        snprintf(line, sizeof(line), "タイムラプスのアップロードに失敗しました (サーバー %s, %s%s%s)", sent.server.c_str(),
                 sent.lastReply.c_str(), sent.lastReply.empty() ? "" : "; ", sent.why.c_str());
    LogEvent(line);
    return true;
}
