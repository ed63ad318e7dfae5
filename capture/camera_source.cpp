// Cameras through DirectShow: the n-th video input device feeds a Sample Grabber that
// keeps the latest frame as 24-bit RGB; a null renderer ends the graph.
#include "video_source.h"

#include <dshow.h>
#include <qedit.h>

#include <algorithm>
#include <cstring>

// In strmiids, but qedit.h of MinGW-w64 does not declare them.
EXTERN_C const CLSID CLSID_SampleGrabber;
EXTERN_C const CLSID CLSID_NullRenderer;

namespace {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() { Reset(); }

    void Reset()
    {
        if (object_)
            object_->Release();
        object_ = nullptr;
    }
    T* get() const { return object_; }
    T* operator->() const { return object_; }
    T** put()
    {
        Reset();
        return &object_;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }

private:
    T* object_ = nullptr;
};

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

class CameraSource : public VideoSource {
public:
    ~CameraSource() override
    {
        if (control_.get())
            control_->Stop();
        control_.Reset();
        renderer_.Reset();
        grabber_.Reset();
        grabberFilter_.Reset();
        builder_.Reset();
        graph_.Reset();
        device_.Reset();
        if (comStarted_)
            CoUninitialize();
    }

    bool Open(unsigned deviceIndex)
    {
        HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        comStarted_ = SUCCEEDED(hr);
        if (FAILED(hr) && hr != RPC_E_CHANGED_MODE)
            return false;
        return FindDevice(deviceIndex) && BuildGraph() && ReadFormat() && Run();
    }

    bool GrabFrame(std::vector<uint8_t>& bmp) override
    {
        if (!running_)
            return false;
        // Right after the start the first sample may still be on its way; later a
        // missing sample is just missing.
        long size = 0;
        for (;;) {
            if (SUCCEEDED(grabber_->GetCurrentBuffer(&size, nullptr)) && size > 0)
                break;
            size = 0;
            if (GetTickCount() - startedAt_ > kFirstSampleWait)
                break;
            Sleep(10);
        }
        const uint64_t stride = ((static_cast<uint64_t>(format_.biWidth) * 24 + 31) & ~uint64_t{31}) / 8;
        const uint64_t rows = format_.biHeight < 0 ? -static_cast<int64_t>(format_.biHeight) : format_.biHeight;
        const uint64_t pixelBytes = stride * rows;
        if (size <= 0 || static_cast<uint64_t>(size) < pixelBytes || pixelBytes > (256u << 20))
            return false;
        bmp.resize(54 + static_cast<size_t>(size));
        uint8_t* p = bmp.data();
        if (FAILED(grabber_->GetCurrentBuffer(&size, reinterpret_cast<long*>(p + 54))) ||
            static_cast<uint64_t>(size) < pixelBytes)
            return false;
        bmp.resize(54 + static_cast<size_t>(pixelBytes));
        p = bmp.data();

        auto put32 = [](uint8_t* at, uint32_t v) { for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i)); };
        std::memset(p, 0, 54);
        p[0] = 'B';
        p[1] = 'M';
        put32(p + 2, static_cast<uint32_t>(bmp.size()));
        put32(p + 10, 54);
        put32(p + 14, 40);
        put32(p + 18, static_cast<uint32_t>(format_.biWidth));
        put32(p + 22, static_cast<uint32_t>(rows));
        p[26] = 1;
        p[28] = 24;
        put32(p + 34, static_cast<uint32_t>(pixelBytes));
        // Files hold bottom-up rows; a top-down format is turned over.
        if (format_.biHeight < 0) {
            uint8_t* pixels = p + 54;
            for (uint64_t top = 0, bottom = rows - 1; top < bottom; ++top, --bottom)
                std::swap_ranges(pixels + top * stride, pixels + (top + 1) * stride, pixels + bottom * stride);
        }
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
        control_->Stop();
        running_ = false;
        bool shown = ShowPropertyPages(pin.get(), owner);
        if (ReadFormat())
            Run();
        return shown;
    }

private:
    static constexpr DWORD kFirstSampleWait = 1000;

    bool Run()
    {
        running_ = SUCCEEDED(control_->Run());
        startedAt_ = GetTickCount();
        return running_;
    }

    bool FindDevice(unsigned deviceIndex)
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
            if (index == deviceIndex)
                break;
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
        if (FAILED(grabber_->SetMediaType(&wanted)) || FAILED(grabber_->SetBufferSamples(TRUE)) ||
            FAILED(grabber_->SetOneShot(FALSE)) || FAILED(graph_->AddFilter(grabberFilter_.get(), L"Grabber")))
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

    bool ReadFormat()
    {
        AM_MEDIA_TYPE type = {};
        if (FAILED(grabber_->GetConnectedMediaType(&type)))
            return false;
        bool ok = type.formattype == FORMAT_VideoInfo && type.cbFormat >= sizeof(VIDEOINFOHEADER) && type.pbFormat;
        if (ok)
            format_ = reinterpret_cast<VIDEOINFOHEADER*>(type.pbFormat)->bmiHeader;
        FreeMediaType(type);
        return ok && format_.biWidth > 0 && format_.biHeight != 0;
    }

    bool comStarted_ = false;
    bool running_ = false;
    DWORD startedAt_ = 0;
    ComPtr<IBaseFilter> device_;
    ComPtr<IGraphBuilder> graph_;
    ComPtr<ICaptureGraphBuilder2> builder_;
    ComPtr<IBaseFilter> grabberFilter_;
    ComPtr<ISampleGrabber> grabber_;
    ComPtr<IBaseFilter> renderer_;
    ComPtr<IMediaControl> control_;
    BITMAPINFOHEADER format_ = {};
};

}  // namespace

std::unique_ptr<VideoSource> OpenCameraSource(unsigned deviceIndex)
{
    auto camera = std::make_unique<CameraSource>();
    if (!camera->Open(deviceIndex))
        return nullptr;
    return camera;
}
