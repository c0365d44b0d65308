#include "platform/ImageCodec.h"

// The class and format identifiers are defined here, in this one unit.
#include <initguid.h>
#include <wincodec.h>

#include "core/Wipe.h"

namespace keyentry {

namespace {

// Releases a COM interface at the end of the scope.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (p_) p_->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T** out() { return &p_; }
  T* operator->() const { return p_; }
  T* get() const { return p_; }

 private:
  T* p_ = nullptr;
};

const GUID& ContainerOf(PhotoFormat format) {
  switch (format) {
    case PhotoFormat::kPng:
      return GUID_ContainerFormatPng;
    case PhotoFormat::kBmp:
      return GUID_ContainerFormatBmp;
    case PhotoFormat::kJpeg:
      break;
  }
  return GUID_ContainerFormatJpeg;
}

// The whole content of the stream, as bytes.
bool StreamBytes(IStream* stream, std::string& out) {
  HGLOBAL memory = nullptr;
  if (FAILED(::GetHGlobalFromStream(stream, &memory))) return false;
  STATSTG stat{};
  if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) return false;
  const void* data = ::GlobalLock(memory);
  if (!data) return false;
  out.assign(static_cast<const char*>(data), static_cast<std::size_t>(stat.cbSize.QuadPart));
  ::GlobalUnlock(memory);
  return true;
}

// Wipes the stream's memory before the stream lets it go.
void WipeStream(IStream* stream) {
  HGLOBAL memory = nullptr;
  if (FAILED(::GetHGlobalFromStream(stream, &memory))) return;
  if (void* data = ::GlobalLock(memory)) {
    WipeMemory(data, ::GlobalSize(memory));
    ::GlobalUnlock(memory);
  }
}

}  // namespace

ComApartment::ComApartment()
    : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}

ComApartment::~ComApartment() {
  if (initialised_) ::CoUninitialize();
}

namespace {

// The image file decoded whole into 24-bit pixels: a damaged file fails
// here, before anything is written or offered.
bool Decode(std::string_view file, ComPtr<IWICImagingFactory>& factory, ComPtr<IWICBitmap>& pixels,
            UINT& width, UINT& height) {
  if (file.empty() || file.size() > 0x7FFFFFFF) return false;
  if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(factory.out())))) {
    return false;
  }
  ComPtr<IWICStream> input;
  if (FAILED(factory->CreateStream(input.out())) ||
      FAILED(input->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(file.data())),
                                         static_cast<DWORD>(file.size())))) {
    return false;
  }
  ComPtr<IWICBitmapDecoder> decoder;
  if (FAILED(factory->CreateDecoderFromStream(input.get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                              decoder.out()))) {
    return false;
  }
  ComPtr<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder->GetFrame(0, frame.out()))) return false;
  if (FAILED(frame->GetSize(&width, &height)) || width == 0 || height == 0 || width > 0x4000 ||
      height > 0x4000) {
    return false;
  }
  // 24-bit colour suits every format here (JPEG takes no alpha).
  ComPtr<IWICFormatConverter> converted;
  if (FAILED(factory->CreateFormatConverter(converted.out())) ||
      FAILED(converted->Initialize(frame.get(), GUID_WICPixelFormat24bppBGR,
                                   WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom))) {
    return false;
  }
  return SUCCEEDED(
      factory->CreateBitmapFromSource(converted.get(), WICBitmapCacheOnLoad, pixels.out()));
}

}  // namespace

std::optional<std::string> ImageAsPackedDib(std::string_view file) {
  ComPtr<IWICImagingFactory> factory;
  ComPtr<IWICBitmap> pixels;
  UINT width = 0;
  UINT height = 0;
  if (!Decode(file, factory, pixels, width, height)) return std::nullopt;
  const UINT stride = (width * 3 + 3) / 4 * 4;
  std::string rows(static_cast<std::size_t>(stride) * height, '\0');
  const WipeAtExit<std::string> wipeRows(rows);
  if (FAILED(pixels->CopyPixels(nullptr, stride, static_cast<UINT>(rows.size()),
                                reinterpret_cast<BYTE*>(&rows[0])))) {
    return std::nullopt;
  }
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = static_cast<LONG>(width);
  header.biHeight = static_cast<LONG>(height);  // bottom-up, as most programs expect
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>(rows.size());
  std::string dib(reinterpret_cast<const char*>(&header), sizeof header);
  dib.reserve(sizeof header + rows.size());
  for (UINT y = height; y-- > 0;) dib.append(rows, static_cast<std::size_t>(y) * stride, stride);
  return dib;
}

std::optional<EncodedImage> ConvertImage(std::string_view file, PhotoFormat format) {
  ComPtr<IWICImagingFactory> factory;
  ComPtr<IWICBitmap> pixels;
  EncodedImage image;
  if (!Decode(file, factory, pixels, image.width, image.height)) return std::nullopt;
  ComPtr<IStream> output;
  if (FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, output.out()))) return std::nullopt;
  struct Wiped {
    IStream* stream;
    ~Wiped() { WipeStream(stream); }
  } const wiped{output.get()};
  ComPtr<IWICBitmapEncoder> encoder;
  if (FAILED(factory->CreateEncoder(ContainerOf(format), nullptr, encoder.out())) ||
      FAILED(encoder->Initialize(output.get(), WICBitmapEncoderNoCache))) {
    return std::nullopt;
  }
  ComPtr<IWICBitmapFrameEncode> target;
  if (FAILED(encoder->CreateNewFrame(target.out(), nullptr)) ||
      FAILED(target->Initialize(nullptr)) || FAILED(target->SetSize(image.width, image.height))) {
    return std::nullopt;
  }
  WICPixelFormatGUID pixelFormat = GUID_WICPixelFormat24bppBGR;
  if (FAILED(target->SetPixelFormat(&pixelFormat)) ||
      FAILED(target->WriteSource(pixels.get(), nullptr)) || FAILED(target->Commit()) ||
      FAILED(encoder->Commit())) {
    return std::nullopt;
  }
  if (!StreamBytes(output.get(), image.bytes)) return std::nullopt;
  return image;
}

}  // namespace keyentry
