#include "media_capture_win32.h"

#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <mfreadwrite.h>
#include <windows.h>
#include <wrl/client.h>

#include "camera_modes.h"
#include "windows_error_win32.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr DWORD videoStream = DWORD(MF_SOURCE_READER_FIRST_VIDEO_STREAM);
constexpr double hundredNanosecondsPerSecond = 1e7;
constexpr int rgb32BytesPerPixel = 4;

std::string narrow(const wchar_t* text) {
    if (text == nullptr) return {};
    const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string out(std::size_t(size - 1), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring widen(const std::string& text) {
    const int size = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (size <= 1) return {};
    std::wstring out(std::size_t(size - 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, out.data(), size);
    return out;
}

std::string attributeString(IMFAttributes* attributes, const GUID& key) {
    wchar_t* value = nullptr;
    UINT32 length = 0;
    if (FAILED(attributes->GetAllocatedString(key, &value, &length))) return {};
    std::string text = narrow(value);
    CoTaskMemFree(value);
    return text;
}

bool failed(HRESULT result, const char* what, std::string* error) {
    if (SUCCEEDED(result)) return false;
    *error = std::string(what) + ": " + windowsErrorText(static_cast<unsigned long>(result));
    return true;
}

CameraEncoding encodingOf(const GUID& subtype) {
    if (subtype == MFVideoFormat_MJPG) return CameraEncoding::Jpeg;
    for (const GUID& raw :
         {MFVideoFormat_YUY2, MFVideoFormat_NV12, MFVideoFormat_UYVY, MFVideoFormat_I420,
          MFVideoFormat_IYUV, MFVideoFormat_YV12, MFVideoFormat_RGB24, MFVideoFormat_RGB32}) {
        if (subtype == raw) return CameraEncoding::Raw;
    }
    return CameraEncoding::Other;
}

// Picks the camera's mode as chooseCameraMode says and sets it.
void chooseNativeMode(IMFSourceReader* reader) {
    std::vector<CameraMode> modes;
    std::vector<ComPtr<IMFMediaType>> types;
    for (DWORD i = 0;; ++i) {
        ComPtr<IMFMediaType> type;
        if (FAILED(reader->GetNativeMediaType(videoStream, i, &type))) break;
        CameraMode mode;
        GUID subtype = GUID_NULL;
        type->GetGUID(MF_MT_SUBTYPE, &subtype);
        mode.encoding = encodingOf(subtype);
        UINT32 width = 0, height = 0, numerator = 0, denominator = 0;
        MFGetAttributeSize(type.Get(), MF_MT_FRAME_SIZE, &width, &height);
        MFGetAttributeRatio(type.Get(), MF_MT_FRAME_RATE, &numerator, &denominator);
        mode.width = int(width);
        mode.height = int(height);
        mode.fps = denominator != 0 ? double(numerator) / denominator : 0;
        modes.push_back(mode);
        types.push_back(type);
    }
    const int chosen = chooseCameraMode(modes);
    if (chosen >= 0)
        reader->SetCurrentMediaType(videoStream, nullptr, types[std::size_t(chosen)].Get());
}

}  // namespace

struct MediaReader::Parts {
    ComPtr<IMFSourceReader> reader;
    ComPtr<IMFMediaSource> source;
    ComPtr<IMFMediaBuffer> buffer;  // locked while its picture is handed out
    ComPtr<IMF2DBuffer> buffer2d;
    int width = 0, height = 0;
    LONG defaultStride = 0;

    void unlock() {
        if (buffer2d) {
            buffer2d->Unlock2D();
        } else if (buffer) {
            buffer->Unlock();
        }
        buffer2d.Reset();
        buffer.Reset();
    }

    bool readFormat(std::string* error) {
        ComPtr<IMFMediaType> type;
        if (failed(reader->GetCurrentMediaType(videoStream, &type), "no picture format", error)) {
            return false;
        }
        UINT32 w = 0, h = 0;
        if (failed(MFGetAttributeSize(type.Get(), MF_MT_FRAME_SIZE, &w, &h), "no picture size",
                   error)) {
            return false;
        }
        width = int(w);
        height = int(h);
        UINT32 stride = 0;
        if (SUCCEEDED(type->GetUINT32(MF_MT_DEFAULT_STRIDE, &stride))) {
            defaultStride = LONG(stride);
        } else {
            defaultStride = LONG(width * rgb32BytesPerPixel);
        }
        return true;
    }

    // Asks the reader for 32-bit RGB, converted and decoded as needed.
    bool configure(std::string* error) {
        reader->SetStreamSelection(DWORD(MF_SOURCE_READER_ALL_STREAMS), FALSE);
        reader->SetStreamSelection(videoStream, TRUE);
        ComPtr<IMFMediaType> rgb;
        if (failed(MFCreateMediaType(&rgb), "no media type", error)) return false;
        rgb->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video);
        rgb->SetGUID(MF_MT_SUBTYPE, MFVideoFormat_RGB32);
        if (failed(reader->SetCurrentMediaType(videoStream, nullptr, rgb.Get()),
                   "cannot convert its pictures", error)) {
            return false;
        }
        return readFormat(error);
    }
};

ComPtr<IMFAttributes> readerAttributes() {
    ComPtr<IMFAttributes> attributes;
    if (FAILED(MFCreateAttributes(&attributes, 1))) return nullptr;
    // Lets the reader put a decoder and a colour converter in front of us.
    attributes->SetUINT32(MF_SOURCE_READER_ENABLE_VIDEO_PROCESSING, TRUE);
    return attributes;
}

std::vector<MediaCamera> findMediaCameras() {
    std::vector<MediaCamera> cameras;
    ComPtr<IMFAttributes> filter;
    if (FAILED(MFCreateAttributes(&filter, 1))) return cameras;
    filter->SetGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE,
                    MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID);
    IMFActivate** devices = nullptr;
    UINT32 count = 0;
    if (FAILED(MFEnumDeviceSources(filter.Get(), &devices, &count))) return cameras;
    for (UINT32 i = 0; i < count; ++i) {
        MediaCamera camera;
        camera.name = attributeString(devices[i], MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME);
        camera.link =
            attributeString(devices[i], MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_SYMBOLIC_LINK);
        if (camera.name.empty()) camera.name = "camera";
        cameras.push_back(camera);
        devices[i]->Release();
    }
    CoTaskMemFree(devices);
    return cameras;
}

MediaReader::MediaReader(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}

MediaReader::~MediaReader() {
    parts_->unlock();
    if (parts_->source) parts_->source->Shutdown();
}

std::unique_ptr<MediaReader> MediaReader::openCamera(const MediaCamera& camera,
                                                     std::string* error) {
    auto parts = std::make_unique<Parts>();
    ComPtr<IMFAttributes> device;
    if (failed(MFCreateAttributes(&device, 2), "no attributes", error)) return nullptr;
    device->SetGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE,
                    MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID);
    device->SetString(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_SYMBOLIC_LINK,
                      widen(camera.link).c_str());
    if (failed(MFCreateDeviceSource(device.Get(), &parts->source), "cannot open the camera",
               error)) {
        return nullptr;
    }
    ComPtr<IMFAttributes> attributes = readerAttributes();
    if (failed(MFCreateSourceReaderFromMediaSource(parts->source.Get(), attributes.Get(),
                                                   &parts->reader),
               "cannot read the camera", error)) {
        parts->source->Shutdown();
        return nullptr;
    }
    chooseNativeMode(parts->reader.Get());
    if (!parts->configure(error)) {
        parts->source->Shutdown();
        return nullptr;
    }
    return std::unique_ptr<MediaReader>(new MediaReader(std::move(parts)));
}

std::unique_ptr<MediaReader> MediaReader::openFile(const std::string& path, std::string* error) {
    auto parts = std::make_unique<Parts>();
    ComPtr<IMFAttributes> attributes = readerAttributes();
    if (failed(MFCreateSourceReaderFromURL(widen(path).c_str(), attributes.Get(), &parts->reader),
               "not a video file it can read", error)) {
        return nullptr;
    }
    parts->reader->GetServiceForStream(DWORD(MF_SOURCE_READER_MEDIASOURCE), GUID_NULL,
                                       IID_PPV_ARGS(&parts->source));
    if (!parts->configure(error)) return nullptr;
    return std::unique_ptr<MediaReader>(new MediaReader(std::move(parts)));
}

MediaReader::Result MediaReader::next(MediaPicture* picture, std::string* error) {
    Parts& p = *parts_;
    p.unlock();
    for (;;) {
        DWORD flags = 0;
        LONGLONG timestamp = 0;
        ComPtr<IMFSample> sample;
        if (failed(p.reader->ReadSample(videoStream, 0, nullptr, &flags, &timestamp, &sample),
                   "cannot read a picture", error)) {
            return Result::Failed;
        }
        if ((flags & MF_SOURCE_READERF_ERROR) != 0) {
            *error = "the source stopped with an error";
            return Result::Failed;
        }
        if ((flags & MF_SOURCE_READERF_ENDOFSTREAM) != 0) return Result::End;
        if ((flags & MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED) != 0 && !p.readFormat(error)) {
            return Result::Failed;
        }
        if (!sample) continue;  // a gap in the stream

        if (failed(sample->ConvertToContiguousBuffer(&p.buffer), "no picture data", error)) {
            return Result::Failed;
        }
        BYTE* firstRow = nullptr;
        LONG pitch = 0;
        if (SUCCEEDED(p.buffer.As(&p.buffer2d)) &&
            SUCCEEDED(p.buffer2d->Lock2D(&firstRow, &pitch))) {
            picture->firstRow = firstRow;
            picture->stride = pitch;
        } else {
            p.buffer2d.Reset();
            BYTE* data = nullptr;
            DWORD length = 0;
            if (failed(p.buffer->Lock(&data, nullptr, &length), "cannot read picture data",
                       error)) {
                p.buffer.Reset();
                return Result::Failed;
            }
            const std::size_t rowBytes = std::size_t(p.width) * rgb32BytesPerPixel;
            const std::ptrdiff_t stride =
                p.defaultStride == 0 ? std::ptrdiff_t(rowBytes) : std::ptrdiff_t(p.defaultStride);
            const std::size_t span = std::size_t(stride < 0 ? -stride : stride);
            if (p.height <= 0 || span < rowBytes || length < span * std::size_t(p.height)) {
                p.unlock();
                *error = "a picture smaller than its format says";
                return Result::Failed;
            }
            // A negative stride means the rows are stored bottom row first.
            picture->firstRow = stride < 0 ? data + span * std::size_t(p.height - 1) : data;
            picture->stride = stride;
        }
        picture->width = p.width;
        picture->height = p.height;
        picture->seconds = double(timestamp) / hundredNanosecondsPerSecond;
        return Result::Picture;
    }
}

bool MediaReader::rewind() {
    parts_->unlock();
    PROPVARIANT start;
    PropVariantInit(&start);
    start.vt = VT_I8;
    start.hVal.QuadPart = 0;
    const HRESULT result = parts_->reader->SetCurrentPosition(GUID_NULL, start);
    PropVariantClear(&start);
    return SUCCEEDED(result);
}

void MediaReader::interrupt() {
    if (parts_->source) parts_->source->Shutdown();
}
