// The system calls of the serial port object, as a table of function pointers,
// so that tests can put a fake in front of the port (to make SetCommMask fail,
// or to record the order of the calls). RealCommApi() holds the system's.
#pragma once

#include <windows.h>

struct CommApi {
    decltype(&::CreateFileW) CreateFileW;
    decltype(&::CloseHandle) CloseHandle;
    decltype(&::SetCommTimeouts) SetCommTimeouts;
    decltype(&::SetCommMask) SetCommMask;
    decltype(&::GetCommMask) GetCommMask;
    decltype(&::GetCommState) GetCommState;
    decltype(&::BuildCommDCBW) BuildCommDCBW;
    decltype(&::SetCommState) SetCommState;
    decltype(&::PurgeComm) PurgeComm;
    decltype(&::WaitCommEvent) WaitCommEvent;
    decltype(&::ClearCommError) ClearCommError;
    decltype(&::ReadFile) ReadFile;
    decltype(&::WriteFile) WriteFile;
    decltype(&::GetOverlappedResult) GetOverlappedResult;
    decltype(&::CancelIo) CancelIo;
    decltype(&::MessageBoxA) MessageBoxA;
};

const CommApi& RealCommApi();
