/* d3d11.dll for Wine: every export forwards to Wine's own d3d11, installed
 * beside it as d3d11_wine.dll, and this adds the one Wine lacks,
 * CreateDirect3D11DeviceFromDXGIDevice. The device it returns only wraps
 * the DXGI device; Trim does nothing. D3D11CreateDevice is Wine's, with the
 * device's CreateTexture2D wrapped to log each staging texture made. */
#define COBJMACROS
#define WIDL_using_Windows_Foundation
#define WIDL_using_Windows_Graphics_DirectX_Direct3D11
#include <initguid.h>

#include <d3d11.h>
#include <dxgi.h>
#include <windows.graphics.directx.direct3d11.interop.h>

#include "double_support.h"

typedef struct {
  Object base;
  IDXGIDevice* dxgi;
} Device;

static HRESULT STDMETHODCALLTYPE device_trim(IDirect3DDevice* this_) {
  (void)this_;
  return S_OK;
}

static HRESULT STDMETHODCALLTYPE device_get_interface(IDirect3DDxgiInterfaceAccess* this_,
                                                      REFIID iid, void** out) {
  return IDXGIDevice_QueryInterface(((Device*)OWNER(this_))->dxgi, iid, out);
}

static HRESULT STDMETHODCALLTYPE device_close(IClosable* this_) {
  (void)this_;
  log_call("device.Close");
  return S_OK;
}

static const IDirect3DDeviceVtbl device_vtbl = {INSPECTABLE_SLOTS(IDirect3DDeviceVtbl),
                                                .Trim = device_trim};
static const IDirect3DDxgiInterfaceAccessVtbl access_vtbl = {
    UNKNOWN_SLOTS(IDirect3DDxgiInterfaceAccessVtbl), .GetInterface = device_get_interface};
static const IClosableVtbl closable_vtbl = {INSPECTABLE_SLOTS(IClosableVtbl),
                                            .Close = device_close};

static void device_destroy(Object* object) {
  Device* device = (Device*)object;
  log_call("device.released");
  IDXGIDevice_Release(device->dxgi);
  free(device);
}

HRESULT WINAPI CreateDirect3D11DeviceFromDXGIDevice(IDXGIDevice* dxgi, IInspectable** out) {
  HRESULT hr = scripted("CreateDirect3D11DeviceFromDXGIDevice");
  log_call("device.CreateDirect3D11DeviceFromDXGIDevice");
  *out = NULL;
  if (FAILED(hr)) return hr;
  if (!dxgi) return E_INVALIDARG;
  Device* device = calloc(1, sizeof *device);
  object_init(&device->base, "Windows.Graphics.DirectX.Direct3D11.IDirect3DDevice", device_destroy);
  device->dxgi = dxgi;
  IDXGIDevice_AddRef(dxgi);
  *out = object_add_face(&device->base, &IID_IDirect3DDevice, &device_vtbl);
  object_add_face(&device->base, &IID_IDirect3DDxgiInterfaceAccess, &access_vtbl);
  object_add_face(&device->base, &IID_IClosable, &closable_vtbl);
  return S_OK;
}

typedef HRESULT(STDMETHODCALLTYPE* CreateTexture)(ID3D11Device*, const D3D11_TEXTURE2D_DESC*,
                                                  const D3D11_SUBRESOURCE_DATA*, ID3D11Texture2D**);
static CreateTexture wine_create_texture;

static HRESULT STDMETHODCALLTYPE create_texture(ID3D11Device* this_,
                                                const D3D11_TEXTURE2D_DESC* desc,
                                                const D3D11_SUBRESOURCE_DATA* data,
                                                ID3D11Texture2D** out) {
  if (desc && desc->Usage == D3D11_USAGE_STAGING)
    log_call("d3d11.CreateTexture2D staging %ux%u", desc->Width, desc->Height);
  return wine_create_texture(this_, desc, data, out);
}

/* Wine's devices share one read-only vtable: its slot is replaced once. */
static void wrap_create_texture(ID3D11Device* device) {
  static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
  BOOL pending;
  if (!InitOnceBeginInitialize(&once, 0, &pending, NULL) || !pending) return;
  CreateTexture* slot = (CreateTexture*)&device->lpVtbl->CreateTexture2D;
  DWORD protection;
  if (VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection)) {
    wine_create_texture = *slot;
    *slot = create_texture;
    VirtualProtect(slot, sizeof *slot, protection, &protection);
  }
  InitOnceComplete(&once, 0, NULL);
}

typedef HRESULT(WINAPI* CreateDevice)(IDXGIAdapter*, D3D_DRIVER_TYPE, HMODULE, UINT,
                                      const D3D_FEATURE_LEVEL*, UINT, UINT, ID3D11Device**,
                                      D3D_FEATURE_LEVEL*, ID3D11DeviceContext**);

HRESULT WINAPI D3D11CreateDevice(IDXGIAdapter* adapter, D3D_DRIVER_TYPE type, HMODULE software,
                                 UINT flags, const D3D_FEATURE_LEVEL* levels, UINT level_count,
                                 UINT sdk, ID3D11Device** device, D3D_FEATURE_LEVEL* level,
                                 ID3D11DeviceContext** context) {
  HMODULE wine = LoadLibraryW(L"d3d11_wine.dll");
  CreateDevice create =
      wine ? (CreateDevice)(void (*)(void))GetProcAddress(wine, "D3D11CreateDevice") : NULL;
  if (!create) return E_NOTIMPL;
  HRESULT hr =
      create(adapter, type, software, flags, levels, level_count, sdk, device, level, context);
  if (SUCCEEDED(hr) && device && *device) wrap_create_texture(*device);
  return hr;
}
