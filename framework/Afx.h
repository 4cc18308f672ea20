// The framework layer: a small MFC-style application framework over Win32.
#pragma once

#include <windows.h>
#include <dbt.h>
#include <shellapi.h>

#include "String.h"
#include "Types.h"
#include "Map.h"
#include "MessageMap.h"
#include "Wnd.h"
#include "DataExchange.h"
#include "Dialog.h"
#include "ComboBox.h"
#include "Button.h"
#include "Menu.h"
#include "Gdi.h"
#include "WinThread.h"
#include "WinApp.h"
