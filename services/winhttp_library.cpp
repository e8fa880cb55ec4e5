#include "services/winhttp_library.h"

namespace brisvane {

// Each function by the name <winhttp.h> gives it, with the type of its declaration there.
#define BRISVANE_WINHTTP_FUNCTION(name) Find<decltype(&::WinHttp##name)>("WinHttp" #name)

WinHttpLibrary::WinHttpLibrary()
    : SystemLibrary(L"winhttp.dll"),
      getIEProxyConfigForCurrentUser(BRISVANE_WINHTTP_FUNCTION(GetIEProxyConfigForCurrentUser)),
      getProxyForUrl(BRISVANE_WINHTTP_FUNCTION(GetProxyForUrl)),
      open(BRISVANE_WINHTTP_FUNCTION(Open)),
      setTimeouts(BRISVANE_WINHTTP_FUNCTION(SetTimeouts)),
      setOption(BRISVANE_WINHTTP_FUNCTION(SetOption)),
      setStatusCallback(BRISVANE_WINHTTP_FUNCTION(SetStatusCallback)),
      connect(BRISVANE_WINHTTP_FUNCTION(Connect)),
      openRequest(BRISVANE_WINHTTP_FUNCTION(OpenRequest)),
      sendRequest(BRISVANE_WINHTTP_FUNCTION(SendRequest)),
      receiveResponse(BRISVANE_WINHTTP_FUNCTION(ReceiveResponse)),
      queryHeaders(BRISVANE_WINHTTP_FUNCTION(QueryHeaders)),
      queryDataAvailable(BRISVANE_WINHTTP_FUNCTION(QueryDataAvailable)),
      readData(BRISVANE_WINHTTP_FUNCTION(ReadData)),
      closeHandle_(BRISVANE_WINHTTP_FUNCTION(CloseHandle)) {
    // WinHTTP finishes some work on threads of its own after the call that started it has
    // returned (a name resolution that outlived its time-out, say): unloaded under them, those
    // threads would run code that is gone. So once loaded it stays, as an imported DLL would.
    KeepLoaded();
}

#undef BRISVANE_WINHTTP_FUNCTION

}  // namespace brisvane
