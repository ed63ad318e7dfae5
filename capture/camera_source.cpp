// Cameras through DirectShow: a video input device feeds a Sample Grabber whose callback
// keeps the latest frame as 24-bit RGB with the time it came; a null renderer ends the
// graph. A frame older than the freshness limit is never handed out: a camera that was
// unplugged or stopped sending leaves no picture rather than a frozen one.
#include "video_source.h"

#include <dshow.h>
#include <qedit.h>

#include <cstring>
#include <new>

#include "capture_core.h"
#include "win_handles.h"

// In strmiids, but qedit.h of MinGW-w64 does not declare them.
EXTERN_C const CLSID CLSID_SampleGrabber;
EXTERN_C const CLSID CLSID_NullRenderer;

namespace {

void FreeMediaType(AM_MEDIA_TYPE& type)
{
    if (type.cbFormat)
        CoTaskMemFree(type.pbFormat);
    if (type.pUnk)
        type.pUnk->Release();
    type = AM_MEDIA_TYPE{};
}

// The object's own property pages in a modal frame; false when it has none.
bool ShowPropertyPages(IUnknown* object, HWND owner)
{
    ComPtr<ISpecifyPropertyPages> pages;
    if (!object || FAILED(object->QueryInterface(IID_ISpecifyPropertyPages, pages.putVoid())))
        return false;
    CAUUID ids = {};
    if (FAILED(pages->GetPages(&ids)))
        return false;
    bool shown = false;
    if (ids.cElems > 0)
        shown = SUCCEEDED(OleCreatePropertyFrame(owner, 0, 0, L"", 1, &object, ids.cElems, ids.pElems, 0, 0, nullptr));
    CoTaskMemFree(ids.pElems);
    return shown;
}

class CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&section_); }
    ~CriticalSection() { DeleteCriticalSection(&section_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    void Enter() { EnterCriticalSection(&section_); }
    void Leave() { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

class Guard {
public:
    explicit Guard(CriticalSection& section) : section_(section) { section_.Enter(); }
    ~Guard() { section_.Leave(); }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

private:
    CriticalSection& section_;
};

// Bytes of one frame of that format; 0 when it is not a usable 24-bit one.
uint64_t FrameBytes(const BITMAPINFOHEADER& format)
{
    return format.biBitCount == 24 ? Rgb24FrameBytes(format.biWidth, format.biHeight) : 0;
}

// The video header of a media type, when it has one.
bool ReadVideoHeader(const AM_MEDIA_TYPE& type, VIDEOINFOHEADER& header)
{
    if (type.formattype != FORMAT_VideoInfo || type.cbFormat < sizeof(VIDEOINFOHEADER) || !type.pbFormat)
        return false;
    std::memcpy(&header, type.pbFormat, sizeof(header));
    return true;
}

// Takes every sample on the graph's streaming thread and keeps the latest one with its
// own size (a sample that brings a new media type brings the new size with it).
class FrameCatcher final : public ISampleGrabberCB {
public:
    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_ISampleGrabberCB) {
            *object = static_cast<ISampleGrabberCB*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

    // ISampleGrabberCB
    STDMETHODIMP SampleCB(double, IMediaSample* sample) override
    {
        if (!sample)
            return S_OK;
        // The streaming thread is the system's: nothing may unwind into it.
        try {
            Keep(*sample);
        } catch (...) {
        }
        return S_OK;
    }
    STDMETHODIMP BufferCB(double, BYTE*, long) override { return E_NOTIMPL; }

    // The size that samples have until one brings a type of its own.
    void SetFormat(const BITMAPINFOHEADER& format)
    {
        Guard guard(section_);
        format_ = format;
    }

    // How many samples have come so far, and when the last one came.
    void Count(uint64_t& samples, DWORD& lastAt)
    {
        Guard guard(section_);
        samples = samples_;
        lastAt = lastAt_;
    }

    // The latest frame as BMP file bytes (bottom-up rows); false when there is none.
    bool Latest(std::vector<uint8_t>& bmp)
    {
        Guard guard(section_);
        return Rgb24FrameToBmp(pixels_.data(), pixels_.size(), pixelFormat_.biWidth, pixelFormat_.biHeight, bmp);
    }

private:
    ~FrameCatcher() = default;

    void Keep(IMediaSample& sample)
    {
        AM_MEDIA_TYPE* type = nullptr;
        VIDEOINFOHEADER header = {};
        bool newType = sample.GetMediaType(&type) == S_OK && type && ReadVideoHeader(*type, header);
        if (type) {
            FreeMediaType(*type);
            CoTaskMemFree(type);
        }
        BYTE* data = nullptr;
        if (FAILED(sample.GetPointer(&data)) || !data)
            return;
        const long length = sample.GetActualDataLength();

        Guard guard(section_);
        if (newType)
            format_ = header.bmiHeader;
        const uint64_t pixelBytes = FrameBytes(format_);
        if (pixelBytes == 0 || length <= 0 || static_cast<uint64_t>(length) < pixelBytes)
            return;  // cut short or of another size: never passed off as a whole frame
        pixels_.assign(data, data + static_cast<size_t>(pixelBytes));
        pixelFormat_ = format_;
        lastAt_ = GetTickCount();
        ++samples_;
    }

    LONG references_ = 1;
    CriticalSection section_;
    BITMAPINFOHEADER format_ = {};       // what the next sample holds
    BITMAPINFOHEADER pixelFormat_ = {};  // what pixels_ holds
    std::vector<uint8_t> pixels_;
    DWORD lastAt_ = 0;
    uint64_t samples_ = 0;
};

// A graph that is stopped and let go of. Stopping waits for the stream thread, and a
// device that went silent can hold that thread in its read for ever.
struct GraphParts {
    IMediaControl* control = nullptr;
    ISampleGrabber* grabber = nullptr;
    IUnknown* rest[5] = {};  // renderer, grabber filter, builder, graph, device: in this order

    void StopAndRelease()
    {
        if (control)
            control->Stop();
        if (grabber)
            grabber->SetCallback(nullptr, 0);
        if (control)
            control->Release();
        if (grabber)
            grabber->Release();
        for (IUnknown* part : rest)
            if (part)
                part->Release();
    }
};

// How many graphs are still stopping, each on a thread of its own. While one is, no new
// graph is made: the device is still held, and a camera that never answers again must
// not gather a stuck thread at every reconnect over months. This file is its one owner:
// the thread that lets go of a running graph (the window's, or the reopening thread for a
// source nobody took) or stops one for the format dialog counts it in, the stopping
// thread counts it out when done; it lives for the process.
LONG g_stoppingGraphs = 0;

DWORD WINAPI RetireGraph(void* parameter)
{
    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    auto* parts = static_cast<GraphParts*>(parameter);
    parts->StopAndRelease();
    delete parts;
    if (SUCCEEDED(hr))
        CoUninitialize();
    InterlockedDecrement(&g_stoppingGraphs);
    return 0;
}

// The thread that stops and releases the parts, or none (the caller then does it).
HANDLE StartRetiring(GraphParts* parts)
{
    InterlockedIncrement(&g_stoppingGraphs);
    HANDLE thread = CreateThread(nullptr, 0, RetireGraph, parts, 0, nullptr);
    if (!thread)
        InterlockedDecrement(&g_stoppingGraphs);
    return thread;
}

// How long the format dialog waits for the graph to stop: a working camera stops within
// a frame interval.
const DWORD kStopForDialogMs = 5000;

// Waits for the handle while this thread's messages are dispatched, as a modal dialog's
// loop does; false when it was not signalled within the limit.
bool WaitDispatching(HANDLE handle, DWORD limitMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD spent = GetTickCount() - start;
        if (spent >= limitMs)
            return false;
        const DWORD woken = MsgWaitForMultipleObjects(1, &handle, FALSE, limitMs - spent, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0)
            return true;
        if (woken != WAIT_OBJECT_0 + 1)
            return false;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                // The program's own loop ends on it.
                PostQuitMessage(static_cast<int>(message.wParam));
                return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

class CameraSource : public VideoSource {
public:
    ~CameraSource() override
    {
        // Stopping waits for the stream thread: a frame interval at best, for ever for a
        // device gone silent. A running graph is stopped on a thread of its own, so the
        // window never waits for it.
        const bool mayWait = running_ || stopUnsure_;
        auto* parts = new (std::nothrow) GraphParts;
        if (parts) {
            parts->control = control_.Detach();
            parts->grabber = grabber_.Detach();
            parts->rest[0] = renderer_.Detach();
            parts->rest[1] = grabberFilter_.Detach();
            parts->rest[2] = builder_.Detach();
            parts->rest[3] = graph_.Detach();
            parts->rest[4] = device_.Detach();
            const KernelHandle thread(mayWait ? StartRetiring(parts) : nullptr);
            if (!thread) {
                parts->StopAndRelease();
                delete parts;
            }
        } else if (control_.get()) {
            control_->Stop();
        }
        control_.Reset();
        renderer_.Reset();
        grabber_.Reset();
        grabberFilter_.Reset();
        builder_.Reset();
        graph_.Reset();
        device_.Reset();
        catcher_.Reset();
        if (comStarted_)
            CoUninitialize();
    }

    bool Open(const CameraIdentity& camera)
    {
        HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        comStarted_ = SUCCEEDED(hr);
        if (FAILED(hr) && hr != RPC_E_CHANGED_MODE)
            return false;
        *catcher_.put() = new (std::nothrow) FrameCatcher;
        if (!catcher_.get())
            return false;
        if (!FindDevice(camera) || !BuildGraph())
            return false;
        ReadFormat();
        return Run();
    }

    // Never waits for a first sample: the window's thread asks. The automatic mode waits
    // for a starting camera by its ticks instead.
    bool GrabFrame(std::vector<uint8_t>& bmp) override
    {
        return running_ && Health() == SourceHealth::Fresh && catcher_->Latest(bmp);
    }

    SourceHealth Health() override
    {
        if (!running_)
            return SourceHealth::Stale;
        uint64_t samples = 0;
        DWORD lastAt = 0;
        catcher_->Count(samples, lastAt);
        const DWORD now = GetTickCount();
        const DWORD limit = FreshnessLimitMs(frameIntervalMs_);
        if (samples == samplesAtStart_)
            return now - startedAt_ <= limit ? SourceHealth::Starting : SourceHealth::Stale;
        return now - lastAt <= limit ? SourceHealth::Fresh : SourceHealth::Stale;
    }

    bool Identify(CameraIdentity& camera) const override
    {
        camera = identity_;
        return true;
    }

    bool ShowDialog(SourceDialog which, HWND owner) override
    {
        if (which == SourceDialog::Source)
            return ShowPropertyPages(device_.get(), owner);
        if (which != SourceDialog::Format)
            return false;
        // A new format can only be taken while the graph stands still.
        ComPtr<IAMStreamConfig> pin;
        if (FAILED(builder_->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, device_.get(),
                                           IID_IAMStreamConfig, pin.putVoid())))
            return false;
        running_ = false;
        if (!StopBesideWindow(owner)) {
            // Still stopping, or not stopped at all: no frame comes any more, so the
            // window soon judges the camera lost and lets go of this source.
            stopUnsure_ = true;
            return false;
        }
        // The window may have been destroyed while it answered.
        if (!IsWindow(owner))
            return false;
        bool shown = ShowPropertyPages(pin.get(), owner);
        // Whatever the dialog did, the graph runs again: a failed format read leaves the
        // size to the samples themselves.
        ReadFormat();
        Run();
        return shown;
    }

private:
    // Stopping waits for the stream thread, for ever for a device gone silent: the graph
    // stops on a thread of its own while the window goes on answering, its top window
    // disabled as under a modal dialog. False when it did not stop within the limit.
    bool StopBesideWindow(HWND owner)
    {
        auto* parts = new (std::nothrow) GraphParts;
        if (!parts)
            return false;
        parts->control = control_.get();
        parts->control->AddRef();
        const KernelHandle thread(StartRetiring(parts));
        if (!thread) {
            parts->control->Release();
            delete parts;
            return false;
        }
        HWND top = GetAncestor(owner, GA_ROOT);
        // EnableWindow answers whether the window was disabled already.
        const bool disabledHere = top && !EnableWindow(top, FALSE);
        const bool stopped = WaitDispatching(thread.get(), kStopForDialogMs);
        if (disabledHere)
            EnableWindow(top, TRUE);
        return stopped;
    }

    bool Run()
    {
        DWORD lastAt = 0;
        catcher_->Count(samplesAtStart_, lastAt);
        startedAt_ = GetTickCount();
        running_ = SUCCEEDED(control_->Run());
        return running_;
    }

    static std::wstring FriendlyName(IMoniker& moniker)
    {
        std::wstring name;
        ComPtr<IPropertyBag> bag;
        if (FAILED(moniker.BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.putVoid())))
            return name;
        VARIANT value;
        VariantInit(&value);
        if (SUCCEEDED(bag->Read(L"FriendlyName", &value, nullptr)) && value.vt == VT_BSTR && value.bstrVal)
            name = value.bstrVal;
        VariantClear(&value);
        return name;
    }

    // The camera of that name where it has one, else the one at that place in the list.
    bool FindDevice(const CameraIdentity& camera)
    {
        ComPtr<ICreateDevEnum> devices;
        if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                    devices.putVoid())))
            return false;
        ComPtr<IEnumMoniker> monikers;
        // S_FALSE, with no enumerator, when the category is empty.
        if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.put(), 0) != S_OK)
            return false;
        ComPtr<IMoniker> moniker;
        for (unsigned index = 0;; ++index) {
            if (monikers->Next(1, moniker.put(), nullptr) != S_OK)
                return false;
            std::wstring name = FriendlyName(*moniker.get());
            if (camera.name.empty() ? index == camera.index : name == camera.name) {
                identity_.index = index;
                identity_.name = name;
                break;
            }
        }
        return SUCCEEDED(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, device_.putVoid()));
    }

    bool BuildGraph()
    {
        if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph_.putVoid())) ||
            FAILED(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                                    builder_.putVoid())) ||
            FAILED(builder_->SetFiltergraph(graph_.get())) ||
            FAILED(graph_->AddFilter(device_.get(), L"Camera")))
            return false;

        if (FAILED(CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                    grabberFilter_.putVoid())) ||
            FAILED(grabberFilter_->QueryInterface(IID_ISampleGrabber, grabber_.putVoid())))
            return false;
        AM_MEDIA_TYPE wanted = {};
        wanted.majortype = MEDIATYPE_Video;
        wanted.subtype = MEDIASUBTYPE_RGB24;
        wanted.formattype = FORMAT_VideoInfo;
        if (FAILED(grabber_->SetMediaType(&wanted)) || FAILED(grabber_->SetBufferSamples(FALSE)) ||
            FAILED(grabber_->SetOneShot(FALSE)) || FAILED(grabber_->SetCallback(catcher_.get(), 0)) ||
            FAILED(graph_->AddFilter(grabberFilter_.get(), L"Grabber")))
            return false;

        if (FAILED(CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                    renderer_.putVoid())) ||
            FAILED(graph_->AddFilter(renderer_.get(), L"Renderer")))
            return false;

        if (FAILED(builder_->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, device_.get(), grabberFilter_.get(),
                                          renderer_.get())) &&
            FAILED(builder_->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, device_.get(), grabberFilter_.get(),
                                          renderer_.get())))
            return false;
        return SUCCEEDED(graph_->QueryInterface(IID_IMediaControl, control_.putVoid()));
    }

    // The connected size and frame interval; samples of another type bring their own size.
    bool ReadFormat()
    {
        AM_MEDIA_TYPE type = {};
        if (FAILED(grabber_->GetConnectedMediaType(&type)))
            return false;
        VIDEOINFOHEADER header = {};
        bool ok = ReadVideoHeader(type, header) && FrameBytes(header.bmiHeader) != 0;
        FreeMediaType(type);
        if (!ok)
            return false;
        catcher_->SetFormat(header.bmiHeader);
        // 100 ns units.
        const REFERENCE_TIME interval = header.AvgTimePerFrame / 10000;
        frameIntervalMs_ = interval > 0 && interval < 0x7fffffff ? static_cast<uint32_t>(interval) : 0;
        return true;
    }

    bool comStarted_ = false;
    bool running_ = false;
    bool stopUnsure_ = false;  // a stop may still wait on its thread: another would too
    DWORD startedAt_ = 0;
    uint64_t samplesAtStart_ = 0;
    uint32_t frameIntervalMs_ = 0;
    CameraIdentity identity_;
    ComPtr<FrameCatcher> catcher_;
    ComPtr<IBaseFilter> device_;
    ComPtr<IGraphBuilder> graph_;
    ComPtr<ICaptureGraphBuilder2> builder_;
    ComPtr<IBaseFilter> grabberFilter_;
    ComPtr<ISampleGrabber> grabber_;
    ComPtr<IBaseFilter> renderer_;
    ComPtr<IMediaControl> control_;
};

}  // namespace

std::unique_ptr<VideoSource> OpenCameraSource(const CameraIdentity& camera)
{
    if (InterlockedCompareExchange(&g_stoppingGraphs, 0, 0) != 0)
        return nullptr;
    auto source = std::make_unique<CameraSource>();
    if (!source->Open(camera))
        return nullptr;
    return source;
}
