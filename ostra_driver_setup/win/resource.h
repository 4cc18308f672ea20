#pragma once

#define IDI_OSTRA_DRIVER_SETUP 101
