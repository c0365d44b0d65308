#pragma once
// The one function SendStr.dll exports, for callers that link to
// it or look it up with GetProcAddress(module, "SendStr").

#ifdef __cplusplus
extern "C" {
#endif

// Types `text` (NUL-terminated, system ANSI code page) into the focused
// window. A null address or an empty text types nothing.
void __stdcall SendStr(const char* text);

typedef void(__stdcall* SendStrProc)(const char* text);

#ifdef __cplusplus
}
#endif
