#include "CommApi.h"

const CommApi& RealCommApi()
{
    static const CommApi s_api = {
        ::CreateFileW, ::CloseHandle, ::SetCommTimeouts, ::SetCommMask, ::GetCommMask,
        ::GetCommState, ::BuildCommDCBW, ::SetCommState, ::PurgeComm, ::WaitCommEvent,
        ::ClearCommError, ::ReadFile, ::WriteFile, ::GetOverlappedResult, ::CancelIo,
        ::MessageBoxA,
    };
    return s_api;
}
