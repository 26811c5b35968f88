/* d3d11.dll for Wine: every export forwards to Wine's own d3d11, installed
 * beside it as d3d11_wine.dll, and this adds the one Wine lacks,
 * CreateDirect3D11DeviceFromDXGIDevice. The device it returns only wraps
 * the DXGI device; Trim does nothing. */
#define COBJMACROS
#define WIDL_using_Windows_Foundation
#define WIDL_using_Windows_Graphics_DirectX_Direct3D11
#include <initguid.h>

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
