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
#include "settings_store.h"
#include "timelapse.h"
#include "timelapse_plan.h"

namespace {

constexpr uint64_t kBytesPerMb = 1024 * 1024;

bool g_lowSpaceLogged = false;

struct TimelapseRun {
    TimelapseJob job;
    TimelapseOutcome outcome;
};
// The run belongs to the maker's thread until that has ended. A plain pointer: a static
// owner would free it at exit while the thread may still be writing.
HANDLE g_timelapseThread = nullptr;
TimelapseRun* g_timelapseRun = nullptr;
int32_t g_timelapseCheckedDate = 0;

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

void UploadTimelapse(const std::string& name)
{
    UploadPlan plan = PlanUpload(name);
    plan.remoteName = ReadSetting(Setting::timelapseName);
    const UploadOutcome sent = SendPicture(plan);
    char line[700];
    if (sent.result == UploadResult::Sent)
        snprintf(line, sizeof(line), "タイムラプスをアップロードしました (%s → %s)", name.c_str(), plan.remoteName.c_str());
    else
        snprintf(line, sizeof(line), "タイムラプスのアップロードに失敗しました (サーバー %s, %s%s%s)", plan.server.c_str(),
                 sent.lastReply.c_str(), sent.lastReply.empty() ? "" : "; ", sent.why.c_str());
    LogEvent(line);
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
        UploadTimelapse(outcome.name);
}

void LogDeleted(const std::vector<std::string>& deleted)
{
    if (deleted.empty())
        return;
    char line[700];
    snprintf(line, sizeof(line), "空き容量を確保するため古い写真を %u 枚削除しました (%s ～ %s)",
             static_cast<unsigned>(deleted.size()), deleted.front().c_str(), deleted.back().c_str());
    LogEvent(line);
}

}  // namespace

bool MakeRoomForAutomaticSave()
{
    const int32_t keepFreeMb = ReadSetting(Setting::keepFreeMb);
    if (keepFreeMb <= 0)
        return true;
    const RoomForSave room = MakeRoomForSave(ReadSetting(Setting::localDir), ReadSetting(Setting::st),
                                             static_cast<uint64_t>(keepFreeMb) * kBytesPerMb);
    LogDeleted(room.deleted);
    if (room.enough) {
        g_lowSpaceLogged = false;
        return true;
    }
    if (!g_lowSpaceLogged) {
        char line[300];
        snprintf(line, sizeof(line), "空き容量が足りないため撮影を保存しませんでした (空き %u MB, keep_free_mb=%d; 消せる写真がありません)",
                 static_cast<unsigned>(room.freeBytes / kBytesPerMb), static_cast<int>(keepFreeMb));
        LogEvent(line);
        g_lowSpaceLogged = true;
    }
    return false;
}

void CheckDailyTimelapse()
{
    // A tick inside a running cycle leaves the upload to a later one: one transfer at a time.
    if (g_cycleBusy)
        return;
    CollectTimelapse();
    if (g_timelapseThread || ReadSetting(Setting::timelapse) != 1)
        return;
    const int32_t today = LocalDateToday();
    if (today == g_timelapseCheckedDate)
        return;
    auto run = std::make_unique<TimelapseRun>();
    run->job.imageFolder = ReadSetting(Setting::localDir);
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
