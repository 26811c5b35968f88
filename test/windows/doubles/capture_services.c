/* Doubles of the window-capture services for Wine, in one DLL installed as
 * C:\windows\system32\CoreMessaging.dll: CreateDispatcherQueueController,
 * and through DllGetActivationFactory the classes GraphicsCaptureItem,
 * GraphicsCaptureSession, Direct3D11CaptureFramePool and ApiInformation.
 *
 * Assumptions (what the real services do that these doubles only imitate):
 * - The dispatcher queue is a message-only window on the creating thread;
 *   frames come from a 30 ms timer on it, so FrameArrived runs inside that
 *   thread's message pump. Real frame timing, buffer recycling and dirty
 *   regions are not imitated: a frame is made when the pool's one buffer is
 *   free, and TryGetNextFrame frees it.
 * - Frames are the window's client area read with GetDC + BitBlt, its alpha
 *   replaced by TARVIX_DOUBLES_ALPHA; the item's size is the client size.
 * - Closed is raised on a thread of its own once the window is gone (or the
 *   script says so), as the real service raises it off the capture thread.
 * - An event source drops a handler that returns RPC_E_DISCONNECTED,
 *   HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE) or JSCRIPT_E_CANTEXECUTE.
 * - Frame pools need the creating thread's dispatcher queue. */
#define COBJMACROS
#define WIDL_using_Windows_Foundation
#define WIDL_using_Windows_Foundation_Metadata
#define WIDL_using_Windows_Graphics
#define WIDL_using_Windows_Graphics_Capture
#define WIDL_using_Windows_Graphics_DirectX
#define WIDL_using_Windows_Graphics_DirectX_Direct3D11
#define WIDL_using_Windows_System
#include <initguid.h>

#include <activation.h>
#include <d3d11.h>
#include <windows.foundation.metadata.h>
#include <windows.graphics.capture.h>
#include <windows.graphics.capture.interop.h>
#include <windows.graphics.directx.direct3d11.interop.h>
#include <windows.system.h>
#include <winstring.h>

#include <tlhelp32.h>

#include "double_support.h"

#define EXPORT __declspec(dllexport)
#define MSG_SHUTDOWN (WM_APP + 1)
#define FRAME_INTERVAL_MS 30
#define ILLEGAL_METHOD_CALL ((HRESULT)0x8000000E)
#define ILLEGAL_DELEGATE_ASSIGNMENT ((HRESULT)0x80000018)
#define SMALLER(a, b) ((a) < (b) ? (a) : (b))

static DWORD tls_queue = TLS_OUT_OF_INDEXES;  /* the thread's Queue */
static DWORD tls_queued = TLS_OUT_OF_INDEXES; /* set once the thread made a queue */

/* --- Events ------------------------------------------------------------- */

typedef struct {
  CRITICAL_SECTION lock;
  INT64 next;
  struct {
    INT64 token;
    IUnknown* handler;
  } at[8];
} EventList;

/* The real sources hand a handler across apartments: they take only an agile,
 * free-threaded one, of the delegate type they raise. */
static HRESULT check_handler(void* handler, const IID* iid) {
  const IID* needed[] = {iid, &IID_IAgileObject, &IID_IMarshal};
  for (int i = 0; i < 3; ++i) {
    IUnknown* face = NULL;
    if (FAILED(IUnknown_QueryInterface((IUnknown*)handler, needed[i], (void**)&face))) {
      log_call("handler.QueryInterface E_NOINTERFACE {%08lx}", needed[i]->Data1);
      return E_NOINTERFACE;
    }
    IUnknown_Release(face);
  }
  return S_OK;
}

static HRESULT event_add(EventList* list, const char* name, void* handler, const IID* iid,
                         EventRegistrationToken* token) {
  HRESULT hr = scripted(name);
  log_call("%s", name);
  if (SUCCEEDED(hr)) hr = check_handler(handler, iid);
  if (FAILED(hr)) return hr;
  EnterCriticalSection(&list->lock);
  for (int i = 0; i < 8; ++i) {
    if (list->at[i].handler) continue;
    list->at[i].handler = handler;
    IUnknown_AddRef(list->at[i].handler);
    token->value = list->at[i].token = ++list->next;
    LeaveCriticalSection(&list->lock);
    return S_OK;
  }
  LeaveCriticalSection(&list->lock);
  return E_OUTOFMEMORY;
}

static HRESULT event_remove(EventList* list, const char* name, EventRegistrationToken token) {
  IUnknown* handler = NULL;
  EnterCriticalSection(&list->lock);
  for (int i = 0; i < 8; ++i) {
    if (list->at[i].handler && list->at[i].token == token.value) {
      handler = list->at[i].handler;
      list->at[i].handler = NULL;
    }
  }
  LeaveCriticalSection(&list->lock);
  log_call("%s token=%lld%s", name, (long long)token.value, handler ? "" : " unknown");
  if (!handler) return E_INVALIDARG;
  IUnknown_Release(handler);
  return S_OK;
}

static int drops_handler(HRESULT hr) {
  return hr == RPC_E_DISCONNECTED || hr == HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE) ||
         hr == (HRESULT)0x89020001;
}

/* Both handler kinds share the delegate layout: IUnknown, then Invoke. */
typedef HRESULT(STDMETHODCALLTYPE* InvokeFn)(void*, void*, IInspectable*);

static void event_raise(EventList* list, const char* name, void* sender) {
  IUnknown* handlers[8];
  int n = 0;
  EnterCriticalSection(&list->lock);
  for (int i = 0; i < 8; ++i) {
    if (!list->at[i].handler) continue;
    handlers[n] = list->at[i].handler;
    IUnknown_AddRef(handlers[n]);
    ++n;
  }
  LeaveCriticalSection(&list->lock);
  for (int i = 0; i < n; ++i) {
    InvokeFn invoke = ((InvokeFn*)*(void***)handlers[i])[3];
    HRESULT hr = invoke(handlers[i], sender, NULL);
    if (FAILED(hr)) log_call("%s returned 0x%08lx", name, (unsigned long)hr);
    if (drops_handler(hr)) {
      EnterCriticalSection(&list->lock);
      for (int j = 0; j < 8; ++j) {
        if (list->at[j].handler == handlers[i]) {
          list->at[j].handler = NULL;
          IUnknown_Release(handlers[i]);
          log_call("%s handler dropped", name);
        }
      }
      LeaveCriticalSection(&list->lock);
    }
    IUnknown_Release(handlers[i]);
  }
}

/* --- Dispatcher queue ------------------------------------------------------ */

typedef struct {
  HWND window;
  int shut;
  void* item; /* the capture item of the thread's pool, held for close_during */
} Queue;

static void close_during(void* item, const char* call);

typedef struct {
  Object base;
  IAsyncActionCompletedHandler* handler;
  int completed;
} Action;

typedef struct {
  Object base;
  Queue* queue;
} Controller;

typedef struct Pool Pool;
static void pool_tick(Pool* pool);

static void action_complete(Action* action) {
  action->completed = 1;
  if (!action->handler) return;
  HRESULT hr = IAsyncActionCompletedHandler_Invoke(
      action->handler, (IAsyncAction*)face_of(&action->base, 0), Completed);
  log_call("action.Completed invoked, returned 0x%08lx", (unsigned long)hr);
}

static LRESULT CALLBACK queue_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  Queue* queue = (Queue*)GetWindowLongPtrW(window, GWLP_USERDATA);
  if (message == WM_TIMER && queue) {
    if (queue->shut) {
      log_call("queue.work_after_shutdown");
      KillTimer(window, wparam);
    } else {
      pool_tick((Pool*)wparam);
    }
    return 0;
  }
  if (message == MSG_SHUTDOWN && queue) {
    Action* action = (Action*)lparam;
    queue->shut = 1;
    log_call("queue.shutdown_completed");
    action_complete(action);
    face_release(face_of(&action->base, 0));
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

static HRESULT STDMETHODCALLTYPE action_put_completed(IAsyncAction* this_,
                                                      IAsyncActionCompletedHandler* handler) {
  Action* action = (Action*)OWNER(this_);
  HRESULT hr = scripted("put_Completed");
  log_call("action.put_Completed");
  if (SUCCEEDED(hr)) hr = check_handler(handler, &IID_IAsyncActionCompletedHandler);
  if (FAILED(hr)) return hr;
  if (action->handler) return ILLEGAL_DELEGATE_ASSIGNMENT;
  action->handler = handler;
  IAsyncActionCompletedHandler_AddRef(handler);
  if (action->completed) action_complete(action);
  return S_OK;
}

static HRESULT STDMETHODCALLTYPE action_get_completed(IAsyncAction* this_,
                                                      IAsyncActionCompletedHandler** handler) {
  Action* action = (Action*)OWNER(this_);
  *handler = action->handler;
  if (*handler) IAsyncActionCompletedHandler_AddRef(*handler);
  return S_OK;
}

static HRESULT STDMETHODCALLTYPE action_get_results(IAsyncAction* this_) {
  return ((Action*)OWNER(this_))->completed ? S_OK : ILLEGAL_METHOD_CALL;
}

static const IAsyncActionVtbl action_vtbl = {
    INSPECTABLE_SLOTS(IAsyncActionVtbl), .put_Completed = action_put_completed,
    .get_Completed = action_get_completed, .GetResults = action_get_results};

static void action_destroy(Object* object) {
  Action* action = (Action*)object;
  if (action->handler) IAsyncActionCompletedHandler_Release(action->handler);
  free(action);
}

static HRESULT STDMETHODCALLTYPE controller_get_queue(IDispatcherQueueController* this_,
                                                      IDispatcherQueue** queue) {
  (void)this_;
  *queue = NULL;
  log_call("queue.get_DispatcherQueue");
  return E_NOTIMPL;
}

static HRESULT STDMETHODCALLTYPE controller_shutdown(IDispatcherQueueController* this_,
                                                     IAsyncAction** out) {
  Controller* controller = (Controller*)OWNER(this_);
  HRESULT hr = scripted("ShutdownQueueAsync");
  log_call("queue.ShutdownQueueAsync");
  if (FAILED(hr)) return hr;
  close_during(controller->queue->item, "ShutdownQueueAsync");
  Action* action = calloc(1, sizeof *action);
  object_init(&action->base, "Windows.Foundation.IAsyncAction", action_destroy);
  *out = object_add_face(&action->base, &IID_IAsyncAction, &action_vtbl);
  face_addref(*out); /* the queue's reference, dropped once it completed */
  PostMessageW(controller->queue->window, MSG_SHUTDOWN, 0, (LPARAM)action);
  return S_OK;
}

static const IDispatcherQueueControllerVtbl controller_vtbl = {
    INSPECTABLE_SLOTS(IDispatcherQueueControllerVtbl), .get_DispatcherQueue = controller_get_queue,
    .ShutdownQueueAsync = controller_shutdown};

/* The Queue itself stays allocated: a pool may still name it after its
 * controller is gone, and that is what the log must show. */
static void controller_destroy(Object* object) {
  Controller* controller = (Controller*)object;
  log_call("queue.released shut=%d", controller->queue->shut);
  if (TlsGetValue(tls_queue) == controller->queue) TlsSetValue(tls_queue, NULL);
  release_face(controller->queue->item);
  DestroyWindow(controller->queue->window);
  free(controller);
}

typedef struct {
  DWORD size;
  INT32 thread_type;    /* 2: the current thread */
  INT32 apartment_type; /* 0: no apartment change */
} QueueOptions;

/* The process's thread count, and with TARVIX_DOUBLES_COUNT=1 its handle
 * count, logged at each queue's creation so tests can compare them across
 * many captures. Wine's GetProcessHandleCount says 0, so open handles are
 * found by probing the handle values (slow: only on request). */
static void process_counts(DWORD* handles, DWORD* threads) {
  char count[8];
  DWORD flags;
  *handles = *threads = 0;
  if (*script("TARVIX_DOUBLES_COUNT", count, sizeof count) == '1') {
    for (UINT_PTR value = 4; value < 0x10000; value += 4)
      *handles += GetHandleInformation((HANDLE)value, &flags) != 0;
  }
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry = {.dwSize = sizeof entry};
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    *threads += entry.th32OwnerProcessID == GetCurrentProcessId();
  CloseHandle(snapshot);
}

EXPORT HRESULT WINAPI CreateDispatcherQueueController(QueueOptions options,
                                                      IDispatcherQueueController** out) {
  HRESULT hr = scripted("CreateDispatcherQueueController");
  DWORD handles, threads;
  process_counts(&handles, &threads);
  log_call(
      "queue.CreateDispatcherQueueController size=%lu thread=%d apartment=%d handles=%lu "
      "threads=%lu",
      (unsigned long)options.size, options.thread_type, options.apartment_type,
      (unsigned long)handles, (unsigned long)threads);
  if (FAILED(hr)) return hr;
  if (options.size != sizeof options || options.thread_type != 2 || options.apartment_type != 0)
    return E_INVALIDARG;
  if (TlsGetValue(tls_queue)) return RPC_E_WRONG_THREAD;
  static const WNDCLASSW window_class = {.lpfnWndProc = queue_procedure,
                                         .lpszClassName = L"tarvix dispatcher queue double"};
  RegisterClassW(&window_class); /* fails harmlessly once registered */
  Queue* queue = calloc(1, sizeof *queue);
  queue->window = CreateWindowExW(0, window_class.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  NULL, NULL, NULL);
  if (!queue->window) return HRESULT_FROM_WIN32(GetLastError());
  SetWindowLongPtrW(queue->window, GWLP_USERDATA, (LONG_PTR)queue);
  TlsSetValue(tls_queue, queue);
  TlsSetValue(tls_queued, queue);
  Controller* controller = calloc(1, sizeof *controller);
  object_init(&controller->base, "Windows.System.DispatcherQueueController", controller_destroy);
  controller->queue = queue;
  *out = object_add_face(&controller->base, &IID_IDispatcherQueueController, &controller_vtbl);
  return S_OK;
}

/* --- Frames and surfaces ----------------------------------------------------- */

static HRESULT STDMETHODCALLTYPE close_logged(IClosable* this_) {
  log_call("%s.Close", OWNER(this_)->name);
  return S_OK;
}

static const IClosableVtbl closable_vtbl = {INSPECTABLE_SLOTS(IClosableVtbl),
                                            .Close = close_logged};

typedef struct {
  Object base;
  ID3D11Texture2D* texture;
  SizeInt32 content;
} Frame;

static void frame_destroy(Object* object) {
  Frame* frame = (Frame*)object;
  ID3D11Texture2D_Release(frame->texture);
  free(frame);
}

static HRESULT STDMETHODCALLTYPE surface_get_interface(IDirect3DDxgiInterfaceAccess* this_,
                                                       REFIID iid, void** out) {
  return ID3D11Texture2D_QueryInterface(((Frame*)OWNER(this_))->texture, iid, out);
}

static HRESULT STDMETHODCALLTYPE surface_description(IDirect3DSurface* this_,
                                                     Direct3DSurfaceDescription* value) {
  (void)this_;
  (void)value;
  return E_NOTIMPL;
}

static const IDirect3DSurfaceVtbl surface_vtbl = {INSPECTABLE_SLOTS(IDirect3DSurfaceVtbl),
                                                  .get_Description = surface_description};
static const IDirect3DDxgiInterfaceAccessVtbl access_vtbl = {
    UNKNOWN_SLOTS(IDirect3DDxgiInterfaceAccessVtbl), .GetInterface = surface_get_interface};

static HRESULT STDMETHODCALLTYPE frame_get_surface(IDirect3D11CaptureFrame* this_,
                                                   IDirect3DSurface** value) {
  Frame* frame = (Frame*)OWNER(this_);
  Frame* surface = calloc(1, sizeof *surface);
  object_init(&surface->base, "Windows.Graphics.DirectX.Direct3D11.IDirect3DSurface",
              frame_destroy);
  surface->texture = frame->texture;
  ID3D11Texture2D_AddRef(surface->texture);
  *value = object_add_face(&surface->base, &IID_IDirect3DSurface, &surface_vtbl);
  object_add_face(&surface->base, &IID_IDirect3DDxgiInterfaceAccess, &access_vtbl);
  object_add_face(&surface->base, &IID_IClosable, &closable_vtbl);
  return S_OK;
}

static HRESULT STDMETHODCALLTYPE frame_get_time(IDirect3D11CaptureFrame* this_, TimeSpan* value) {
  (void)this_;
  value->Duration = (INT64)GetTickCount64() * 10000;
  return S_OK;
}

static HRESULT STDMETHODCALLTYPE frame_get_content_size(IDirect3D11CaptureFrame* this_,
                                                        SizeInt32* value) {
  *value = ((Frame*)OWNER(this_))->content;
  return scripted("get_ContentSize");
}

static const IDirect3D11CaptureFrameVtbl frame_vtbl = {
    INSPECTABLE_SLOTS(IDirect3D11CaptureFrameVtbl), .get_Surface = frame_get_surface,
    .get_SystemRelativeTime = frame_get_time, .get_ContentSize = frame_get_content_size};

/* --- Capture item -------------------------------------------------------------- */

typedef struct {
  Object base;
  HWND window;
  EventList closed;
  LONG closed_raised;
} Item;

static SizeInt32 item_size(Item* item) {
  char text[32];
  SizeInt32 size = {0, 0};
  if (sscanf(script("TARVIX_DOUBLES_SIZE", text, sizeof text), "%dx%d", &size.Width,
             &size.Height) == 2) {
    return size;
  }
  RECT client;
  if (GetClientRect(item->window, &client)) {
    size.Width = client.right - client.left;
    size.Height = client.bottom - client.top;
  }
  return size;
}

static HRESULT STDMETHODCALLTYPE item_get_name(IGraphicsCaptureItem* this_, HSTRING* value) {
  (void)this_;
  return WindowsCreateString(L"double", 6, value);
}

static HRESULT STDMETHODCALLTYPE item_get_size(IGraphicsCaptureItem* this_, SizeInt32* value) {
  *value = item_size((Item*)OWNER(this_));
  return scripted("get_Size");
}

static HRESULT STDMETHODCALLTYPE item_add_closed(
    IGraphicsCaptureItem* this_, ITypedEventHandler_GraphicsCaptureItem_IInspectable* handler,
    EventRegistrationToken* token) {
  return event_add(&((Item*)OWNER(this_))->closed, "item.add_Closed", handler,
                   &IID_ITypedEventHandler_GraphicsCaptureItem_IInspectable, token);
}

static HRESULT STDMETHODCALLTYPE item_remove_closed(IGraphicsCaptureItem* this_,
                                                    EventRegistrationToken token) {
  return event_remove(&((Item*)OWNER(this_))->closed, "item.remove_Closed", token);
}

static const IGraphicsCaptureItemVtbl item_vtbl = {
    INSPECTABLE_SLOTS(IGraphicsCaptureItemVtbl), .get_DisplayName = item_get_name,
    .get_Size = item_get_size, .add_Closed = item_add_closed, .remove_Closed = item_remove_closed};

static DWORD WINAPI raise_closed(void* argument) {
  Item* item = argument;
  log_call("item.Closed raised");
  event_raise(&item->closed, "item.Closed", face_of(&item->base, 0));
  face_release(face_of(&item->base, 0));
  return 0;
}

static HANDLE raise_closed_async(Item* item) {
  item->closed_raised = 1;
  face_addref(face_of(&item->base, 0));
  return CreateThread(NULL, 0, raise_closed, item, 0, NULL);
}

/* With TARVIX_DOUBLES_CLOSE naming the call, the window closes while that
 * call runs (as during a stop): Closed is raised and waited for. */
static void close_during(void* item, const char* call) {
  char close[32];
  if (!item || strcmp(script("TARVIX_DOUBLES_CLOSE", close, sizeof close), call) != 0) return;
  HANDLE thread = raise_closed_async((Item*)OWNER(item));
  if (thread) WaitForSingleObject(thread, 10000);
  if (thread) CloseHandle(thread);
}

static void item_destroy(Object* object) {
  Item* item = (Item*)object;
  for (int i = 0; i < 8; ++i)
    if (item->closed.at[i].handler) IUnknown_Release(item->closed.at[i].handler);
  DeleteCriticalSection(&item->closed.lock);
  free(item);
}

/* --- Session ----------------------------------------------------------------- */

struct Pool {
  Object base;
  ID3D11Device* device;
  Queue* queue;
  Item* item; /* set by CreateCaptureSession */
  SizeInt32 size;
  Frame* pending; /* the pool's one buffer */
  EventList arrived;
};

typedef struct {
  Object base;
  Pool* pool;
} Session;

static HRESULT STDMETHODCALLTYPE session_start(IGraphicsCaptureSession* this_) {
  Pool* pool = ((Session*)OWNER(this_))->pool;
  HRESULT hr = scripted("StartCapture");
  log_call("session.StartCapture");
  if (FAILED(hr)) return hr;
  SetTimer(pool->queue->window, (UINT_PTR)pool, FRAME_INTERVAL_MS, NULL);
  return S_OK;
}

static HRESULT STDMETHODCALLTYPE session_close(IClosable* this_) {
  Pool* pool = ((Session*)OWNER(this_))->pool;
  log_call("session.Close");
  close_during(pool->queue->item, "session.Close");
  KillTimer(pool->queue->window, (UINT_PTR)pool);
  return S_OK;
}

static HRESULT session_put(const char* name, boolean value) {
  HRESULT hr = scripted(name);
  log_call("session.%s %d", name, value);
  return hr;
}

#define SESSION_PROPERTY(V, T, Name)                                            \
  static HRESULT STDMETHODCALLTYPE get_##Name(T* this_, boolean* value) {       \
    (void)this_;                                                                \
    *value = 1;                                                                 \
    return S_OK;                                                                \
  }                                                                             \
  static HRESULT STDMETHODCALLTYPE put_##Name(T* this_, boolean value) {        \
    (void)this_;                                                                \
    return session_put("put_" #Name, value);                                    \
  }                                                                             \
  static const V Name##_vtbl = {INSPECTABLE_SLOTS(V), .get_##Name = get_##Name, \
                                .put_##Name = put_##Name};

SESSION_PROPERTY(IGraphicsCaptureSession2Vtbl, IGraphicsCaptureSession2, IsCursorCaptureEnabled)
SESSION_PROPERTY(IGraphicsCaptureSession3Vtbl, IGraphicsCaptureSession3, IsBorderRequired)

static const IGraphicsCaptureSessionVtbl session_vtbl = {
    INSPECTABLE_SLOTS(IGraphicsCaptureSessionVtbl), .StartCapture = session_start};
static const IClosableVtbl session_closable_vtbl = {INSPECTABLE_SLOTS(IClosableVtbl),
                                                    .Close = session_close};

static void session_destroy(Object* object) {
  Session* session = (Session*)object;
  face_release(face_of(&session->pool->base, 0));
  free(session);
}

/* --- Frame pool ---------------------------------------------------------------- */

static Frame* capture_window(Pool* pool, SizeInt32 content) {
  const int width = pool->size.Width, height = pool->size.Height;
  BITMAPINFO info = {.bmiHeader = {.biSize = sizeof(BITMAPINFOHEADER),
                                   .biWidth = width,
                                   .biHeight = -height,
                                   .biPlanes = 1,
                                   .biBitCount = 32}};
  void* bits = NULL;
  HDC screen = GetDC(pool->item->window);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, NULL, 0);
  Frame* frame = NULL;
  if (bitmap) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, SMALLER(width, content.Width), SMALLER(height, content.Height), screen, 0,
           0, SRCCOPY);
    GdiFlush();
    char text[16];
    const int alpha = *script("TARVIX_DOUBLES_ALPHA", text, sizeof text) ? atoi(text) : 255;
    for (int i = 0; i < width * height; ++i)
      ((BYTE*)bits)[i * 4 + 3] = (BYTE)alpha;
    D3D11_TEXTURE2D_DESC desc = {.Width = (UINT)width,
                                 .Height = (UINT)height,
                                 .MipLevels = 1,
                                 .ArraySize = 1,
                                 .Format = DXGI_FORMAT_B8G8R8A8_UNORM,
                                 .SampleDesc = {1, 0},
                                 .Usage = D3D11_USAGE_DEFAULT,
                                 .BindFlags = D3D11_BIND_SHADER_RESOURCE};
    D3D11_SUBRESOURCE_DATA data = {.pSysMem = bits, .SysMemPitch = (UINT)width * 4};
    ID3D11Texture2D* texture = NULL;
    if (SUCCEEDED(ID3D11Device_CreateTexture2D(pool->device, &desc, &data, &texture))) {
      frame = calloc(1, sizeof *frame);
      object_init(&frame->base, "Windows.Graphics.Capture.Direct3D11CaptureFrame", frame_destroy);
      frame->texture = texture;
      frame->content = content;
      object_add_face(&frame->base, &IID_IDirect3D11CaptureFrame, &frame_vtbl);
      object_add_face(&frame->base, &IID_IClosable, &closable_vtbl);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(pool->item->window, screen);
  return frame;
}

static void pool_tick(Pool* pool) {
  Item* item = pool->item;
  char close[8];
  if (!item || pool->pending || item->closed_raised) return;
  if (!IsWindow(item->window) || *script("TARVIX_DOUBLES_CLOSE", close, sizeof close) == '1') {
    HANDLE thread = raise_closed_async(item);
    if (thread) CloseHandle(thread);
    return;
  }
  const SizeInt32 content = item_size(item);
  pool->pending = capture_window(pool, content);
  if (!pool->pending) return;
  log_call("pool.frame %dx%d content=%dx%d", pool->size.Width, pool->size.Height, content.Width,
           content.Height);
  event_raise(&pool->arrived, "pool.FrameArrived", face_of(&pool->base, 0));
}

static HRESULT STDMETHODCALLTYPE pool_recreate(IDirect3D11CaptureFramePool* this_,
                                               IDirect3DDevice* device, DirectXPixelFormat format,
                                               INT32 buffers, SizeInt32 size) {
  Pool* pool = (Pool*)OWNER(this_);
  (void)device;
  HRESULT hr = scripted("Recreate");
  log_call("pool.Recreate fmt=%d buffers=%d size=%dx%d", format, buffers, size.Width, size.Height);
  if (FAILED(hr)) return hr;
  pool->size = size;
  return S_OK;
}

static HRESULT STDMETHODCALLTYPE pool_next_frame(IDirect3D11CaptureFramePool* this_,
                                                 IDirect3D11CaptureFrame** out) {
  Pool* pool = (Pool*)OWNER(this_);
  HRESULT hr = scripted("TryGetNextFrame");
  log_call("pool.TryGetNextFrame");
  *out = NULL;
  if (FAILED(hr)) return hr;
  if (pool->pending) *out = face_of(&pool->pending->base, 0);
  pool->pending = NULL;
  return S_OK;
}

static HRESULT STDMETHODCALLTYPE
pool_add_arrived(IDirect3D11CaptureFramePool* this_,
                 ITypedEventHandler_Direct3D11CaptureFramePool_IInspectable* handler,
                 EventRegistrationToken* token) {
  return event_add(&((Pool*)OWNER(this_))->arrived, "pool.add_FrameArrived", handler,
                   &IID_ITypedEventHandler_Direct3D11CaptureFramePool_IInspectable, token);
}

static HRESULT STDMETHODCALLTYPE pool_remove_arrived(IDirect3D11CaptureFramePool* this_,
                                                     EventRegistrationToken token) {
  return event_remove(&((Pool*)OWNER(this_))->arrived, "pool.remove_FrameArrived", token);
}

static HRESULT STDMETHODCALLTYPE pool_create_session(IDirect3D11CaptureFramePool* this_,
                                                     IGraphicsCaptureItem* item,
                                                     IGraphicsCaptureSession** out) {
  Pool* pool = (Pool*)OWNER(this_);
  HRESULT hr = scripted("CreateCaptureSession");
  log_call("pool.CreateCaptureSession");
  *out = NULL;
  if (FAILED(hr)) return hr;
  if (!item || OWNER(item)->destroy != item_destroy) return E_INVALIDARG;
  if (!pool->item) {
    pool->item = (Item*)OWNER(item);
    face_addref(item);
  }
  if (!pool->queue->item) {
    pool->queue->item = item;
    face_addref(item);
  }
  Session* session = calloc(1, sizeof *session);
  object_init(&session->base, "Windows.Graphics.Capture.GraphicsCaptureSession", session_destroy);
  session->pool = pool;
  face_addref(this_);
  *out = object_add_face(&session->base, &IID_IGraphicsCaptureSession, &session_vtbl);
  object_add_face(&session->base, &IID_IClosable, &session_closable_vtbl);
  if (!profile_is("win10-1903")) {
    object_add_face(&session->base, &IID_IGraphicsCaptureSession2, &IsCursorCaptureEnabled_vtbl);
  }
  if (!profile_is("win10-1903") && !profile_is("win10-22h2")) {
    object_add_face(&session->base, &IID_IGraphicsCaptureSession3, &IsBorderRequired_vtbl);
  }
  return S_OK;
}

static HRESULT STDMETHODCALLTYPE pool_get_queue(IDirect3D11CaptureFramePool* this_,
                                                IDispatcherQueue** value) {
  (void)this_;
  *value = NULL;
  return E_NOTIMPL;
}

static void pool_stop(Pool* pool) {
  KillTimer(pool->queue->window, (UINT_PTR)pool);
  if (pool->pending) face_release(face_of(&pool->pending->base, 0));
  pool->pending = NULL;
}

static HRESULT STDMETHODCALLTYPE pool_close(IClosable* this_) {
  log_call("pool.Close");
  pool_stop((Pool*)OWNER(this_));
  return S_OK;
}

static const IDirect3D11CaptureFramePoolVtbl pool_vtbl = {
    INSPECTABLE_SLOTS(IDirect3D11CaptureFramePoolVtbl),
    .Recreate = pool_recreate,
    .TryGetNextFrame = pool_next_frame,
    .add_FrameArrived = pool_add_arrived,
    .remove_FrameArrived = pool_remove_arrived,
    .CreateCaptureSession = pool_create_session,
    .get_DispatcherQueue = pool_get_queue};
static const IClosableVtbl pool_closable_vtbl = {INSPECTABLE_SLOTS(IClosableVtbl),
                                                 .Close = pool_close};

static void pool_destroy(Object* object) {
  Pool* pool = (Pool*)object;
  pool_stop(pool);
  log_call("pool.destroyed");
  if (pool->item) face_release(face_of(&pool->item->base, 0));
  for (int i = 0; i < 8; ++i)
    if (pool->arrived.at[i].handler) IUnknown_Release(pool->arrived.at[i].handler);
  DeleteCriticalSection(&pool->arrived.lock);
  ID3D11Device_Release(pool->device);
  free(pool);
}

/* --- Activation factories -------------------------------------------------------- */

static HRESULT STDMETHODCALLTYPE pool_statics_create(IDirect3D11CaptureFramePoolStatics* this_,
                                                     IDirect3DDevice* device,
                                                     DirectXPixelFormat format, INT32 buffers,
                                                     SizeInt32 size,
                                                     IDirect3D11CaptureFramePool** out) {
  (void)this_;
  HRESULT hr = scripted("Create");
  log_call("pool.Create fmt=%d buffers=%d size=%dx%d", format, buffers, size.Width, size.Height);
  *out = NULL;
  if (FAILED(hr)) return hr;
  Queue* queue = TlsGetValue(tls_queue);
  if (!queue) return ILLEGAL_METHOD_CALL;
  IDirect3DDxgiInterfaceAccess* access = NULL;
  ID3D11Device* d3d = NULL;
  hr = IDirect3DDevice_QueryInterface(device, &IID_IDirect3DDxgiInterfaceAccess, (void**)&access);
  if (SUCCEEDED(hr)) {
    hr = IDirect3DDxgiInterfaceAccess_GetInterface(access, &IID_ID3D11Device, (void**)&d3d);
    IDirect3DDxgiInterfaceAccess_Release(access);
  }
  if (FAILED(hr)) return hr;
  Pool* pool = calloc(1, sizeof *pool);
  object_init(&pool->base, "Windows.Graphics.Capture.Direct3D11CaptureFramePool", pool_destroy);
  pool->device = d3d;
  pool->queue = queue;
  pool->size = size;
  InitializeCriticalSection(&pool->arrived.lock);
  *out = object_add_face(&pool->base, &IID_IDirect3D11CaptureFramePool, &pool_vtbl);
  object_add_face(&pool->base, &IID_IClosable, &pool_closable_vtbl);
  return S_OK;
}

static HRESULT STDMETHODCALLTYPE item_create_for_window(IGraphicsCaptureItemInterop* this_,
                                                        HWND window, REFIID iid, void** out) {
  (void)this_;
  HRESULT hr = scripted("CreateForWindow");
  log_call("item.CreateForWindow");
  *out = NULL;
  if (FAILED(hr)) return hr;
  if (!IsWindow(window)) return E_INVALIDARG;
  Item* item = calloc(1, sizeof *item);
  object_init(&item->base, "Windows.Graphics.Capture.GraphicsCaptureItem", item_destroy);
  item->window = window;
  InitializeCriticalSection(&item->closed.lock);
  void* face = object_add_face(&item->base, &IID_IGraphicsCaptureItem, &item_vtbl);
  hr = face_qi(face, iid, out);
  face_release(face);
  return hr;
}

static HRESULT STDMETHODCALLTYPE item_create_for_monitor(IGraphicsCaptureItemInterop* this_,
                                                         HMONITOR monitor, REFIID iid, void** out) {
  (void)this_;
  (void)monitor;
  (void)iid;
  *out = NULL;
  return E_NOTIMPL;
}

static HRESULT STDMETHODCALLTYPE session_is_supported(IGraphicsCaptureSessionStatics* this_,
                                                      boolean* result) {
  (void)this_;
  HRESULT hr = scripted("IsSupported");
  log_call("session.IsSupported");
  *result = SUCCEEDED(hr);
  return hr;
}

static const char* narrow(HSTRING text, char* out, size_t size) {
  UINT32 length = 0;
  const WCHAR* wide = WindowsGetStringRawBuffer(text, &length);
  size_t i = 0;
  for (; i < length && i + 1 < size; ++i)
    out[i] = wide[i] < 0x80 ? (char)wide[i] : '?';
  out[i] = '\0';
  return out;
}

static HRESULT STDMETHODCALLTYPE api_contract(IApiInformationStatics* this_, HSTRING name,
                                              UINT16 major, boolean* result) {
  (void)this_;
  char text[128];
  /* Universal contract of each profile: 8 = 1903, 10 = 2004-22H2, 19 = 24H2. */
  const int have = profile_is("win10-1903") ? 8 : profile_is("win10-22h2") ? 10 : 19;
  *result =
      strcmp(narrow(name, text, sizeof text), "Windows.Foundation.UniversalApiContract") == 0 &&
      major <= have;
  log_call("api.IsApiContractPresent %s %u %d", text, major, *result);
  return scripted("IsApiContractPresent");
}

static HRESULT STDMETHODCALLTYPE api_property(IApiInformationStatics* this_, HSTRING type,
                                              HSTRING property, boolean* result) {
  (void)this_;
  char type_text[128], name[64];
  narrow(type, type_text, sizeof type_text);
  narrow(property, name, sizeof name);
  const int win10 = profile_is("win10-1903") || profile_is("win10-22h2");
  *result =
      strcmp(type_text, "Windows.Graphics.Capture.GraphicsCaptureSession") == 0 &&
      ((strcmp(name, "IsCursorCaptureEnabled") == 0 && !profile_is("win10-1903")) ||
       (!win10 &&
        (strcmp(name, "IsBorderRequired") == 0 || strcmp(name, "IncludeSecondaryWindows") == 0 ||
         strcmp(name, "MinUpdateInterval") == 0 || strcmp(name, "DirtyRegionMode") == 0)));
  log_call("api.IsPropertyPresent %s %s %d", type_text, name, *result);
  return scripted("IsPropertyPresent");
}

static HRESULT STDMETHODCALLTYPE api_not_asked(void) {
  return E_NOTIMPL;
}

static const IApiInformationStaticsVtbl api_vtbl = {
    INSPECTABLE_SLOTS(IApiInformationStaticsVtbl),
    AS(IApiInformationStaticsVtbl, IsTypePresent, api_not_asked),
    AS(IApiInformationStaticsVtbl, IsMethodPresent, api_not_asked),
    AS(IApiInformationStaticsVtbl, IsMethodPresentWithArity, api_not_asked),
    AS(IApiInformationStaticsVtbl, IsEventPresent, api_not_asked),
    .IsPropertyPresent = api_property,
    AS(IApiInformationStaticsVtbl, IsReadOnlyPropertyPresent, api_not_asked),
    AS(IApiInformationStaticsVtbl, IsWriteablePropertyPresent, api_not_asked),
    AS(IApiInformationStaticsVtbl, IsEnumNamedValuePresent, api_not_asked),
    .IsApiContractPresentByMajor = api_contract,
    AS(IApiInformationStaticsVtbl, IsApiContractPresentByMajorAndMinor, api_not_asked)};
static const IGraphicsCaptureItemInteropVtbl interop_vtbl = {
    UNKNOWN_SLOTS(IGraphicsCaptureItemInteropVtbl), .CreateForWindow = item_create_for_window,
    .CreateForMonitor = item_create_for_monitor};
static const IGraphicsCaptureSessionStaticsVtbl session_statics_vtbl = {
    INSPECTABLE_SLOTS(IGraphicsCaptureSessionStaticsVtbl), .IsSupported = session_is_supported};
static const IDirect3D11CaptureFramePoolStaticsVtbl pool_statics_vtbl = {
    INSPECTABLE_SLOTS(IDirect3D11CaptureFramePoolStaticsVtbl), .Create = pool_statics_create};

static HRESULT STDMETHODCALLTYPE factory_activate(IActivationFactory* this_, IInspectable** out) {
  (void)this_;
  *out = NULL;
  return E_NOTIMPL;
}

static const IActivationFactoryVtbl factory_vtbl = {INSPECTABLE_SLOTS(IActivationFactoryVtbl),
                                                    .ActivateInstance = factory_activate};

static void never_destroyed(Object* object) {
  (void)object;
}

/* combase asks on every activation: one shared factory per class. */
static struct {
  const WCHAR* name;
  const IID* iid;
  const void* vtbl;
  Object object;
} factories[] = {
    {L"Windows.Graphics.Capture.GraphicsCaptureItem",
     &IID_IGraphicsCaptureItemInterop,
     &interop_vtbl,
     {0}},
    {L"Windows.Graphics.Capture.GraphicsCaptureSession",
     &IID_IGraphicsCaptureSessionStatics,
     &session_statics_vtbl,
     {0}},
    {L"Windows.Graphics.Capture.Direct3D11CaptureFramePool",
     &IID_IDirect3D11CaptureFramePoolStatics,
     &pool_statics_vtbl,
     {0}},
    {L"Windows.Foundation.Metadata.ApiInformation", &IID_IApiInformationStatics, &api_vtbl, {0}},
};

EXPORT HRESULT WINAPI DllGetActivationFactory(HSTRING class_name, IActivationFactory** out) {
  const WCHAR* name = WindowsGetStringRawBuffer(class_name, NULL);
  log_call("activation");
  for (size_t i = 0; i < sizeof factories / sizeof factories[0]; ++i) {
    if (wcscmp(name, factories[i].name) != 0) continue;
    Object* object = &factories[i].object;
    if (!object->destroy) {
      object_init(object, "factory", never_destroyed);
      object_add_face(object, &IID_IActivationFactory, &factory_vtbl);
      object_add_face(object, factories[i].iid, factories[i].vtbl);
    }
    *out = face_of(object, 0);
    face_addref(*out);
    return S_OK;
  }
  *out = NULL;
  return CLASS_E_CLASSNOTAVAILABLE;
}

/* A capture thread ending is logged, so tests can see that its queue shut
 * down first. */
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void* reserved) {
  (void)instance;
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    tls_queue = TlsAlloc();
    tls_queued = TlsAlloc();
  } else if (reason == DLL_THREAD_DETACH && TlsGetValue(tls_queued)) {
    log_call("queue.thread_ended shut=%d", ((Queue*)TlsGetValue(tls_queued))->shut);
  }
  return TRUE;
}
