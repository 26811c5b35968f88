// The hand-declared ABI: a wrong digit in an interface id or a field in the
// wrong place compiles silently and fails only on a real Windows machine.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "capture/platform/win32/abi_conversions.h"
#include "capture/platform/win32/winrt_abi.h"
#include "check.h"

namespace tarvix::capture::platform::win32 {
namespace {

std::string text(const GUID& id) {
  char out[40];
  std::snprintf(out, sizeof out, "%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                static_cast<unsigned long>(id.Data1), id.Data2, id.Data3, id.Data4[0], id.Data4[1],
                id.Data4[2], id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
  return out;
}

// The published ids, as printed in the SDK's headers and metadata.
const std::pair<const GUID*, const char*> kPublished[] = {
    {&abi::kIidUnknown, "00000000-0000-0000-c000-000000000046"},
    {&abi::kIidInspectable, "af86e2e0-b12d-4c6a-9c5a-d7aa65101e90"},
    {&abi::kIidAgileObject, "94ea2b94-e9cc-49e0-c0ff-ee64ca8f5b90"},
    {&abi::kIidMarshal, "00000003-0000-0000-c000-000000000046"},
    {&abi::kIidGraphicsCaptureItemInterop, "3628e81b-3cac-4c60-b7f4-23ce0e0c3356"},
    {&abi::kIidGraphicsCaptureItem, "79c3f95b-31f7-4ec2-a464-632ef5d30760"},
    {&abi::kIidFramePoolStatics, "7784056a-67aa-4d53-ae54-1088d5a8ca21"},
    {&abi::kIidFramePool, "24eb6d22-1975-422e-82e7-780dbd8ddf24"},
    {&abi::kIidCaptureFrame, "fa50c623-38da-4b32-acf3-fa9734ad800e"},
    {&abi::kIidCaptureSession, "814e42a9-f70f-4ad7-939b-fddcc6eb880d"},
    {&abi::kIidCaptureSession2, "2c39ae40-7d2e-5044-804e-8b6799d4cf9e"},
    {&abi::kIidCaptureSession3, "f2cdd966-22ae-5ea1-9596-3a289344c3be"},
    {&abi::kIidCaptureSession4, "ae99813c-c257-5759-8ed0-668c9b557ed4"},
    {&abi::kIidCaptureSession5, "67c0ea62-1f85-5061-925a-239be0ac09cb"},
    {&abi::kIidCaptureSession6, "d7419236-be20-5e9f-bcd6-c4e98fd6afdc"},
    {&abi::kIidCaptureSessionStatics, "2224a540-5974-49aa-b232-0882536f4cb5"},
    {&abi::kIidFrameArrivedHandler, "51a947f7-79cf-5a3e-a3a5-1289cfa6dfe8"},
    {&abi::kIidItemClosedHandler, "e9c610c0-a68c-5bd9-8021-8589346eeee2"},
    {&abi::kIidClosable, "30d5a829-7fa4-4026-83bb-d75bae4ea99e"},
    {&abi::kIidDirect3DDevice, "a37624ab-8d5f-4650-9d3e-9eae3d9bc670"},
    {&abi::kIidDirect3DSurface, "0bf4a146-13c1-4694-bee3-7abf15eaf586"},
    {&abi::kIidDxgiInterfaceAccess, "a9b3d012-3df2-4ee3-b8d1-8695f457d3c1"},
    {&abi::kIidApiInformationStatics, "997439fe-f681-4a11-b416-c13a47e8ba36"},
    {&abi::kIidDispatcherQueueController, "22f34e66-50db-4e36-a98d-61c01b384d20"},
    {&abi::kIidAsyncAction, "5a648006-843a-4da9-865b-9d26e5dfad7b"},
    {&abi::kIidAsyncActionCompletedHandler, "a4ed5c81-76c9-40bd-8be6-b1d90fb20ae7"},
    {&abi::kIidDxgiDevice, "54ec77fa-1377-44e6-8c32-88fd5f44c84c"},
    {&abi::kIidD3D11Texture2D, "6f15aaf2-d208-4e89-9ab4-489535d34f9c"},
};

CHECK_CASE("every interface id is the published one") {
  for (const auto& [id, published] : kPublished)
    EXPECT_EQ(text(*id), std::string(published));
  // The two we also get from the SDK headers mingw ships agree with ours.
  EXPECT(abi::kIidDxgiDevice == __uuidof(IDXGIDevice));
  EXPECT(abi::kIidD3D11Texture2D == __uuidof(ID3D11Texture2D));
}

// The vtable slot of a virtual method. g++ (Itanium C++ ABI, which mingw-w64
// follows) stores a pointer to a virtual member as 1 + its byte offset in
// the vtable.
template <class Class, class Method>
std::size_t slot(Method Class::*method) {
  struct Representation {
    std::uintptr_t pointer;
    std::ptrdiff_t adjustment;
  };
  static_assert(sizeof(method) == sizeof(Representation));
  Representation raw;
  std::memcpy(&raw, &method, sizeof raw);
  return (raw.pointer - 1) / sizeof(void*);
}

CHECK_CASE("every method sits in its published vtable slot") {
  using namespace abi;
  EXPECT_EQ(slot(&IClosable::Close), 6u);
  EXPECT_EQ(slot(&IDirect3DDxgiInterfaceAccess::GetInterface), 3u);
  EXPECT_EQ(slot(&IFrameArrivedHandler::Invoke), 3u);
  EXPECT_EQ(slot(&IItemClosedHandler::Invoke), 3u);
  EXPECT_EQ(slot(&IAsyncActionCompletedHandler::Invoke), 3u);
  EXPECT_EQ(slot(&IGraphicsCaptureItemInterop::CreateForWindow), 3u);
  EXPECT_EQ(slot(&IGraphicsCaptureItem::get_Size), 7u);
  EXPECT_EQ(slot(&IGraphicsCaptureItem::add_Closed), 8u);
  EXPECT_EQ(slot(&IGraphicsCaptureItem::remove_Closed), 9u);
  EXPECT_EQ(slot(&IDirect3D11CaptureFrame::get_Surface), 6u);
  EXPECT_EQ(slot(&IDirect3D11CaptureFrame::get_ContentSize), 8u);
  EXPECT_EQ(slot(&IGraphicsCaptureSession::StartCapture), 6u);
  EXPECT_EQ(slot(&IGraphicsCaptureSession2::put_IsCursorCaptureEnabled), 7u);
  EXPECT_EQ(slot(&IGraphicsCaptureSession3::put_IsBorderRequired), 7u);
  EXPECT_EQ(slot(&IGraphicsCaptureSession4::put_DirtyRegionMode), 7u);
  EXPECT_EQ(slot(&IGraphicsCaptureSession5::put_MinUpdateInterval), 7u);
  EXPECT_EQ(slot(&IGraphicsCaptureSession6::put_IncludeSecondaryWindows), 7u);
  EXPECT_EQ(slot(&IGraphicsCaptureSessionStatics::IsSupported), 6u);
  EXPECT_EQ(slot(&IDirect3D11CaptureFramePoolStatics::Create), 6u);
  EXPECT_EQ(slot(&IDirect3D11CaptureFramePool::Recreate), 6u);
  EXPECT_EQ(slot(&IDirect3D11CaptureFramePool::TryGetNextFrame), 7u);
  EXPECT_EQ(slot(&IDirect3D11CaptureFramePool::add_FrameArrived), 8u);
  EXPECT_EQ(slot(&IDirect3D11CaptureFramePool::remove_FrameArrived), 9u);
  EXPECT_EQ(slot(&IDirect3D11CaptureFramePool::CreateCaptureSession), 10u);
  EXPECT_EQ(slot(&IApiInformationStatics::IsPropertyPresent), 10u);
  EXPECT_EQ(slot(&IApiInformationStatics::IsApiContractPresentByMajor), 14u);
  EXPECT_EQ(slot(&IAsyncAction::put_Completed), 6u);
  EXPECT_EQ(slot(&IDispatcherQueueController::get_DispatcherQueue), 6u);
  EXPECT_EQ(slot(&IDispatcherQueueController::ShutdownQueueAsync), 7u);
}

CHECK_CASE("value records have the platform's layout") {
  EXPECT_EQ(offsetof(abi::DispatcherQueueOptions, threadType), 4u);
  EXPECT_EQ(offsetof(abi::DispatcherQueueOptions, apartmentType), 8u);
  EXPECT_EQ(offsetof(abi::Direct3DSurfaceDescription, MultisampleCount), 12u);
  const abi::DispatcherQueueOptions options = current_thread_queue_options();
  EXPECT_EQ(options.dwSize, 12u);
  EXPECT_EQ(options.threadType, 2);     // the calling thread
  EXPECT_EQ(options.apartmentType, 0);  // apartment left alone
}

CHECK_CASE("session property values map to their ABI forms") {
  EXPECT_EQ(to_abi(true), 1);
  EXPECT_EQ(to_abi(false), 0);
  EXPECT_EQ(static_cast<INT32>(to_abi(DirtyRegionMode::ReportOnly)), 0);
  EXPECT_EQ(static_cast<INT32>(to_abi(DirtyRegionMode::ReportAndRender)), 1);
  EXPECT_EQ(to_abi(TimeSpanTicks{15'000'000}).Duration, 15'000'000);
  const abi::SizeInt32 size = to_abi(SizeInt32{1920, -1});
  EXPECT_EQ(size.Width, 1920);
  EXPECT_EQ(size.Height, -1);
  EXPECT(from_abi(size) == (SizeInt32{1920, -1}));
}

CHECK_CASE("texture descriptions survive the round trip field by field") {
  const TextureDesc desc{.width = 1,
                         .height = 2,
                         .mip_levels = 3,
                         .array_size = 4,
                         .format = 87,
                         .sample_count = 5,
                         .sample_quality = 6,
                         .usage = kUsageStaging,
                         .bind_flags = 8,
                         .cpu_access_flags = kCpuAccessRead | kCpuAccessWrite,
                         .misc_flags = 9};
  const D3D11_TEXTURE2D_DESC d3d = to_d3d(desc);
  EXPECT_EQ(d3d.Width, 1u);
  EXPECT_EQ(d3d.Height, 2u);
  EXPECT_EQ(d3d.Format, DXGI_FORMAT_B8G8R8A8_UNORM);
  EXPECT_EQ(d3d.SampleDesc.Quality, 6u);
  EXPECT_EQ(d3d.Usage, D3D11_USAGE_STAGING);
  EXPECT_EQ(d3d.CPUAccessFlags, static_cast<UINT>(D3D11_CPU_ACCESS_READ | D3D11_CPU_ACCESS_WRITE));
  EXPECT(from_d3d(d3d) == desc);
}

CHECK_CASE("feature levels keep their order and values") {
  const FeatureLevel levels[] = {FeatureLevel::Level11_1, FeatureLevel::Level11_0,
                                 FeatureLevel::Level9_1};
  const std::vector<D3D_FEATURE_LEVEL> d3d = to_d3d(levels);
  EXPECT_EQ(d3d.size(), 3u);
  EXPECT_EQ(d3d[0], D3D_FEATURE_LEVEL_11_1);
  EXPECT_EQ(d3d[1], D3D_FEATURE_LEVEL_11_0);
  EXPECT_EQ(d3d[2], D3D_FEATURE_LEVEL_9_1);
  EXPECT(from_d3d(D3D_FEATURE_LEVEL_10_1) == FeatureLevel::Level10_1);
}

CHECK_CASE("thread messages keep window, id and parameters both ways") {
  MSG msg{};
  msg.hwnd = reinterpret_cast<HWND>(std::uintptr_t{0x1234});
  msg.message = WM_QUIT;
  msg.wParam = ~WPARAM{0};
  msg.lParam = -2;
  const Message message = from_win32(msg);
  EXPECT_EQ(message.window, 0x1234u);
  EXPECT_EQ(message.id, kWmQuit);
  EXPECT_EQ(message.wparam, ~std::uintptr_t{0});
  EXPECT_EQ(message.lparam, -2);
  const MSG back = to_win32(message);
  EXPECT(back.hwnd == msg.hwnd && back.message == msg.message && back.wParam == msg.wParam &&
         back.lParam == msg.lParam);
}

}  // namespace
}  // namespace tarvix::capture::platform::win32
