// Our declarations of the WinRT and COM interfaces that window capture uses,
// at the raw ABI: mingw-w64's headers lack the graphics-capture family, and
// its windows.foundation.h / windows.system.h already take some of these
// names (IClosable, a method-less IDispatcherQueueController) under
// ABI::Windows. Ours live in their own namespace and this header includes
// neither of those, so the two never meet.
//
// Vtable order is the published one: IUnknown slots 0-2, IInspectable 3-5,
// an interface's own methods from slot 6 (from slot 3 for the IUnknown-only
// interop interfaces and for delegates). Never reorder a declaration here.
#pragma once

#include <windows.h>

#include <d3d11.h>
#include <dxgi.h>
#include <eventtoken.h>
#include <hstring.h>
#include <inspectable.h>

#include <cstdint>

namespace tarvix::capture::platform::win32::abi {

// --- Value types -----------------------------------------------------------

struct SizeInt32 {
  INT32 Width;
  INT32 Height;
};

struct TimeSpan {
  INT64 Duration;  // 100 ns ticks
};

// WinRT booleans are one byte, unlike BOOL.
using Boolean = unsigned char;

enum DirectXPixelFormat : INT32 {};
enum GraphicsCaptureDirtyRegionMode : INT32 {};
enum AsyncStatus : INT32 {
  AsyncStarted = 0,
  AsyncCompleted = 1,
  AsyncCanceled = 2,
  AsyncError = 3
};

struct Direct3DSurfaceDescription {
  INT32 Width;
  INT32 Height;
  INT32 Format;
  INT32 MultisampleCount;
  INT32 MultisampleQuality;
};

// CoreMessaging's options record, passed by value.
struct DispatcherQueueOptions {
  DWORD dwSize;
  INT32 threadType;
  INT32 apartmentType;
};
inline constexpr INT32 kDispatcherQueueThreadCurrent = 2;  // DQTYPE_THREAD_CURRENT
inline constexpr INT32 kDispatcherQueueComNone = 0;        // DQTAT_COM_NONE

static_assert(sizeof(SizeInt32) == 8 && sizeof(TimeSpan) == 8 && sizeof(Boolean) == 1);
static_assert(sizeof(Direct3DSurfaceDescription) == 20);
static_assert(sizeof(DispatcherQueueOptions) == 12);
static_assert(sizeof(EventRegistrationToken) == 8);

// --- Interface ids -----------------------------------------------------------

inline constexpr GUID kIidUnknown = {
    0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr GUID kIidInspectable = {
    0xaf86e2e0, 0xb12d, 0x4c6a, {0x9c, 0x5a, 0xd7, 0xaa, 0x65, 0x10, 0x1e, 0x90}};
inline constexpr GUID kIidAgileObject = {
    0x94ea2b94, 0xe9cc, 0x49e0, {0xc0, 0xff, 0xee, 0x64, 0xca, 0x8f, 0x5b, 0x90}};
inline constexpr GUID kIidMarshal = {
    0x00000003, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr GUID kIidGraphicsCaptureItemInterop = {
    0x3628e81b, 0x3cac, 0x4c60, {0xb7, 0xf4, 0x23, 0xce, 0x0e, 0x0c, 0x33, 0x56}};
inline constexpr GUID kIidGraphicsCaptureItem = {
    0x79c3f95b, 0x31f7, 0x4ec2, {0xa4, 0x64, 0x63, 0x2e, 0xf5, 0xd3, 0x07, 0x60}};
inline constexpr GUID kIidFramePoolStatics = {
    0x7784056a, 0x67aa, 0x4d53, {0xae, 0x54, 0x10, 0x88, 0xd5, 0xa8, 0xca, 0x21}};
inline constexpr GUID kIidFramePool = {
    0x24eb6d22, 0x1975, 0x422e, {0x82, 0xe7, 0x78, 0x0d, 0xbd, 0x8d, 0xdf, 0x24}};
inline constexpr GUID kIidCaptureFrame = {
    0xfa50c623, 0x38da, 0x4b32, {0xac, 0xf3, 0xfa, 0x97, 0x34, 0xad, 0x80, 0x0e}};
inline constexpr GUID kIidCaptureSession = {
    0x814e42a9, 0xf70f, 0x4ad7, {0x93, 0x9b, 0xfd, 0xdc, 0xc6, 0xeb, 0x88, 0x0d}};
inline constexpr GUID kIidCaptureSession2 = {
    0x2c39ae40, 0x7d2e, 0x5044, {0x80, 0x4e, 0x8b, 0x67, 0x99, 0xd4, 0xcf, 0x9e}};
inline constexpr GUID kIidCaptureSession3 = {
    0xf2cdd966, 0x22ae, 0x5ea1, {0x95, 0x96, 0x3a, 0x28, 0x93, 0x44, 0xc3, 0xbe}};
inline constexpr GUID kIidCaptureSession4 = {
    0xae99813c, 0xc257, 0x5759, {0x8e, 0xd0, 0x66, 0x8c, 0x9b, 0x55, 0x7e, 0xd4}};
inline constexpr GUID kIidCaptureSession5 = {
    0x67c0ea62, 0x1f85, 0x5061, {0x92, 0x5a, 0x23, 0x9b, 0xe0, 0xac, 0x09, 0xcb}};
inline constexpr GUID kIidCaptureSession6 = {
    0xd7419236, 0xbe20, 0x5e9f, {0xbc, 0xd6, 0xc4, 0xe9, 0x8f, 0xd6, 0xaf, 0xdc}};
inline constexpr GUID kIidCaptureSessionStatics = {
    0x2224a540, 0x5974, 0x49aa, {0xb2, 0x32, 0x08, 0x82, 0x53, 0x6f, 0x4c, 0xb5}};
inline constexpr GUID kIidFrameArrivedHandler = {
    0x51a947f7, 0x79cf, 0x5a3e, {0xa3, 0xa5, 0x12, 0x89, 0xcf, 0xa6, 0xdf, 0xe8}};
inline constexpr GUID kIidItemClosedHandler = {
    0xe9c610c0, 0xa68c, 0x5bd9, {0x80, 0x21, 0x85, 0x89, 0x34, 0x6e, 0xee, 0xe2}};
inline constexpr GUID kIidClosable = {
    0x30d5a829, 0x7fa4, 0x4026, {0x83, 0xbb, 0xd7, 0x5b, 0xae, 0x4e, 0xa9, 0x9e}};
inline constexpr GUID kIidDirect3DDevice = {
    0xa37624ab, 0x8d5f, 0x4650, {0x9d, 0x3e, 0x9e, 0xae, 0x3d, 0x9b, 0xc6, 0x70}};
inline constexpr GUID kIidDirect3DSurface = {
    0x0bf4a146, 0x13c1, 0x4694, {0xbe, 0xe3, 0x7a, 0xbf, 0x15, 0xea, 0xf5, 0x86}};
inline constexpr GUID kIidDxgiInterfaceAccess = {
    0xa9b3d012, 0x3df2, 0x4ee3, {0xb8, 0xd1, 0x86, 0x95, 0xf4, 0x57, 0xd3, 0xc1}};
inline constexpr GUID kIidApiInformationStatics = {
    0x997439fe, 0xf681, 0x4a11, {0xb4, 0x16, 0xc1, 0x3a, 0x47, 0xe8, 0xba, 0x36}};
inline constexpr GUID kIidDispatcherQueueController = {
    0x22f34e66, 0x50db, 0x4e36, {0xa9, 0x8d, 0x61, 0xc0, 0x1b, 0x38, 0x4d, 0x20}};
inline constexpr GUID kIidAsyncAction = {
    0x5a648006, 0x843a, 0x4da9, {0x86, 0x5b, 0x9d, 0x26, 0xe5, 0xdf, 0xad, 0x7b}};
inline constexpr GUID kIidAsyncActionCompletedHandler = {
    0xa4ed5c81, 0x76c9, 0x40bd, {0x8b, 0xe6, 0xb1, 0xd9, 0x0f, 0xb2, 0x0a, 0xe7}};
inline constexpr GUID kIidDxgiDevice = {
    0x54ec77fa, 0x1377, 0x44e6, {0x8c, 0x32, 0x88, 0xfd, 0x5f, 0x44, 0xc8, 0x4c}};
inline constexpr GUID kIidD3D11Texture2D = {
    0x6f15aaf2, 0xd208, 0x4e89, {0x9a, 0xb4, 0x48, 0x95, 0x35, 0xd3, 0x4f, 0x9c}};

// --- Runtime class names ---------------------------------------------------

inline constexpr wchar_t kClassCaptureItem[] = L"Windows.Graphics.Capture.GraphicsCaptureItem";
inline constexpr wchar_t kClassFramePool[] = L"Windows.Graphics.Capture.Direct3D11CaptureFramePool";
inline constexpr wchar_t kClassCaptureSession[] =
    L"Windows.Graphics.Capture.GraphicsCaptureSession";
inline constexpr wchar_t kClassApiInformation[] = L"Windows.Foundation.Metadata.ApiInformation";

// --- Interfaces --------------------------------------------------------------

struct IDirect3D11CaptureFramePool;
struct IGraphicsCaptureItem;
struct IAsyncAction;

struct IClosable : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE Close() = 0;
};

struct IDirect3DDevice : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE Trim() = 0;
};

struct IDirect3DSurface : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Description(Direct3DSurfaceDescription* value) = 0;
};

struct IDirect3DDxgiInterfaceAccess : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetInterface(REFIID iid, void** p) = 0;
};

// TypedEventHandler<Direct3D11CaptureFramePool, Object>
struct IFrameArrivedHandler : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Invoke(IDirect3D11CaptureFramePool* sender,
                                           IInspectable* args) = 0;
};

// TypedEventHandler<GraphicsCaptureItem, Object>
struct IItemClosedHandler : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Invoke(IGraphicsCaptureItem* sender, IInspectable* args) = 0;
};

struct IAsyncActionCompletedHandler : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Invoke(IAsyncAction* action, AsyncStatus status) = 0;
};

struct IGraphicsCaptureItemInterop : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CreateForWindow(HWND window, REFIID riid, void** result) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateForMonitor(HMONITOR monitor, REFIID riid,
                                                     void** result) = 0;
};

struct IGraphicsCaptureItem : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_DisplayName(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Size(SizeInt32* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE add_Closed(IItemClosedHandler* handler,
                                               EventRegistrationToken* token) = 0;
  virtual HRESULT STDMETHODCALLTYPE remove_Closed(EventRegistrationToken token) = 0;
};

struct IDirect3D11CaptureFrame : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Surface(IDirect3DSurface** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_SystemRelativeTime(TimeSpan* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ContentSize(SizeInt32* value) = 0;
};

struct IGraphicsCaptureSession : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE StartCapture() = 0;
};

struct IGraphicsCaptureSession2 : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_IsCursorCaptureEnabled(Boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_IsCursorCaptureEnabled(Boolean value) = 0;
};

struct IGraphicsCaptureSession3 : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_IsBorderRequired(Boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_IsBorderRequired(Boolean value) = 0;
};

struct IGraphicsCaptureSession4 : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_DirtyRegionMode(GraphicsCaptureDirtyRegionMode* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DirtyRegionMode(GraphicsCaptureDirtyRegionMode value) = 0;
};

struct IGraphicsCaptureSession5 : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_MinUpdateInterval(TimeSpan* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_MinUpdateInterval(TimeSpan value) = 0;
};

struct IGraphicsCaptureSession6 : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_IncludeSecondaryWindows(Boolean* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_IncludeSecondaryWindows(Boolean value) = 0;
};

struct IGraphicsCaptureSessionStatics : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE IsSupported(Boolean* result) = 0;
};

struct IDirect3D11CaptureFramePool : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE Recreate(IDirect3DDevice* device, DirectXPixelFormat format,
                                             INT32 buffers, SizeInt32 size) = 0;
  virtual HRESULT STDMETHODCALLTYPE TryGetNextFrame(IDirect3D11CaptureFrame** result) = 0;
  virtual HRESULT STDMETHODCALLTYPE add_FrameArrived(IFrameArrivedHandler* handler,
                                                     EventRegistrationToken* token) = 0;
  virtual HRESULT STDMETHODCALLTYPE remove_FrameArrived(EventRegistrationToken token) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateCaptureSession(IGraphicsCaptureItem* item,
                                                         IGraphicsCaptureSession** result) = 0;
  // IDispatcherQueue, which we never use.
  virtual HRESULT STDMETHODCALLTYPE get_DispatcherQueue(IInspectable** value) = 0;
};

struct IDirect3D11CaptureFramePoolStatics : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE Create(IDirect3DDevice* device, DirectXPixelFormat format,
                                           INT32 buffers, SizeInt32 size,
                                           IDirect3D11CaptureFramePool** result) = 0;
};

struct IApiInformationStatics : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE IsTypePresent(HSTRING type, Boolean* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsMethodPresent(HSTRING type, HSTRING method,
                                                    Boolean* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsMethodPresentWithArity(HSTRING type, HSTRING method,
                                                             UINT32 inputs, Boolean* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsEventPresent(HSTRING type, HSTRING event,
                                                   Boolean* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsPropertyPresent(HSTRING type, HSTRING property,
                                                      Boolean* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsReadOnlyPropertyPresent(HSTRING type, HSTRING property,
                                                              Boolean* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsWriteablePropertyPresent(HSTRING type, HSTRING property,
                                                               Boolean* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsEnumNamedValuePresent(HSTRING type, HSTRING value,
                                                            Boolean* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsApiContractPresentByMajor(HSTRING contract, UINT16 major,
                                                                Boolean* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsApiContractPresentByMajorAndMinor(HSTRING contract,
                                                                        UINT16 major, UINT16 minor,
                                                                        Boolean* result) = 0;
};

struct IAsyncAction : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE put_Completed(IAsyncActionCompletedHandler* handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Completed(IAsyncActionCompletedHandler** handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetResults() = 0;
};

struct IDispatcherQueueController : IInspectable {
  // IDispatcherQueue, which we never use. The getter comes first.
  virtual HRESULT STDMETHODCALLTYPE get_DispatcherQueue(IInspectable** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE ShutdownQueueAsync(IAsyncAction** operation) = 0;
};

// --- Functions resolved at run time ------------------------------------------

// CoreMessaging.dll; absent from mingw-w64 10's import libraries.
using CreateDispatcherQueueControllerFunction =
    HRESULT(WINAPI*)(DispatcherQueueOptions options, IDispatcherQueueController** controller);
// d3d11.dll; missing from some implementations of that DLL.
using CreateDirect3D11DeviceFromDxgiDeviceFunction = HRESULT(WINAPI*)(IDXGIDevice* device,
                                                                      IInspectable** result);

}  // namespace tarvix::capture::platform::win32::abi
