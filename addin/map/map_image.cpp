#include "map/map_image.h"

#include <wincodec.h>

namespace {
template <class T> void Release(T*& p) {
  if (p) p->Release();
  p = nullptr;
}
}  // namespace

HBITMAP LoadMapImage(const wchar_t* path, int& width, int& height) {
  IWICImagingFactory* factory = nullptr;
  IWICBitmapDecoder* decoder = nullptr;
  IWICBitmapFrameDecode* frame = nullptr;
  IWICFormatConverter* converter = nullptr;
  HBITMAP bitmap = nullptr;
  UINT w = 0, h = 0;
  if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                 reinterpret_cast<void**>(&factory))) &&
      SUCCEEDED(factory->CreateDecoderFromFilename(path, nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                   &decoder)) &&
      SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
      SUCCEEDED(converter->Initialize(frame, GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr, 0,
                                      WICBitmapPaletteTypeCustom)) &&
      SUCCEEDED(converter->GetSize(&w, &h)) && w > 0 && h > 0 && w < 32768 && h < 32768) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = LONG(w);
    info.bmiHeader.biHeight = -LONG(h);  // top-down, as WIC copies the rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && FAILED(converter->CopyPixels(nullptr, w * 4, w * 4 * h, static_cast<BYTE*>(bits)))) {
      DeleteObject(bitmap);
      bitmap = nullptr;
    }
  }
  Release(converter);
  Release(frame);
  Release(decoder);
  Release(factory);
  width = int(w);
  height = int(h);
  return bitmap;
}
