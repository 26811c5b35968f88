/* What the capture-service doubles share: the script they read from the
 * environment, the call log they append to, and a small COM object model.
 *
 * Script (read at each call, so a test may change it while a capture runs;
 * node's process.env writes the process environment):
 *   TARVIX_DOUBLES_LOG      file every call is appended to, one line each
 *   TARVIX_DOUBLES_PROFILE  win11 (default), win10-22h2 (no IsBorderRequired),
 *                           win10-1903 (neither IsBorderRequired nor
 *                           IsCursorCaptureEnabled)
 *   TARVIX_DOUBLES_FAIL     "Call=0xHRESULT[,Call=0x...]": the named calls fail
 *   TARVIX_DOUBLES_SIZE     "WxH": the window's content size, instead of its
 *                           client rectangle
 *   TARVIX_DOUBLES_ALPHA    alpha of every captured pixel (default 255)
 *   TARVIX_DOUBLES_CLOSE    "1": the item raises Closed at the next frame;
 *                           "session.Close" or "ShutdownQueueAsync": while
 *                           that call runs, as when a window closes during a stop
 *   TARVIX_DOUBLES_COUNT    "1": a new queue logs the process's handle count */
#pragma once

#include <windows.h>

#include <inspectable.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static inline const char* script(const char* name, char* buffer, DWORD size) {
  DWORD got = GetEnvironmentVariableA(name, buffer, size);
  if (got == 0 || got >= size) buffer[0] = '\0';
  return buffer;
}

/* One line per call, appended in one write so processes and threads never
 * interleave within a line. */
static inline void log_call(const char* format, ...) {
  char path[MAX_PATH], line[512];
  if (!*script("TARVIX_DOUBLES_LOG", path, sizeof path)) return;
  int n = snprintf(line, sizeof line, "%lu ", GetCurrentThreadId());
  va_list args;
  va_start(args, format);
  n += vsnprintf(line + n, sizeof line - (size_t)n - 1, format, args);
  va_end(args);
  if (n > (int)sizeof line - 2) n = (int)sizeof line - 2;
  line[n++] = '\n';
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written;
  WriteFile(file, line, (DWORD)n, &written, NULL);
  CloseHandle(file);
}

/* The scripted failure of a call, or S_OK. A failing call is logged too. */
static inline HRESULT scripted(const char* call) {
  char fail[512];
  const size_t length = strlen(call);
  for (const char* at = script("TARVIX_DOUBLES_FAIL", fail, sizeof fail); *at;) {
    if (strncmp(at, call, length) == 0 && at[length] == '=') {
      HRESULT hr = (HRESULT)strtoul(at + length + 1, NULL, 16);
      log_call("%s failed 0x%08lx", call, (unsigned long)hr);
      return hr;
    }
    at = strchr(at, ',');
    if (!at) break;
    ++at;
  }
  return S_OK;
}

static inline int profile_is(const char* name) {
  char profile[32];
  return strcmp(script("TARVIX_DOUBLES_PROFILE", profile, sizeof profile), name) == 0;
}

/* --- Objects --------------------------------------------------------------
 * An object hands out interface pointers that are Faces: the vtable first, as
 * COM requires, then the owning object, so one set of IUnknown/IInspectable
 * methods serves every interface. */
typedef struct Object Object;
typedef struct {
  const void* vtbl;
  Object* owner;
} Face;

#define MAX_FACES 4
struct Object {
  LONG refs;
  const char* name; /* runtime class name, for GetRuntimeClassName and the log */
  void (*destroy)(Object* object);
  const IID* iids[MAX_FACES];
  Face faces[MAX_FACES];
};

#define OWNER(this_) (((Face*)(void*)(this_))->owner)

static inline void object_init(Object* object, const char* name, void (*destroy)(Object*)) {
  object->refs = 1;
  object->name = name;
  object->destroy = destroy;
}

static inline void* object_add_face(Object* object, const IID* iid, const void* vtbl) {
  for (int i = 0; i < MAX_FACES; ++i) {
    if (object->iids[i]) continue;
    object->iids[i] = iid;
    object->faces[i].vtbl = vtbl;
    object->faces[i].owner = object;
    return &object->faces[i];
  }
  return NULL;
}

static const IID iid_unknown = {0x00000000, 0x0000, 0x0000, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};
static const IID iid_inspectable = {
    0xaf86e2e0, 0xb12d, 0x4c6a, {0x9c, 0x5a, 0xd7, 0xaa, 0x65, 0x10, 0x1e, 0x90}};
static const IID iid_agile = {
    0x94ea2b94, 0xe9cc, 0x49e0, {0xc0, 0xff, 0xee, 0x64, 0xca, 0x8f, 0x5b, 0x90}};

static inline ULONG STDMETHODCALLTYPE face_addref(void* this_) {
  return (ULONG)InterlockedIncrement(&OWNER(this_)->refs);
}

static inline ULONG STDMETHODCALLTYPE face_release(void* this_) {
  Object* object = OWNER(this_);
  LONG left = InterlockedDecrement(&object->refs);
  if (left == 0) object->destroy(object);
  return (ULONG)left;
}

/* Unknown interfaces are logged: a wrong IID in the module shows up here. */
static inline HRESULT STDMETHODCALLTYPE face_qi(void* this_, REFIID iid, void** out) {
  Object* object = OWNER(this_);
  *out = NULL;
  if (IsEqualGUID(iid, &iid_unknown) || IsEqualGUID(iid, &iid_inspectable) ||
      IsEqualGUID(iid, &iid_agile)) {
    *out = &object->faces[0];
  }
  for (int i = 0; i < MAX_FACES && !*out; ++i) {
    if (object->iids[i] && IsEqualGUID(iid, object->iids[i])) *out = &object->faces[i];
  }
  if (!*out) {
    log_call("%s.QueryInterface E_NOINTERFACE {%08lx-%04x-%04x}", object->name, iid->Data1,
             iid->Data2, iid->Data3);
    return E_NOINTERFACE;
  }
  face_addref(*out);
  return S_OK;
}

static inline HRESULT STDMETHODCALLTYPE face_get_iids(void* this_, ULONG* count, IID** iids) {
  (void)this_;
  (void)iids;
  *count = 0;
  return S_OK;
}

static inline HRESULT STDMETHODCALLTYPE face_class_name(void* this_, HSTRING* name) {
  (void)this_;
  *name = NULL;
  return E_NOTIMPL;
}

static inline HRESULT STDMETHODCALLTYPE face_trust(void* this_, TrustLevel* level) {
  (void)this_;
  *level = BaseTrust;
  return S_OK;
}

/* Fills a vtable's inherited slots by name. */
/* (void (*)(void)) first: the one cast GCC accepts between any function types. */
#define AS(V, field, fn) .field = (__typeof__(((V*)0)->field))(void (*)(void))(fn)
#define UNKNOWN_SLOTS(V) \
  AS(V, QueryInterface, face_qi), AS(V, AddRef, face_addref), AS(V, Release, face_release)
#define INSPECTABLE_SLOTS(V)                                                                    \
  UNKNOWN_SLOTS(V), AS(V, GetIids, face_get_iids), AS(V, GetRuntimeClassName, face_class_name), \
      AS(V, GetTrustLevel, face_trust)

static inline void* face_of(Object* object, int index) {
  return &object->faces[index];
}

static inline void release_face(void* face) {
  if (face) face_release(face);
}
